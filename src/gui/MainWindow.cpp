#include "gui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QTabWidget>
#include <algorithm>
#include <utility>
#include <vector>

#include "base/Unicode.h"
#include "font/Font.h"
#include "gui/AboutPage.h"
#include "gui/BuildController.h"
#include "gui/BuildPage.h"
#include "gui/BuildProgressDialog.h"
#include "gui/BuildSettingsDialog.h"
#include "gui/Dialogs.h"
#include "gui/HelpLinks.h"
#include "gui/Look.h"
#include "gui/MergeAlignmentDialog.h"
#include "gui/MergePage.h"
#include "gui/Plural.h"
#include "gui/PreviewPage.h"
#include "gui/ProblemsDialog.h"
#include "gui/SplashScreen.h"
#include "gui/WizardTexts.h"
#include "platform/HelperProcess.h"
#include "project/ProjectFile.h"
#include "table/TableFormats.h"
#include "table/TableLayout.h"

namespace lexicorn::gui {
namespace {

constexpr QSize kOpeningSize(611, 560);

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

// Where the recent projects are kept between runs, and how many.
constexpr const char* kRecentProjectsKey = "recentProjects";
constexpr int kMostRecentProjects = 5;

// Dropped files and the file named at start-up: project files are known by their name, anything
// else is offered to the table readers, which know tables by their content.
bool IsProjectFile(const QString& path) {
    return QFileInfo(path).suffix().compare(QString::fromLatin1(texts::kProjectSuffix),
                                            Qt::CaseInsensitive) == 0;
}

// Every table the readers take first, then each kind on its own, as the table of formats lists them.
QString StringTableFilter() {
    QStringList every;
    std::vector<std::pair<std::string_view, QStringList>> groups;
    for (const TableFormat& format : kTableFormats) {
        const QString pattern = QLatin1Char('*') + QString::fromUtf8(format.extension);
        every << pattern;
        const auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& known) {
            return known.first == format.chooserGroup;
        });
        if (group == groups.end())
            groups.emplace_back(format.chooserGroup, QStringList{pattern});
        else
            group->second << pattern;
    }
    QString filter = QStringLiteral("%1 (%2)").arg(QString::fromUtf8(texts::kStringTables), every.join(u' '));
    for (const auto& [name, patterns] : groups)
        filter += QStringLiteral(";;%1 (%2)").arg(QString::fromUtf8(name), patterns.join(u' '));
    return filter + QStringLiteral(";;All Files (*)");
}

QString CorruptedProjectMessage(const QString& path) {
    return QString::fromUtf8(kCorruptedProjectFile) + QStringLiteral("\r\r") + path;
}

}  // namespace

MainWindow::MainWindow(Dialogs& dialogs, const WizardStartup& startup)
    : QMainWindow(nullptr), dialogs_(dialogs), startup_(startup), currentFolder_(QDir::currentPath()) {
    setObjectName(QStringLiteral("mainWindow"));
    setAcceptDrops(true);

    pages_ = new QTabWidget;
    pages_->setObjectName(QStringLiteral("pages"));
    pages_->setIconSize(QSize(32, 32));
    pages_->setDocumentMode(true);
    buildPage_ = new BuildPage(table_.languages);
    buildPage_->addShortcutsTo(*this);
    connectBuildPage();
    pages_->addTab(buildPage_, style()->standardIcon(QStyle::SP_FileDialogDetailedView),
                   QStringLiteral("LXN Engine"));
    mergePage_ = new MergePage(dialogs_, settings_,
                               {[this](const QString& title, const QString& filter, bool forWriting) {
                                    return chooseMergeFile(title, filter, forWriting);
                                },
                                [this] {
                                    alignmentDialog_->edit(settings_);
                                    showDocumentState();
                                },
                                [this] { showDocumentState(); }},
                               pages_);
    // The merger's boxes stand one below the other: the tallest page, which scrolls rather than make
    // the window taller than a small screen.
    pages_->addTab(ScrollingDown(mergePage_), style()->standardIcon(QStyle::SP_DriveHDIcon),
                   QStringLiteral("Merger"));
    previewPage_ = new PreviewPage(settings_,
                                   {[this](const QString& title, const QString& filter) {
                                        return chooseMergeFile(title, filter, false);
                                    },
                                    [this] {
                                        refreshPreview();
                                        showDocumentState();
                                    }},
                                   pages_);
    pages_->addTab(previewPage_, style()->standardIcon(QStyle::SP_FileDialogContentsView),
                   QStringLiteral("Preview"));
    pages_->addTab(new AboutPage([this](const QUrl& url) { openLink(url); }),
                   style()->standardIcon(QStyle::SP_MessageBoxInformation), QStringLiteral("About"));
    setCentralWidget(pages_);

    connect(pages_, &QTabWidget::currentChanged, this, [this](int page) { pageChanged(page); });

    alignmentDialog_ = std::make_unique<MergeAlignmentDialog>(dialogs_, this);
    progress_ = std::make_unique<BuildProgressDialog>([this] { requestCancel(); }, this);
    settingsDialog_ = std::make_unique<BuildSettingsDialog>(dialogs_, this);
    splash_ = std::make_unique<SplashScreen>();
    problems_ = std::make_unique<ProblemsDialog>(this);
    connect(problems_.get(), &ProblemsDialog::cellActivated, this,
            [this](std::size_t row, std::size_t column) {
                showInPreview(row, column);
                // The string comes to the front; the findings stay in sight beside it, not over it.
                activateWindow();
                raise();
                problems_->moveBeside(*this);
            });
    controller_ = std::make_unique<BuildController>();
    connectBuildController();

    startWith(startup.projectPath);
    savedSettings_ = settings_;  // what the window starts with is nothing to save yet
    showDocumentState();
}

