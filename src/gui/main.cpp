#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <string_view>

#include "Version.h"
#include "gui/Dialogs.h"
#include "gui/FocusStyle.h"
#include "gui/MainWindow.h"
#include "gui/WizardTexts.h"

namespace {

// Errors that escape an event handler end up here instead of ending the program: the user sees
// their text and the application goes on.
class LexicornApplication : public QApplication {
  public:
    using QApplication::QApplication;
    lexicorn::gui::MainWindow* mainWindow = nullptr;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            if (mainWindow) mainWindow->reportError(error);
            return false;
        }
    }
};

// --version and --help answer before the application connects to a display, so that they work
// where there is none (a build machine, a package's checks).
bool AnsweredWithoutAWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--version")
            std::printf("lexicorn-wizard %s\n", lexicorn::kVersionText);
        else if (argument == "--help")
            std::fputs(lexicorn::gui::texts::kUsage, stdout);
        else
            continue;
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (AnsweredWithoutAWindow(argc, argv)) return 0;
    LexicornApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(lexicorn::gui::texts::kApplicationTitle));
    lexicorn::gui::ShowKeyboardFocus(application);
    const std::unique_ptr<lexicorn::gui::Dialogs> dialogs = lexicorn::gui::CreateQtDialogs();

    lexicorn::gui::WizardStartup startup;
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) startup.projectPath = arguments.at(1);
    std::unique_ptr<lexicorn::gui::MainWindow> mainWindow;
    try {
        mainWindow = std::make_unique<lexicorn::gui::MainWindow>(*dialogs, startup);
    } catch (const std::exception& error) {
        dialogs->Error(nullptr, QString::fromUtf8(error.what()));
        return 1;
    }
    application.mainWindow = mainWindow.get();
    mainWindow->show();
    return QApplication::exec();
}
