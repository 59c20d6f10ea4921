#pragma once

#include <QWidget>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>

#include "compile/BuildRun.h"
#include "merge/LXNMerger.h"
#include "project/ProjectSettings.h"
#include "table/LoadedTable.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
class QToolButton;

namespace lexicorn::app {

class Dialogs;
class TLexicornProgress;
class TMergeSetting;
class TMergerPage;
class TWizardSettingsForm;
class TsplashScreen;

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

/// The main window: the build page, the merger page and the About page. It owns the settings, the
/// loaded table and the other windows, and is the build's host.
class TMainDialog : public QWidget, private BuildHost {
    Q_OBJECT
  public:
    /// Throws StartupError when the project of `startup` exists but cannot be read.
    TMainDialog(Dialogs& dialogs, const WizardStartup& startup);
    ~TMainDialog() override;

    /// The application's general error report: shows the error's text, and the application goes on.
    void ReportError(const std::exception& error);

    void LoadSpreadsheet(const QString& path);
    void CreateLexicornButtonClick();
    void RequestCancel() { cancelRequested_ = true; }
    void ResetStringTable() override;

    const ProjectSettings& Settings() const { return settings_; }
    bool ProjectLoaded() const { return projectLoaded_; }
    const LoadedTable& Table() const { return table_; }
    TLexicornProgress& ProgressWindow() { return *progress_; }
    TWizardSettingsForm& SettingsWindow() { return *settingsWindow_; }
    TMergeSetting& AlignmentWindow() { return *alignmentWindow_; }
    TMergerPage& MergerPage() { return *mergerPage_; }
    TsplashScreen& SplashWindow() { return *splash_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // BuildHost: the progress window, message boxes and pauses of a build.
    void SetCaption(const std::string& text) override;
    void SetStatusText(const std::string& text) override;
    void SetRange(std::uint32_t count) override;
    void Step() override;
    void Complete() override;
    void Show() override;
    void Hide() override;
    void ShowError(const std::string& text, ResultCode code) override;
    void ShowInformation(const std::string& text) override;
    void Pause(std::chrono::milliseconds duration) override;
    bool CancelRequested() const override { return cancelRequested_; }
    void ClearCancelRequest() override { cancelRequested_ = false; }
    void OpenSpreadsheetChooser() override { OpenExcelButtonClick(); }

    QWidget* CreateBuildPage();
    QWidget* CreateAboutPage();
    void StartWithProject(const QString& path);
    /// Applies a loaded project's choices beyond the settings record.
    void ProjectWasLoaded();
    void PageControl1Change(int page);
    std::optional<QString> ChooseMergerFile(const QString& title, bool forWriting);
    /// Runs an event handler; what it throws goes to the general error report.
    void Guarded(const std::function<void()>& handler);
    /// A slot that runs `method` guarded.
    std::function<void()> Handler(void (TMainDialog::*method)());
    /// Remembers the folder of a chosen file: the next chooser starts there and builds write there.
    QString Chosen(const QString& path);

    void OpenExcelButtonClick();
    void WizardSettingsButtonClick();
    void OpenProjectButtonClick();
    void SaveProjectButtonClick();
    void RefreshLanguageLists();
    void languagesListDblClick();
    void selectedLanguagesListDblClick();
    void AddAllLanguagesBtnClick();
    void RemoveAllLanguagesBtnClick();
    QWidget* MessageParent();

    Dialogs& dialogs_;
    WizardStartup startup_;
    ProjectSettings settings_;
    bool projectLoaded_ = false;
    LoadedTable table_;
    LXNMerger merger_;
    bool cancelRequested_ = false;
    bool building_ = false;
    bool splashShown_ = false;
    QString currentFolder_;

    QTabWidget* PageControl1_ = nullptr;
    TMergerPage* mergerPage_ = nullptr;
    QListWidget* languagesList_ = nullptr;
    QListWidget* selectedLanguagesList_ = nullptr;
    QLabel* excelFileInfo_ = nullptr;
    QPushButton* CreateLexicornButton_ = nullptr;

    // The other windows of the application, created after this one in this order.
    std::unique_ptr<TMergeSetting> alignmentWindow_;
    std::unique_ptr<TLexicornProgress> progress_;
    std::unique_ptr<TWizardSettingsForm> settingsWindow_;
    std::unique_ptr<TsplashScreen> splash_;
};

}  // namespace lexicorn::app