MainWindow::~MainWindow() {
    controller_.reset();  // a build that still runs ends before the table it reads goes
    SetHelperWaitHook({});
}

void MainWindow::connectBuildPage() {
    connect(buildPage_, &BuildPage::chooseTableRequested, this, handler(&MainWindow::chooseTable));
    connect(buildPage_, &BuildPage::editSettingsRequested, this, handler(&MainWindow::editSettings));
    connect(buildPage_, &BuildPage::openProjectRequested, this, handler(&MainWindow::openProject));
    connect(buildPage_, &BuildPage::saveProjectRequested, this, handler(&MainWindow::saveProject));
    connect(buildPage_, &BuildPage::saveProjectAsRequested, this,
            [this] { guarded([this] { saveProjectAs(); }); });
    connect(buildPage_, &BuildPage::helpRequested, this, [this] { openLink(HelpUrl(HelpPage::kManual)); });
    connect(buildPage_, &BuildPage::languagesChosen, this, handler(&MainWindow::showLanguages));
    connect(buildPage_, &BuildPage::chooseOutputFolderRequested, this,
            handler(&MainWindow::chooseOutputFolder));
    connect(buildPage_, &BuildPage::outputFolderTyped, this,
            [this](const QString& folder) { guarded([&] { outputFolderTyped(folder); }); });
    connect(buildPage_, &BuildPage::createRequested, this, handler(&MainWindow::createImage));
    connect(buildPage_, &BuildPage::problemsRequested, this, handler(&MainWindow::showProblems));
}

void MainWindow::startWith(const QString& path) {
    showOutputFolder();
    showRecentProjects();
    if (path.isEmpty()) return;  // the defaults stand
    if (!IsProjectFile(path)) {
        guarded([&] { loadTable(chosen(path)); });
        return;
    }
    const ProjectFileResult loaded = LoadProjectFile(path.toStdString(), settings_);
    switch (loaded.status) {
        case ProjectFileResult::Status::kOk:
            projectWasLoaded(chosen(path));
            break;
        case ProjectFileResult::Status::kNotAProject:
            // The defaults stay, so that default strings remain on; the user learns why.
            dialogs_.Error(nullptr, CorruptedProjectMessage(path));
            break;
        case ProjectFileResult::Status::kError:
            throw StartupError(loaded.message);
    }
}

void MainWindow::openFile(const QString& path) {
    if (!IsProjectFile(path))
        loadTable(chosen(path));
    else if (settleUnsavedChanges())
        openProjectFile(chosen(path));
}

bool MainWindow::openProjectFile(const QString& path) {
    const ProjectFileResult loaded = LoadProjectFile(path.toStdString(), settings_);
    switch (loaded.status) {
        case ProjectFileResult::Status::kOk:
            projectWasLoaded(path);
            return true;
        case ProjectFileResult::Status::kNotAProject:
            dialogs_.Error(this, CorruptedProjectMessage(path));
            return false;
        case ProjectFileResult::Status::kError:
            dialogs_.Error(this, FromUtf8(loaded.message));
            return false;
    }
    return false;
}

