#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "ScriptedDialogs.h"
#include "gui/BuildController.h"
#include "gui/FocusStyle.h"
#include "gui/MainWindow.h"

namespace lexicorn::test {

/// What every window test starts from: a fresh folder (also the current one), scripted dialogs,
/// and the main window started without waits. Questions and file choosers left unscripted fail
/// the test.
class WizardFixture : public QObject {
    Q_OBJECT

  protected:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<gui::MainWindow> window_;

    gui::MainWindow& Start(const QString& project = {}, bool readingPauses = false) {
        gui::WizardStartup startup;
        startup.projectPath = project;
        startup.splashTime = std::chrono::milliseconds(0);
        startup.readingPauses = readingPauses;
        window_ = std::make_unique<gui::MainWindow>(*dialogs_, startup);
        return *window_;
    }
    QString Path(const QString& name) const { return dir_->filePath(name); }
    void Write(const QString& name, const QByteArray& content) const {
        QFile file(Path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray Read(const QString& name) const {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    template <typename Widget = QWidget>
    Widget* Find(const char* name) const {
        auto* widget = window_->findChild<Widget*>(QString::fromLatin1(name));
        if (!widget) qFatal("no widget %s", name);
        return widget;
    }
    /// Waits until the build that runs now has ended and the window has shown how.
    void WaitForBuild() { QTRY_VERIFY_WITH_TIMEOUT(!window_->buildController().running(), 60000); }
    /// Clicks Create and waits for the build's end.
    void Create() {
        Find<QPushButton>("createButton")->click();
        WaitForBuild();
    }
    /// Clicks `button`, whose file chooser is answered with `name` in the test's folder.
    template <typename Button = QPushButton>
    void ChooseFile(const char* button, const QString& name) {
        dialogs_->files.push_back(Path(name));
        Find<Button>(button)->click();
    }

  private slots:
    void initTestCase() { gui::ShowKeyboardFocus(*qApp); }  // as the application starts
    void init() {
        // The recent projects are kept in the settings of a test profile, never the user's.
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
        dir_ = std::make_unique<QTemporaryDir>();
        dialogs_ = std::make_unique<ScriptedDialogs>();
        QDir::setCurrent(dir_->path());
    }
    void cleanup() {
        window_.reset();
        QVERIFY2(dialogs_->unexpected.isEmpty(), qPrintable(dialogs_->unexpected.join(", ")));
    }
};

}  // namespace lexicorn::test
