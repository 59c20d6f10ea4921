#include "gui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "Version.h"
#include "base/Unicode.h"
#include "font/Font.h"
#include "gui/BuildProgressDialog.h"
#include "gui/BuildSettingsDialog.h"
#include "gui/Dialogs.h"
#include "gui/HelpLinks.h"
#include "gui/Logo.h"
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
#include "table/TableLayout.h"

namespace lexicorn::gui {
namespace {

constexpr int kEntryRole = Qt::UserRole;  // list items carry the index of their language entry
constexpr QSize kOpeningSize(611, 560);

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

// Where the recent projects are kept between runs, and how many.
constexpr const char* kRecentProjectsKey = "recentProjects";
// Where the choice to keep the table after a build is kept between runs.
constexpr const char* kKeepTableKey = "keepTableAfterBuild";
constexpr int kMostRecentProjects = 5;

// Dropped files and the file named at start-up: project files are known by their name, anything
// else is offered to the table readers, which know tables by their content.
bool IsProjectFile(const QString& path) {
    return QFileInfo(path).suffix().compare(QString::fromLatin1(texts::kProjectSuffix),
                                            Qt::CaseInsensitive) == 0;
}

QString CorruptedProjectMessage(const QString& path) {
    return QString::fromUtf8(kCorruptedProjectFile) + QStringLiteral("\r\r") + path;
}

// A link on the About page: red under the mouse, navy once the mouse has left it.
class LinkLabel : public QLabel {
  public:
    LinkLabel(const QString& text, bool bold, std::function<void()> onClick, QWidget* parent)
        : QLabel(text, parent), onClick_(std::move(onClick)) {
        QFont linkFont = font();
        linkFont.setUnderline(true);
        linkFont.setBold(bold);
        setFont(linkFont);
        setCursor(Qt::PointingHandCursor);
        SetColour(palette().color(QPalette::Link));
    }

  protected:
    void mouseReleaseEvent(QMouseEvent*) override { onClick_(); }
    void enterEvent(QEnterEvent*) override { SetColour(Qt::red); }
    void leaveEvent(QEvent*) override { SetColour(QColor(0x00, 0x00, 0x80)); }

  private:
    void SetColour(const QColor& colour) {
        QPalette coloured = palette();
        coloured.setColor(QPalette::WindowText, colour);
        setPalette(coloured);
    }
    std::function<void()> onClick_;
};

QToolButton* AddToolButton(QToolBar* bar, const char* name, QStyle::StandardPixmap icon, const char* hint) {
    auto* button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(bar->style()->standardIcon(icon));
    button->setToolTip(QString::fromUtf8(hint));
    button->setAutoRaise(true);
    bar->addWidget(button);
    return button;
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
    pages_->addTab(createBuildPage(), style()->standardIcon(QStyle::SP_FileDialogDetailedView),
                   QStringLiteral("LXN Engine"));
    mergePage_ = new MergePage(dialogs_, merger_, settings_,
                               {[this](const QString& title, const QString& filter, bool forWriting) {
                                    return chooseMergeFile(title, filter, forWriting);
                                },
                                [this] {
                                    alignmentDialog_->edit(settings_);
                                    showDocumentState();
                                },
                                [this] { showDocumentState(); }},
                               pages_);
    pages_->addTab(mergePage_, style()->standardIcon(QStyle::SP_DriveHDIcon), QStringLiteral("Merger"));
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
    pages_->addTab(createAboutPage(), style()->standardIcon(QStyle::SP_MessageBoxInformation),
                   QStringLiteral("About"));
    setCentralWidget(pages_);

    connect(pages_, &QTabWidget::currentChanged, this, [this](int page) { pageChanged(page); });

    alignmentDialog_ = std::make_unique<MergeAlignmentDialog>(dialogs_, this);
    progress_ = std::make_unique<BuildProgressDialog>([this] { requestCancel(); }, this);
    settingsDialog_ = std::make_unique<BuildSettingsDialog>(dialogs_, this);
    splash_ = std::make_unique<SplashScreen>();
    problems_ = std::make_unique<ProblemsDialog>(this);
    connect(problems_.get(), &ProblemsDialog::cellActivated, this,
            [this](std::size_t row, std::size_t column) { showInPreview(row, column); });

    startWith(startup.projectPath);
    savedSettings_ = settings_;  // what the window starts with is nothing to save yet
    showDocumentState();
}

MainWindow::~MainWindow() { SetHelperWaitHook({}); }

QWidget* MainWindow::createBuildPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("buildPage"));