void MainWindow::projectWasLoaded(const QString& path) {
    projectLoaded_ = true;
    mergePage_->showProjectChoices();
    previewPage_->showSettings();
    // What is loaded below belongs to the project as it was opened: unchanged, not yet to be saved.
    const auto opened = qScopeGuard([this, path] { showProjectFile(path); });
    // A folder the project names wins; without one, a folder the user chose stays.
    if (!settings_.outputFolder.empty())
        chosenOutputFolder_ = QString::fromStdString(settings_.outputFolder);
    else
        settings_.outputFolder = chosenOutputFolder_.toStdString();
    showOutputFolder();
    // The project's job: its table with its languages chosen. A table that cannot be loaded is
    // reported; the settings stand all the same. A project without one judges the table loaded now.
    if (settings_.table.empty()) {
        checkTable();
        return;
    }
    const std::vector<std::string> codes = settings_.languages;
    try {
        loadTable(QString::fromStdString(settings_.table));
    } catch (const std::exception& error) {
        reportError(error);
        return;
    }
    for (LanguageEntry& entry : table_.languages)
        entry.selected = std::find(codes.begin(), codes.end(), Utf16ToUtf8(entry.code)) != codes.end();
    showLanguages();
}

void MainWindow::showProjectFile(const QString& path) {
    projectPath_ = path;
    savedSettings_ = settings_;
    showDocumentState();
    rememberRecentProject(path);
}

void MainWindow::showDocumentState() {
    const QString project =
        projectPath_.isEmpty() ? QString() : QStringLiteral(" - ") + QFileInfo(projectPath_).fileName();
    setWindowTitle(QString::fromUtf8(texts::kApplicationTitle) + project + QStringLiteral("[*]"));
    setWindowModified(settings_ != savedSettings_);
}

void MainWindow::rememberRecentProject(const QString& path) {
    QSettings stored;
    QStringList recent = stored.value(QLatin1String(kRecentProjectsKey)).toStringList();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    recent.removeAll(absolute);
    recent.prepend(absolute);
    while (recent.size() > kMostRecentProjects) recent.removeLast();
    stored.setValue(QLatin1String(kRecentProjectsKey), recent);
    showRecentProjects();
}

void MainWindow::showRecentProjects() {
    QMenu& recentProjects = buildPage_->recentProjects();
    recentProjects.clear();
    const QStringList recent = QSettings().value(QLatin1String(kRecentProjectsKey)).toStringList();
    for (const QString& path : recent)
        recentProjects.addAction(path, this, [this, path] {
            guarded([&] {
                if (settleUnsavedChanges()) openProjectFile(chosen(path));
            });
        });
    recentProjects.setEnabled(!recent.isEmpty());
}

void MainWindow::pageChanged(int page) {
    // Until a project sets them, the merge choices start afresh each time the page is entered.
    if (pages_->widget(page)->isAncestorOf(mergePage_) && !projectLoaded_) mergePage_->resetChoices();
    if (page == pages_->indexOf(previewPage_)) refreshPreview();
}

void MainWindow::refreshPreview() {
    if (!table_.tableReader || table_.languages.empty()) {
        previewPage_->showHint(
            QStringLiteral("Load a string table: its strings are drawn here as the device draws them."));
        return;
    }
    if (settings_.fonts.empty()) {
        previewPage_->showHint(QStringLiteral("Choose the device's font."));
        return;
    }
    // A font or limits that cannot be read are said here, where they are chosen, without a box.
    try {
        table_.tableReader->Open();
        const auto close = qScopeGuard([this] { table_.tableReader->Close(); });
        const Preview preview = RenderPreview(table_, settings_);
        findings_ = preview.report;
        showTableInfo();
        previewPage_->showPreview(preview);
    } catch (const std::exception& error) {
        previewPage_->showHint(QString::fromUtf8(error.what()));
    }
}

void MainWindow::showInPreview(std::size_t row, std::size_t column) {
    if (building()) return;  // the table is the build's until it ends
    if (pages_->currentWidget() != previewPage_)
        pages_->setCurrentWidget(previewPage_);  // draws it
    else
        refreshPreview();
    previewPage_->scrollTo(row, column);
}

std::optional<QString> MainWindow::chooseMergeFile(const QString& title, const QString& filter,
                                                   bool forWriting) {
    const FileChoice choice{title, filter, {}, currentFolder_};
    const std::optional<QString> path =
        forWriting ? dialogs_.SaveFile(this, choice) : dialogs_.OpenFile(this, choice);
    if (path) chosen(*path);
    return path;
}

std::function<void()> MainWindow::handler(void (MainWindow::*method)()) {
    return [this, method] { guarded([this, method] { (this->*method)(); }); };
}

