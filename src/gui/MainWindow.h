#pragma once

#include <QMainWindow>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

#include "compile/TableCheck.h"
#include "project/ProjectSettings.h"
#include "table/LoadedTable.h"

class QTabWidget;

namespace lexicorn::gui {

struct BuildEnd;
class BuildController;
class BuildPage;
class BuildProgressDialog;
class BuildSettingsDialog;
class Dialogs;
class MergeAlignmentDialog;
class MergePage;
class PreviewPage;
class ProblemsDialog;
class SplashScreen;

/// How the application starts: the project named on the command line and the fixed waits, which
/// tests shorten.
struct WizardStartup {
    QString projectPath;  ///< empty: start with the default settings
    std::chrono::milliseconds splashTime{2000};
    bool readingPauses = true;  ///< the build's pauses that let the user read the progress window
};

/// A project named on the command line that cannot be read: the application does not start.
class StartupError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// The main window: the build page, the merge page, the preview and the About page. It owns the
/// settings, the loaded table and the other windows, and has its builds run by a BuildController.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    /// Throws StartupError when the project of `startup` exists but cannot be read.
    MainWindow(Dialogs& dialogs, const WizardStartup& startup);
    ~MainWindow() override;

    /// The application's general error report: shows the error's text, and the application goes on.
    void reportError(const std::exception& error);

    void loadTable(const QString& path);
    /// Opens a project file: its settings, and its table, languages and output folder where it
    /// names them. False when the file is not a project.
    bool openProjectFile(const QString& path);
    /// The folder the next build writes to.
    QString outputFolder() const;
    /// Starts building the image and its files from the chosen languages, as the Create button does;
    /// the window shows the end when the build controller reports it.
    void createImage();
    /// Cancel of the progress window: of the build that runs, or of a table's reading.
    void requestCancel();

    const ProjectSettings& settings() const { return settings_; }
    bool projectLoaded() const { return projectLoaded_; }
    const LoadedTable& table() const { return table_; }
    BuildProgressDialog& progressDialog() { return *progress_; }
    BuildSettingsDialog& settingsDialog() { return *settingsDialog_; }
    MergeAlignmentDialog& alignmentDialog() { return *alignmentDialog_; }
    MergePage& mergePage() { return *mergePage_; }
    PreviewPage& previewPage() { return *previewPage_; }
    SplashScreen& splashScreen() { return *splash_; }
    ProblemsDialog& problemsDialog() { return *problems_; }
    BuildController& buildController() { return *controller_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    /// The progress window follows the build controller's signals.
    void connectBuildController();
    /// What the window does once a build has ended: its message, the table forgotten or checked
    /// again, the window usable again.
    void buildEnded(const BuildEnd& end);
    /// The message the build gave, now that it is over; with the summary, what the check warned of.
    void showBuildMessage(const BuildEnd& end);
    bool building() const;
    /// The build page's commands, each run guarded.
    void connectBuildPage();
    void startWith(const QString& path);
    /// A project file or a table, known by its name, as a dropped or command-line file is.
    void openFile(const QString& path);
    /// Applies a loaded project's choices beyond the settings record.
    void projectWasLoaded(const QString& path);
    /// Names the project just loaded or saved in the title and the recent list.
    void showProjectFile(const QString& path);
    void rememberRecentProject(const QString& path);
    void showRecentProjects();
    void showOutputFolder();
    void showTableInfo();
    /// Forgets the loaded table and empties every view of it.
    void forgetTable();
    /// Checks the loaded table with the chosen languages and the settings, and shows what it found.
    void checkTable();
    /// From here until stopWatchingTableReading, a table read by a helper program keeps the window
    /// drawn and can be cancelled.
    void watchTableReading(const QString& path);
    void stopWatchingTableReading();
    /// The progress window says that the table at `path` is being read.
    void showTableReading(const QString& path);
    void openLink(const QUrl& url);
    void pageChanged(int page);
    /// The check of the loaded table with the device's settings, drawn on the preview page.
    void refreshPreview();
    /// The preview page, scrolled to the string of a finding.
    void showInPreview(std::size_t row, std::size_t column);
    std::optional<QString> chooseMergeFile(const QString& title, const QString& filter, bool forWriting);
    /// Runs an event handler; what it throws goes to the general error report.
    void guarded(const std::function<void()>& handler);
    /// A slot that runs `method` guarded.
    std::function<void()> handler(void (MainWindow::*method)());
    /// Remembers the folder of a chosen file: the next chooser starts there and builds write there.
    QString chosen(const QString& path);
    QWidget* messageParent();

    void chooseTable();
    void chooseOutputFolder();
    void outputFolderTyped(const QString& typed);
    void takeOutputFolder(const QString& folder);
    void showProblems();
    void editSettings();
    void openProject();
    /// Saves the open project; asks for a name when none is open.
    void saveProject();
    /// Asks for a name and saves there: false when the user cancelled or the file cannot be written.
    bool saveProjectAs();
    bool writeProject(const QString& path);
    /// Offers to save changes that would be lost: false when the user wants to stay where they are.
    bool settleUnsavedChanges();
    /// The project's name in the title, marked when it has changes not saved.
    void showDocumentState();
    /// Lists the table's languages as chosen, and keeps the choice in the settings and the check.
    void showLanguages();

    Dialogs& dialogs_;
    WizardStartup startup_;
    ProjectSettings settings_;
    bool projectLoaded_ = false;
    QString projectPath_;  // the project open now, which a build must not write over; empty before one is
                           // opened or saved
    ProjectSettings savedSettings_;  // as the project file holds them, or as the window started
    LoadedTable table_;
    CheckReport findings_;  // of the table loaded last, or of the last build's check
    bool cancelRequested_ = false;  // of the table reading that the window runs itself
    bool readingTable_ = false;     // a helper program reads the table while the window runs its events
    bool splashShown_ = false;
    QString currentFolder_;
    QString chosenOutputFolder_;  // empty: builds follow the folder of the file last chosen

    QTabWidget* pages_ = nullptr;
    BuildPage* buildPage_ = nullptr;
    MergePage* mergePage_ = nullptr;
    PreviewPage* previewPage_ = nullptr;

    // The other windows of the application, created after this one in this order.
    std::unique_ptr<MergeAlignmentDialog> alignmentDialog_;
    std::unique_ptr<BuildProgressDialog> progress_;
    std::unique_ptr<BuildSettingsDialog> settingsDialog_;
    std::unique_ptr<SplashScreen> splash_;
    std::unique_ptr<ProblemsDialog> problems_;
    std::unique_ptr<BuildController> controller_;
};

}  // namespace lexicorn::gui