    auto* toolBar = new QToolBar(page);
    toolBar->setObjectName(QStringLiteral("buildToolBar"));
    toolBar->setIconSize(QSize(16, 16));
    toolBar->addSeparator();
    auto* loadTable = AddToolButton(toolBar, "loadTableButton", QStyle::SP_DialogOpenButton,
                                    "Open Excel file to load the string table (Ctrl+O)");
    loadTable->setText(QStringLiteral("Load String Table"));
    auto* settings =
        AddToolButton(toolBar, "settingsButton", QStyle::SP_FileDialogContentsView, "Lexicorn Settings");
    toolBar->addSeparator();
    auto* openProject = AddToolButton(toolBar, "openProjectButton", QStyle::SP_DirOpenIcon, "Open Project");
    recentProjects_ = new QMenu(openProject);
    recentProjects_->setObjectName(QStringLiteral("recentProjects"));
    openProject->setMenu(recentProjects_);
    openProject->setPopupMode(QToolButton::MenuButtonPopup);
    auto* saveProject =
        AddToolButton(toolBar, "saveProjectButton", QStyle::SP_DialogSaveButton, "Save Project (Ctrl+S)");
    auto* saveMenu = new QMenu(saveProject);
    saveProjectAs_ = saveMenu->addAction(QStringLiteral("Save Project As... (Ctrl+Shift+S)"));
    saveProjectAs_->setObjectName(QStringLiteral("saveProjectAsAction"));
    saveProject->setMenu(saveMenu);
    saveProject->setPopupMode(QToolButton::MenuButtonPopup);
    auto* spacer = new QWidget(toolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar->addWidget(spacer);
    auto* help = AddToolButton(toolBar, "helpButton", QStyle::SP_MessageBoxQuestion, "Onlne Help (F1)");

    auto* languagesBox = new QGroupBox(QStringLiteral("Select Languages"), page);
    languagesBox->setObjectName(QStringLiteral("languagesBox"));
    auto* grid = new QGridLayout(languagesBox);
    const auto makeList = [&](const char* name) {
        auto* list = new QListWidget(languagesBox);
        list->setObjectName(QString::fromLatin1(name));
        list->setMinimumWidth(180);
        UseCreamBackground(*list);
        return list;
    };
    availableLanguages_ = makeList("availableLanguages");
    selectedLanguages_ = makeList("selectedLanguages");
    grid->addWidget(new QLabel(QStringLiteral("Available"), languagesBox), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Selected"), languagesBox), 0, 2);
    grid->addWidget(availableLanguages_, 1, 0);
    grid->addWidget(selectedLanguages_, 1, 2);
    auto* buttons = new QVBoxLayout;
    const auto makeButton = [&](const char* name, const char* caption, const char* hint,
                                void (MainWindow::*method)()) {
        auto* button = new QPushButton(QString::fromLatin1(caption), languagesBox);
        button->setObjectName(QString::fromLatin1(name));
        button->setToolTip(QString::fromLatin1(hint));
        button->setFixedSize(41, 41);
        connect(button, &QPushButton::clicked, this, handler(method));
        buttons->addWidget(button);
    };
    buttons->addStretch();
    makeButton("addAllLanguagesButton", ">>>", "Add all languages", &MainWindow::addAllLanguages);
    makeButton("addLanguageButton", ">", "Add selected language", &MainWindow::addLanguage);
    makeButton("removeLanguageButton", "<", "Remove selected language", &MainWindow::removeLanguage);
    makeButton("removeAllLanguagesButton", "<<<", "Remove all languages", &MainWindow::removeAllLanguages);
    buttons->addStretch();
    grid->addLayout(buttons, 1, 1);

    auto* outputLabel = new QLabel(QStringLiteral("Output folder:"), page);
    outputFolderField_ = new QLineEdit(page);
    outputFolderField_->setObjectName(QStringLiteral("outputFolder"));
    outputFolderField_->setToolTip(QStringLiteral("The folder the Lexicorn files are written to"));
    outputLabel->setBuddy(outputFolderField_);
    auto* chooseOutput = new QPushButton(QStringLiteral(". . ."), page);
    chooseOutput->setObjectName(QStringLiteral("chooseOutputFolderButton"));
    chooseOutput->setToolTip(QStringLiteral("Choose the output folder"));
    auto* output = new QHBoxLayout;
    output->addWidget(outputLabel);
    output->addWidget(outputFolderField_, 1);
    output->addWidget(chooseOutput);

    tableInfo_ = new QLabel(QString::fromUtf8(texts::kNoExcelFileLoaded), page);
    tableInfo_->setObjectName(QStringLiteral("tableInfo"));
    tableInfo_->setWordWrap(true);
    // Off, the window forgets the table after each build, as it always has; on, a user who changes a
    // setting can build again at once.
    keepTable_ = new QCheckBox(QStringLiteral("Keep the table after building"), page);
    keepTable_->setObjectName(QStringLiteral("keepTable"));
    keepTable_->setToolTip(
        QStringLiteral("Build again after changing a setting, without loading the table again"));
    keepTable_->setChecked(QSettings().value(QLatin1String(kKeepTableKey), false).toBool());
    auto* tableState = new QVBoxLayout;
    tableState->addWidget(tableInfo_);
    tableState->addWidget(keepTable_);
    createButton_ =
        new QPushButton(style()->standardIcon(QStyle::SP_MediaPlay), QStringLiteral("Create"), page);
    createButton_->setObjectName(QStringLiteral("createButton"));
    createButton_->setToolTip(QStringLiteral("Start creating Lexicorn (Ctrl+B)"));
    createButton_->setMinimumSize(84, 38);
    createButton_->setAutoDefault(true);  // Return on the focused button builds, as in a dialog
    problemsButton_ = new QPushButton(QStringLiteral("Problems..."), page);
    problemsButton_->setObjectName(QStringLiteral("problemsButton"));
    problemsButton_->setToolTip(QStringLiteral("What the check of the table found"));
    problemsButton_->setEnabled(false);
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(tableState, 1);
    bottom->addWidget(problemsButton_);
    bottom->addWidget(createButton_);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(toolBar);
    layout->addWidget(languagesBox, 1);
    layout->addLayout(output);
    layout->addLayout(bottom);

    // Tab follows the screen: the lists with the buttons between them, then the folder and Create.
    QWidget* order[] = {availableLanguages_,
                        languagesBox->findChild<QPushButton*>(QStringLiteral("addAllLanguagesButton")),
                        languagesBox->findChild<QPushButton*>(QStringLiteral("addLanguageButton")),
                        languagesBox->findChild<QPushButton*>(QStringLiteral("removeLanguageButton")),
                        languagesBox->findChild<QPushButton*>(QStringLiteral("removeAllLanguagesButton")),
                        selectedLanguages_,
                        outputFolderField_,
                        chooseOutput,
                        keepTable_,
                        problemsButton_,
                        createButton_};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) QWidget::setTabOrder(order[i], order[i + 1]);

    connect(loadTable, &QToolButton::clicked, this, handler(&MainWindow::chooseTable));
    connect(settings, &QToolButton::clicked, this, handler(&MainWindow::editSettings));
    connect(openProject, &QToolButton::clicked, this, handler(&MainWindow::openProject));
    connect(saveProject, &QToolButton::clicked, this, handler(&MainWindow::saveProject));
    connect(saveProjectAs_, &QAction::triggered, this, [this] { guarded([this] { saveProjectAs(); }); });
    // The keys work on every page, as long as the build page's buttons would take a click.
    const auto addShortcut = [this](QKeySequence keys, QAbstractButton* button) {
        auto* action = new QAction(this);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, [button] {
            if (button->isEnabled()) button->click();
        });
        addAction(action);
    };
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), loadTable);
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), saveProject);
    addShortcut(QKeySequence(Qt::Key_F1), help);
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_B), createButton_);
    saveProjectAs_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    saveProjectAs_->setShortcutContext(Qt::WindowShortcut);
    addAction(saveProjectAs_);
    connect(help, &QToolButton::clicked, this, [this] { openLink(HelpUrl(HelpPage::kManual)); });
    // Activation is a double click or Enter on the current language.
    connect(availableLanguages_, &QListWidget::activated, this, handler(&MainWindow::addLanguage));
    connect(selectedLanguages_, &QListWidget::activated, this, handler(&MainWindow::removeLanguage));
    connect(chooseOutput, &QPushButton::clicked, this, handler(&MainWindow::chooseOutputFolder));
    connect(outputFolderField_, &QLineEdit::editingFinished, this, handler(&MainWindow::outputFolderTyped));
    connect(createButton_, &QPushButton::clicked, this, handler(&MainWindow::createImage));
    connect(problemsButton_, &QPushButton::clicked, this, handler(&MainWindow::showProblems));
    connect(keepTable_, &QCheckBox::toggled, this,
            [](bool keep) { QSettings().setValue(QLatin1String(kKeepTableKey), keep); });
    return page;
}