void MainWindow::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        reportError(error);
    }
    showDocumentState();  // whatever the handler changed of the project
}

void MainWindow::reportError(const std::exception& error) {
    dialogs_.Error(messageParent(), QString::fromUtf8(error.what()));
}

QString MainWindow::chosen(const QString& path) {
    currentFolder_ = QFileInfo(path).absolutePath();
    showOutputFolder();
    return path;
}

QString MainWindow::outputFolder() const {
    return chosenOutputFolder_.isEmpty() ? currentFolder_ : chosenOutputFolder_;
}

void MainWindow::showOutputFolder() {
    buildPage_->showOutputFolder(QDir::toNativeSeparators(outputFolder()));
}

void MainWindow::chooseOutputFolder() {
    const std::optional<QString> folder =
        dialogs_.ChooseFolder(this, QStringLiteral("Select Output Folder"), outputFolder());
    if (folder) takeOutputFolder(*folder);
}

void MainWindow::outputFolderTyped(const QString& typed) {
    // A folder typed or pasted that does not exist yet is made by the build that writes into it, as
    // a project's folder is; a file of that name, or no text, gives way to the folder that stood there.
    const QFileInfo folder(typed);
    if (!typed.isEmpty() && (folder.isDir() || !folder.exists()))
        takeOutputFolder(typed);
    else {
        if (!typed.isEmpty()) dialogs_.Error(this, QString::fromUtf8(texts::kNotAFolder).arg(typed));
        showOutputFolder();
    }
}

void MainWindow::takeOutputFolder(const QString& folder) {
    // Once chosen, the folder stays, whatever file is chosen next; a project keeps it.
    chosenOutputFolder_ = QFileInfo(folder).absoluteFilePath();
    settings_.outputFolder = chosenOutputFolder_.toStdString();
    showOutputFolder();
}

void MainWindow::openLink(const QUrl& url) {
    if (!QDesktopServices::openUrl(url))
        dialogs_.Error(
            this,
            QStringLiteral("Cannot open %1\r\rNo program to show it was found.").arg(url.toDisplayString()));
}

QWidget* MainWindow::messageParent() {
    return progress_ && progress_->isVisible() ? static_cast<QWidget*>(progress_.get()) : this;
}

void MainWindow::showEvent(QShowEvent* event) {
    if (!splashShown_) {
        splashShown_ = true;
        splash_->showFor(startup_.splashTime);
        if (const QScreen* desktop = screen()) {
            // The size it has always opened at where the screen has room for it and its title bar;
            // smaller where not, down to what its pages need.
            const QRect available = desktop->availableGeometry();
            const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight);
            QRect opening(QPoint(), kOpeningSize.boundedTo(available.size() - QSize(0, 2 * titleBar))
                                        .expandedTo(minimumSizeHint()));
            opening.moveCenter(available.center() + QPoint(0, titleBar / 2));
            opening.moveTop(std::max(opening.top(), available.top() + titleBar));
            setGeometry(opening);
        }
    }
    QMainWindow::showEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A build and a helper's reading end before the window may: the reading runs inside this
    // window's event handling, and the build reads the window's table.
    if (building() || readingTable_ || !settleUnsavedChanges())
        event->ignore();
    else
        QMainWindow::closeEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!building() && !readingTable_ && urls.size() == 1 && urls.front().isLocalFile())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString path = event->mimeData()->urls().front().toLocalFile();
    event->acceptProposedAction();
    guarded([&] { openFile(path); });
}

// ---- Language selection

void MainWindow::chooseTable() {
    const std::optional<QString> path =
        dialogs_.OpenFile(this, {QString::fromUtf8(texts::kSelectExcelFile), StringTableFilter(),
                                 QStringLiteral("xls"), currentFolder_});
    if (path) loadTable(chosen(*path));
}

void MainWindow::loadTable(const QString& path) {
    forgetTable();
    findings_ = {};
    buildPage_->enableProblems(false);
    table_.tableReader.reset();
    watchTableReading(path);
    const auto unwatch = qScopeGuard([this] { stopWatchingTableReading(); });
    // Reads every name before anything is shown: a table that cannot be read leaves none loaded.
    table_ =
        LoadTable(QDir::toNativeSeparators(path).toStdString(), settings_.codePage, settings_.notesColumn);
    settings_.table = table_.spreadsheetPath;
    showLanguages();
}

