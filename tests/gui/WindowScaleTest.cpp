#include <QAbstractButton>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "GuiSupport.h"
#include "WizardFixture.h"
#include "gui/BuildSettingsDialog.h"
#include "gui/MainWindow.h"

namespace lexicorn::test {

// The windows at the scale of the desktop that QT_SCALE_FACTOR sets (ctest runs this at 1, 1.5 and 2),
// in each of the fonts that desktops commonly use for their windows: at their smallest they fit the
// screen that users of that scale have, nothing is cut or outside, and a picture of each is kept.
// The fonts are set here, so that the answer does not depend on which fonts the machine has.
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
            const QString name = control->objectName().isEmpty()
                                     ? QString::fromLatin1(control->metaObject()->className())
                                     : control->objectName();
            // A page that scrolls shows what lies inside it once scrolled to; the page itself lies
            // inside the window.
            QWidget* within = &window;
            for (QWidget* up = control->parentWidget(); up && up != &window; up = up->parentWidget())
                if (auto* area = qobject_cast<QScrollArea*>(up);
                    area && area->widget()->isAncestorOf(control)) {
                    within = area->widget();
                    QVERIFY2(
                        window.rect().contains(QRect(area->mapTo(&window, QPoint(0, 0)), area->size())),
                        qPrintable(name + QStringLiteral("'s page lies outside ") + window.objectName()));
                    break;
                }
            const QRect place(control->mapTo(within, QPoint(0, 0)), control->size());
            QVERIFY2(within->rect().contains(place),
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
    // Each test runs once in each font, at the size desktops give it (10 points: GNOME's and KDE's).
    static void Fonts() {
        QTest::addColumn<QString>("file");
        QTest::newRow("DejaVu Sans") << QStringLiteral(LEXICORN_DEJAVU_SANS);
        QTest::newRow("Noto Sans") << QStringLiteral(LEXICORN_NOTO_SANS);
        QTest::newRow("Liberation Sans") << QStringLiteral(LEXICORN_LIBERATION_SANS);
    }
    static void UseFont() {
        QFETCH(QString, file);
        const int id = QFontDatabase::addApplicationFont(file);
        QVERIFY2(id >= 0, qPrintable(file + QStringLiteral(" cannot be loaded")));
        QApplication::setFont(QFont(QFontDatabase::applicationFontFamilies(id).constFirst(), 10));
    }
    static QString Picture(const char* window) {
        return QString::fromLatin1(window) + QStringLiteral("-scale-") + Scale() + QLatin1Char('-') +
               QString::fromLatin1(QTest::currentDataTag()).remove(QLatin1Char(' ')).toLower();
    }

    // The address field shows every address of eight digits whole: with the cursor after the last
    // digit, the text has not scrolled out of its start.
    static void VerifyShowsEightDigits(QLineEdit& field) {
        for (const QChar digit : QStringLiteral("0123456789ABCDEF")) {
            const QString address(8, digit);
            field.setText(address);
            const auto cursor = [&field] {
                return field.inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
            };
            field.setCursorPosition(0);
            const int start = cursor();
            field.setCursorPosition(8);
            QVERIFY2(cursor() == start + field.fontMetrics().horizontalAdvance(address),
                     qPrintable(address + QStringLiteral(" does not show whole")));
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
    void TheMainWindowFits_data() { Fonts(); }
    void TheMainWindowFits() {
        UseFont();
        gui::MainWindow& window = Start(ExampleProject());
        window.show();
        VerifyFitsAtItsSmallest(window);
        SaveScreenshot(window, Picture("main-window"));
    }

    void TheMergerPageFits_data() { Fonts(); }
    void TheMergerPageFits() {
        UseFont();
        gui::MainWindow& window = Start();
        window.show();
        Find<QTabWidget>("pages")->setCurrentIndex(1);
        VerifyFitsAtItsSmallest(window);
        SaveScreenshot(window, Picture("merger-page"));
        VerifyShowsEightDigits(*Find<QLineEdit>("address"));
    }

    void TheSettingsWindowFits_data() { Fonts(); }
    void TheSettingsWindowFits() {
        UseFont();
        Start().show();
        gui::BuildSettingsDialog& form = window_->settingsDialog();
        QTimer::singleShot(0, &form, [&form] {
            VerifyFitsAtItsSmallest(form);
            SaveScreenshot(form, Picture("settings"));
            form.reject();
        });
        Find<QToolButton>("settingsButton")->click();
    }
};

}  // namespace lexicorn::test

QTEST_MAIN(lexicorn::test::WindowScaleTest)
#include "WindowScaleTest.moc"