QWidget* MainWindow::createAboutPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("aboutPage"));
    auto* panel = new QFrame(page);
    panel->setObjectName(QStringLiteral("aboutPanel"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    panel->setPalette(white);

    auto* logo = new QLabel(panel);
    logo->setObjectName(QStringLiteral("logo"));
    logo->setPixmap(ProductLogo(devicePixelRatioF()));
    auto* version = new QLabel(panel);
    version->setObjectName(QStringLiteral("version"));
    QPalette grey = version->palette();
    grey.setColor(QPalette::WindowText, Qt::gray);
    version->setPalette(grey);
    version->setText(QString::fromLatin1(kVersionText));

    auto* manualLink = new LinkLabel(
        HomePageCaption(), false, [this] { openLink(HelpUrl(HelpPage::kHome)); }, panel);
    manualLink->setObjectName(QStringLiteral("manualLink"));
    auto* updatesLink = new LinkLabel(
        QStringLiteral("Check for Updates"), true, [this] { openLink(HelpUrl(HelpPage::kUpdates)); }, panel);
    updatesLink->setObjectName(QStringLiteral("updatesLink"));

    auto* newsBox = new QGroupBox(panel);
    newsBox->setObjectName(QStringLiteral("newsBox"));
    auto* news = new QTextBrowser(newsBox);
    news->setObjectName(QStringLiteral("releaseNotes"));
    QFile notes(ReleaseNotesResource());
    if (notes.open(QIODevice::ReadOnly)) news->setMarkdown(QString::fromUtf8(notes.readAll()));
    news->setMinimumHeight(news->fontMetrics().lineSpacing() * 4);
    auto* newsLayout = new QVBoxLayout(newsBox);
    newsLayout->addWidget(news);

    auto* header = new QHBoxLayout;
    header->addWidget(logo);
    header->addWidget(version, 0, Qt::AlignBottom);
    header->addStretch();
    auto* links = new QHBoxLayout;
    links->addStretch();
    links->addWidget(updatesLink);
    auto* layout = new QVBoxLayout(panel);
    layout->addLayout(header);
    layout->addWidget(manualLink);
    layout->addLayout(links);
    layout->addWidget(newsBox, 1);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(panel);
    return page;
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
    recentProjects_->clear();
    const QStringList recent = QSettings().value(QLatin1String(kRecentProjectsKey)).toStringList();
    for (const QString& path : recent)
        recentProjects_->addAction(path, this, [this, path] {
            guarded([&] {
                if (settleUnsavedChanges()) openProjectFile(chosen(path));
            });
        });
    recentProjects_->setEnabled(!recent.isEmpty());
}

void MainWindow::pageChanged(int page) {
    // Until a project sets them, the merge choices start afresh each time the page is entered.
    if (page == pages_->indexOf(mergePage_) && !projectLoaded_) mergePage_->resetChoices();
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

void MainWindow::showOutputFolder() { outputFolderField_->setText(QDir::toNativeSeparators(outputFolder())); }

void MainWindow::chooseOutputFolder() {
    const std::optional<QString> folder =
        dialogs_.ChooseFolder(this, QStringLiteral("Select Output Folder"), outputFolder());
    if (folder) takeOutputFolder(*folder);
}

void MainWindow::outputFolderTyped() {
    if (!outputFolderField_->isModified()) return;
    outputFolderField_->setModified(false);
    // A folder typed or pasted must exist, as the chooser's does; any other text gives way to the
    // folder that stood there.
    const QString typed = outputFolderField_->text().trimmed();
    if (QFileInfo(typed).isDir())
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
    // The build and a helper's reading run inside this window's event handling; they end before the
    // window may.
    if (building_ || readingTable_ || !settleUnsavedChanges())
        event->ignore();
    else
        QMainWindow::closeEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!building_ && !readingTable_ && urls.size() == 1 && urls.front().isLocalFile())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString path = event->mimeData()->urls().front().toLocalFile();
    event->acceptProposedAction();
    guarded([&] { openFile(path); });
}

// ---- Language selection

void MainWindow::chooseTable() {
    const std::optional<QString> path = dialogs_.OpenFile(
        this, {QString::fromUtf8(texts::kSelectExcelFile), QString::fromUtf8(texts::kStringTableFilter),
               QStringLiteral("xls"), currentFolder_});
    if (path) loadTable(chosen(*path));
}

void MainWindow::loadTable(const QString& path) {
    forgetTable();
    findings_ = {};
    problemsButton_->setEnabled(false);
    table_.tableReader.reset();
    watchTableReading(path);
    const auto unwatch = qScopeGuard([this] { stopWatchingTableReading(); });
    // Reads every name before anything is shown: a table that cannot be read leaves none loaded.
    table_ = LoadTable(QDir::toNativeSeparators(path).toStdString(), settings_.codePage);
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
}

void MainWindow::watchTableReading(const QString& path) {
    // A helper program reads .xls tables; the window runs its events meanwhile, so nothing else may
    // start. A long read shows the progress window, whose Cancel stops the helper.
    constexpr qint64 kQuietMilliseconds = 400;
    cancelRequested_ = false;
    pages_->setEnabled(false);
    readingTable_ = true;
    QElapsedTimer waiting;
    waiting.start();
    SetHelperWaitHook([this, path, waiting] {
        if (!progress_->isVisible() && waiting.elapsed() >= kQuietMilliseconds) {
            progress_->setCaption(QStringLiteral("Reading the string table"));
            progress_->setRange(0);  // how long is unknown: the bar shows that it is busy
            progress_->setStatusText(QDir::toNativeSeparators(path).toStdString());
            progress_->present();
        }
        QApplication::processEvents();
        return !cancelRequested_;
    });
}

void MainWindow::stopWatchingTableReading() {
    SetHelperWaitHook({});
    readingTable_ = false;
    if (building_) return;  // the build shows and ends its own progress
    progress_->hide();
    pages_->setEnabled(true);
    cancelRequested_ = false;
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
    tableInfo_->setText(info);
    problemsButton_->setEnabled(!findings_.findings.empty());
}

void MainWindow::forgetTable() {
    availableLanguages_->clear();
    selectedLanguages_->clear();
    table_.Reset();
    tableInfo_->setText(QString::fromUtf8(texts::kNoExcelFileLoaded));
}

void MainWindow::showLanguages() {
    availableLanguages_->clear();
    selectedLanguages_->clear();
    for (std::size_t i = 0; i < table_.languages.size(); ++i) {
        const LanguageEntry& entry = table_.languages[i];
        // Items know their column, so two columns of the same name can both be chosen.
        auto* item = new QListWidgetItem(QString::fromStdU16String(entry.name));
        item->setData(kEntryRole, static_cast<int>(i));
        (entry.selected ? selectedLanguages_ : availableLanguages_)->addItem(item);
    }
    // A project saved now keeps the choice, even after the build has forgotten the table.
    settings_.languages.clear();
    for (const LanguageEntry& entry : table_.languages)
        if (entry.selected) settings_.languages.push_back(Utf16ToUtf8(entry.code));
    checkTable();
}

void MainWindow::addLanguage() {
    if (const QListWidgetItem* item = availableLanguages_->currentItem())
        table_.languages.at(static_cast<std::size_t>(item->data(kEntryRole).toInt())).selected = true;
    showLanguages();
}

void MainWindow::removeLanguage() {
    if (const QListWidgetItem* item = selectedLanguages_->currentItem())
        table_.languages.at(static_cast<std::size_t>(item->data(kEntryRole).toInt())).selected = false;
    showLanguages();
}

void MainWindow::addAllLanguages() {
    for (LanguageEntry& entry : table_.languages) entry.selected = true;
    showLanguages();
}

void MainWindow::removeAllLanguages() {
    for (LanguageEntry& entry : table_.languages) entry.selected = false;
    showLanguages();
}

// ---- Settings and projects

void MainWindow::editSettings() {
    const ProjectSettings before = settings_;
    const BuildSettingsDialog::Outcome outcome = settingsDialog_->edit(settings_);
    if (settings_ != before) checkTable();
    if (outcome != BuildSettingsDialog::Outcome::kProcess) return;
    // The settings window is gone before the build begins.
    QApplication::processEvents();
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
    // No leaves the changes behind; a save that does not happen keeps the user where they were.
    if (!dialogs_.Question(this, QString::fromUtf8(texts::kSaveChanges).arg(name))) return true;
    return projectPath_.isEmpty() ? saveProjectAs() : writeProject(projectPath_);
}

// ---- The build

void MainWindow::createImage() {
    // Only the progress window's Cancel takes input while the build runs.
    building_ = true;
    pages_->setEnabled(false);
    createButton_->setEnabled(false);
    cancelRequested_ = false;
    buildBarPlanned_ = false;
    BuildOptions options;
    options.outputFolder = outputFolder().toStdString();
    options.projectFile = projectPath_.toStdString();
    // A folder that a project names may not exist yet: a build that will write makes it, as the
    // command line does.
    if (table_.SelectedCount() > 0) QDir().mkpath(outputFolder());
    findings_ = {};
    const bool tableLoaded = !table_.spreadsheetPath.empty() && table_.tableReader;
    BuildOutcome outcome;
    watchTableReading(QString::fromStdString(table_.spreadsheetPath));  // a changed table is read again
    guarded([&] { outcome = BuildLexicorn(*this, table_, settings_, options); });
    stopWatchingTableReading();
    // A table that a build has read is forgotten, unless the user keeps it for the next build.
    if (outcome.tableRead && !keepTable_->isChecked()) forgetTable();
    problemsButton_->setEnabled(!findings_.findings.empty());
    showBuildMessage(outcome);
    // Without a table the build had nothing to do: its message says so, and the chooser follows.
    if (!tableLoaded) guarded([this] { chooseTable(); });
    checkTable();  // a table kept after the build, as its file is now
    cancelRequested_ = false;
    createButton_->setEnabled(true);
    pages_->setEnabled(true);
    building_ = false;
}

void MainWindow::requestCancel() {
    cancelRequested_ = true;
    if (pause_) pause_->quit();
}

void MainWindow::SetCaption(const std::string& text) { progress_->setCaption(FromUtf8(text)); }
void MainWindow::SetStatusText(const std::string& text) { progress_->setStatusText(text); }
void MainWindow::SetRange(std::uint32_t count) {
    const auto steps = [](std::uint64_t n) {
        return static_cast<int>(std::min<std::uint64_t>(n, INT32_MAX));
    };
    // The languages and strings come first, then one step for each string id: the bar spans both.
    if (!buildBarPlanned_) {
        const std::size_t rows = table_.tableReader ? table_.tableReader->GetRowCount() : 0;
        progress_->planWhole(steps(std::uint64_t{count} + table_layout::StringCount(rows)));
        buildBarPlanned_ = true;
    }
    progress_->setRange(steps(count));
}
void MainWindow::Step() { progress_->step(); }
void MainWindow::Complete() { progress_->complete(); }
void MainWindow::Show() { progress_->present(); }
void MainWindow::Hide() { progress_->hide(); }
// The build's one message waits until the build is over and its progress window gone.
void MainWindow::ShowError(const std::string& text, ResultCode) { buildMessage_ = {true, FromUtf8(text)}; }
void MainWindow::ShowInformation(const std::string& text) { buildMessage_ = {false, FromUtf8(text)}; }

void MainWindow::showBuildMessage(const BuildOutcome& outcome) {
    if (!buildMessage_) return;
    const BuildMessage message = *std::exchange(buildMessage_, std::nullopt);
    if (message.isError) {
        dialogs_.Error(this, message.text);
        // A build refused for what the check found lists all of it after the first message.
        if (findings_.Errors() > 0) showProblems();
        return;
    }
    // Warnings do not stop a build, but the user hears of them with the summary.
    if (outcome.kind == BuildOutcome::Kind::kSucceeded && findings_.Warnings() > 0) {
        const QString warnings = Counted(static_cast<qsizetype>(findings_.Warnings()), "warning", "warnings");
        if (dialogs_.Question(this,
                              message.text + QString::fromUtf8(texts::kCreatedWithWarnings).arg(warnings)))
            showProblems();
        return;
    }
    dialogs_.Information(this, message.text);
}

void MainWindow::Pause(std::chrono::milliseconds duration) {
    // The pause is for reading: the latest status is drawn first, and the window goes on drawing
    // itself meanwhile; a Cancel pressed now is taken at the build's next check.
    if (!startup_.readingPauses) return;
    progress_->redrawNow();
    QEventLoop pause;
    QTimer::singleShot(duration, &pause, &QEventLoop::quit);
    pause_ = &pause;
    if (!cancelRequested_) pause.exec();
    pause_ = nullptr;
}

}  // namespace lexicorn::gui