void MainWindow::checkTable() {
    // What a build of the chosen languages (all of them while none is chosen) with the settings as
    // they are now would meet: counted again whenever either changes, as the check is quick.
    if (!table_.tableReader || table_.spreadsheetPath.empty()) return;
    findings_ = {};
    if (table_.tableReader->Open() == kSuccess) {
        const auto close = qScopeGuard([this] { table_.tableReader->Close(); });
        // A device font that cannot be read is reported; the table stays loaded, and the preview
        // page says it again.
        try {
            findings_ = CheckTable(table_, settings_);
        } catch (const FontError& error) {
            reportError(error);
        }
    }
    showTableInfo();
    problems_->followReport(findings_, QString::fromStdString(settings_.table));  // while it is open
}

void MainWindow::watchTableReading(const QString& path) {
    // A helper program reads .xls tables; the window runs its events meanwhile, so nothing else may
    // start. A long read shows the progress window, whose Cancel stops the helper.
    cancelRequested_ = false;
    pages_->setEnabled(false);
    readingTable_ = true;
    QElapsedTimer waiting;
    waiting.start();
    SetHelperWaitHook([this, path, waiting] {
        if (!progress_->isVisible() && waiting.elapsed() >= kQuietReading.count()) showTableReading(path);
        QApplication::processEvents();
        return !cancelRequested_;
    });
}

void MainWindow::stopWatchingTableReading() {
    SetHelperWaitHook({});
    readingTable_ = false;
    progress_->hide();
    pages_->setEnabled(true);
    cancelRequested_ = false;
}

void MainWindow::showTableReading(const QString& path) {
    progress_->setCaption(QStringLiteral("Reading the string table"));
    progress_->setRange(0);  // how long is unknown: the bar shows that it is busy
    progress_->setStatusText(QDir::toNativeSeparators(path).toStdString());
    progress_->present();
}

void MainWindow::showProblems() { problems_->showReport(findings_, QString::fromStdString(settings_.table)); }

void MainWindow::showTableInfo() {
    const std::size_t rows = table_.tableReader ? table_.tableReader->GetRowCount() : 0;
    const std::size_t strings = table_layout::StringCount(rows);
    QString info = QStringLiteral("%1: %2, %3")
                       .arg(QFileInfo(QString::fromStdString(table_.spreadsheetPath)).fileName(),
                            Counted(static_cast<qsizetype>(table_.languages.size()), "language", "languages"),
                            Counted(static_cast<qsizetype>(strings), "string", "strings"));
    if (!findings_.findings.empty())
        info += QStringLiteral("; ") + QString::fromStdString(CountsText(findings_));
    buildPage_->showTableInfo(info);
    buildPage_->enableProblems(!findings_.findings.empty());
}

void MainWindow::forgetTable() {
    buildPage_->showNoTable();
    table_.Reset();
}

void MainWindow::showLanguages() {
    buildPage_->showLanguages();
    // A project saved now keeps the choice, even after the build has forgotten the table.
    settings_.languages.clear();
    for (const LanguageEntry& entry : table_.languages)
        if (entry.selected) settings_.languages.push_back(Utf16ToUtf8(entry.code));
    checkTable();
}

// ---- Settings and projects

void MainWindow::editSettings() {
    const ProjectSettings before = settings_;
    const BuildSettingsDialog::Outcome outcome = settingsDialog_->edit(settings_);
    if (settings_ != before) checkTable();
    if (outcome != BuildSettingsDialog::Outcome::kProcess) return;
    createImage();
}

void MainWindow::openProject() {
    if (!settleUnsavedChanges()) return;
    const std::optional<QString> path = dialogs_.OpenFile(
        this, {QString::fromUtf8(texts::kOpenProjectFile), QString::fromUtf8(texts::kProjectFilter),
               QString::fromUtf8(texts::kProjectSuffix), currentFolder_});
    if (path) openProjectFile(chosen(*path));
}

void MainWindow::saveProject() {
    if (projectPath_.isEmpty())
        saveProjectAs();
    else
        writeProject(projectPath_);
}

bool MainWindow::saveProjectAs() {
    const std::optional<QString> path = dialogs_.SaveFile(
        this, {QString::fromUtf8(texts::kSaveProjectAs), QString::fromUtf8(texts::kProjectFilter),
               QString::fromUtf8(texts::kProjectSuffix), currentFolder_});
    return path && writeProject(chosen(*path));
}

bool MainWindow::writeProject(const QString& path) {
    const ProjectFileResult saved = SaveProjectFile(path.toStdString(), settings_);
    if (!saved) {
        dialogs_.Error(this, FromUtf8(saved.message));
        return false;
    }
    showProjectFile(path);
    return true;
}

