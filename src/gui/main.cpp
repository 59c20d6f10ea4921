#include <QApplication>
#include <QMessageBox>

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

}  // namespace

int main(int argc, char** argv) {
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
