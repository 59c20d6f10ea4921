#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "GuiSupport.h"
#include "WizardFixture.h"
#include "gui/BuildSettingsDialog.h"
#include "gui/MainWindow.h"

namespace lexicorn::test {

// The windows at the scale of the desktop that QT_SCALE_FACTOR sets (ctest runs this at 1, 1.5 and 2):
// at their smallest they fit the screen that users of that scale have, nothing is cut or outside,
// and a picture of each is kept.
class WindowScaleTest : public WizardFixture {
    Q_OBJECT

  private:
    static QString Scale() { return qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")); }
    // The smallest screen the windows must fit at this scale, in pixels: 1280 x 720 at 1.5, 1280 x
    // 1024 at 2, and a netbook's 1024 x 600 without scaling.
    static QSize Screen() {
        const QString scale = Scale();
        return scale == "2" ? QSize(1280, 1024) : scale == "1.5" ? QSize(1280, 720) : QSize(1024, 600);
    }
    // What the window manager takes: a title bar and borders.
    static constexpr QSize kFrame{16, 48};

    // The window at its smallest fits the screen, and every control it shows lies inside it whole.
    static void VerifyFitsAtItsSmallest(QWidget& window) {
        const QSize smallest = window.minimumSizeHint().expandedTo(window.minimumSize());
        const QSize pixels = (QSizeF(smallest) * qreal(Scale().toDouble())).toSize() + kFrame;
        QVERIFY2(pixels.width() <= Screen().width() && pixels.height() <= Screen().height(),
                 qPrintable(QStringLiteral("%1 needs %2 x %3 pixels")
                                .arg(window.objectName())
                                .arg(pixels.width())
                                .arg(pixels.height())));
        window.resize(smallest);
        QCOMPARE(window.size(), smallest);
        VerifyEverythingVisible(window);
    }
    static void VerifyEverythingVisible(QWidget& window) {
        for (QWidget* control : window.findChildren<QWidget*>()) {
            const bool shows = qobject_cast<QAbstractButton*>(control) || qobject_cast<QLabel*>(control) ||
                               qobject_cast<QLineEdit*>(control) || qobject_cast<QComboBox*>(control);
            if (!shows || !control->isVisibleTo(&window)) continue;
            const QRect place(control->mapTo(&window, QPoint(0, 0)), control->size());
            const QString name = control->objectName().isEmpty()
                                     ? QString::fromLatin1(control->metaObject()->className())
                                     : control->objectName();
            QVERIFY2(window.rect().contains(place),
                     qPrintable(name + QStringLiteral(" lies outside ") + window.objectName()));
            const auto* label = qobject_cast<QLabel*>(control);
            if (label && label->wordWrap()) continue;
            // A control of a fixed size (the language buttons) needs room for its text only.
            const auto* button = qobject_cast<QAbstractButton*>(control);
            const QSize needed = button && control->minimumSize() == control->maximumSize()
                                     ? QSize(button->fontMetrics().horizontalAdvance(button->text()),
                                             button->fontMetrics().height())
                                     : control->minimumSizeHint();
            QVERIFY2(control->width() >= needed.width() && control->height() >= needed.height(),
                     qPrintable(name + QStringLiteral(" is cut: %1 x %2 of %3 x %4")
                                           .arg(control->width())
                                           .arg(control->height())
                                           .arg(needed.width())
                                           .arg(needed.height())));
        }
    }
    // The example project as `make run` opens it, in the test's folder.
    QString ExampleProject() {
        QDir(dir_->path()).mkdir(QStringLiteral("examples"));
        for (const char* name : {"example.lxn", "strings.csv"})
            QFile::copy(QStringLiteral(LEXICORN_EXAMPLES_DIR "/") + QString::fromLatin1(name),
                        Path(QStringLiteral("examples/") + QString::fromLatin1(name)));
        return Path(QStringLiteral("examples/example.lxn"));
    }

  private slots:
    void TheMainWindowFits() {
        gui::MainWindow& window = Start(ExampleProject());
        window.show();
        VerifyFitsAtItsSmallest(window);
        SaveScreenshot(window, QStringLiteral("main-window-scale-") + Scale());
    }

    void TheMergerPageFits() {
        gui::MainWindow& window = Start();
        window.show();
        Find<QTabWidget>("pages")->setCurrentIndex(1);
        VerifyFitsAtItsSmallest(window);
        SaveScreenshot(window, QStringLiteral("merger-page-scale-") + Scale());
    }

    void TheSettingsWindowFits() {
        Start().show();
        gui::BuildSettingsDialog& form = window_->settingsDialog();
        QTimer::singleShot(0, &form, [&form] {
            VerifyFitsAtItsSmallest(form);
            SaveScreenshot(form, QStringLiteral("settings-scale-") + Scale());
            form.reject();
        });
        Find<QToolButton>("settingsButton")->click();
    }
};

}  // namespace lexicorn::test

QTEST_MAIN(lexicorn::test::WindowScaleTest)
#include "WindowScaleTest.moc"