bool MainWindow::settleUnsavedChanges() {
    if (settings_ == savedSettings_) return true;
    const QString name =
        projectPath_.isEmpty() ? QStringLiteral("a new project") : QFileInfo(projectPath_).fileName();
    // Cancel, and a save that does not happen, keep the user where they were.
    switch (dialogs_.AskAboutUnsaved(this, QString::fromUtf8(texts::kSaveChanges).arg(name))) {
        case Dialogs::Unsaved::kSave:
            return projectPath_.isEmpty() ? saveProjectAs() : writeProject(projectPath_);
        case Dialogs::Unsaved::kDiscard:
            return true;
        case Dialogs::Unsaved::kCancel:
            return false;
    }
    return false;
}

// ---- The build

void MainWindow::connectBuildController() {
    BuildController* controller = controller_.get();
    BuildProgressDialog* progress = progress_.get();
    connect(controller, &BuildController::captionChanged, progress, &BuildProgressDialog::setCaption);
    connect(controller, &BuildController::progressMoved, progress,
            [progress](const std::string& status, int steps) {
                progress->setStatusText(status);
                progress->step(steps);
            });
    connect(controller, &BuildController::wholePlanned, progress, &BuildProgressDialog::planWhole);
    connect(controller, &BuildController::rangeSet, progress, &BuildProgressDialog::setRange);
    connect(controller, &BuildController::completed, progress, &BuildProgressDialog::complete);
    connect(controller, &BuildController::shown, progress, &BuildProgressDialog::present);
    connect(controller, &BuildController::hidden, progress, &QWidget::hide);
    connect(controller, &BuildController::tableReadingSlow, this,
            [this](const QString& path) { showTableReading(path); });
    connect(controller, &BuildController::finished, this,
            [this](const BuildEnd& end) { guarded([&] { buildEnded(end); }); });
}

bool MainWindow::building() const { return controller_->running(); }

void MainWindow::createImage() {
    // Only the progress window's Cancel takes input while the build runs.
    pages_->setEnabled(false);
    buildPage_->enableCreate(false);
    BuildJob job{&table_, settings_, {}, startup_.readingPauses};
    job.options.outputFolder = outputFolder().toStdString();
    job.options.projectFile = projectPath_.toStdString();
    // A folder that a project names may not exist yet: a build that will write makes it, as the
    // command line does.
    if (table_.SelectedCount() > 0) QDir().mkpath(outputFolder());
    findings_ = {};
    controller_->start(std::move(job));  // a changed table is read again
}

void MainWindow::buildEnded(const BuildEnd& end) {
    progress_->hide();  // also when it showed only a slow reading of the table
    if (end.failure) dialogs_.Error(this, FromUtf8(*end.failure));
    findings_ = end.findings;
    const bool tableLoaded = !table_.spreadsheetPath.empty() && table_.tableReader;
    // A table that a build has read is forgotten, unless the user keeps it for the next build.
    if (end.outcome.tableRead && !buildPage_->keepsTable()) forgetTable();
    buildPage_->enableProblems(!findings_.findings.empty());
    showBuildMessage(end);
    // Without a table the build had nothing to do: its message says so, and the chooser follows.
    if (!tableLoaded) guarded([this] { chooseTable(); });
    checkTable();  // a table kept after the build, as its file is now
    buildPage_->enableCreate(true);
    pages_->setEnabled(true);
}

void MainWindow::requestCancel() {
    if (building())
        controller_->requestCancel();
    else
        cancelRequested_ = true;
}

void MainWindow::showBuildMessage(const BuildEnd& end) {
    if (!end.message) return;
    const QString text = FromUtf8(end.message->text);
    if (end.message->isError) {
        dialogs_.Error(this, text);
        // A build refused for what the check found lists all of it after the first message.
        if (findings_.Errors() > 0) showProblems();
        return;
    }
    // Warnings do not stop a build, but the user hears of them with the summary.
    if (end.outcome.kind == BuildOutcome::Kind::kSucceeded && findings_.Warnings() > 0) {
        const QString warnings = Counted(static_cast<qsizetype>(findings_.Warnings()), "warning", "warnings");
        if (dialogs_.Question(this, text + QString::fromUtf8(texts::kCreatedWithWarnings).arg(warnings),
                              Dialogs::Preset::kYes))
            showProblems();
        return;
    }
    dialogs_.Information(this, text);
}

}  // namespace lexicorn::gui
