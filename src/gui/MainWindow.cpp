#include "gui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QTextBrowser>
#include <QThread>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "Version.h"
#include "gui/Dialogs.h"
#include "gui/HelpLinks.h"
#include "gui/Logo.h"
#include "gui/Look.h"
#include "gui/MergePage.h"
#include "gui/BuildProgressDialog.h"
#include "gui/SplashScreen.h"
#include "gui/WizardTexts.h"
#include "gui/MergeAlignmentDialog.h"
#include "project/ProjectFile.h"
#include "gui/BuildSettingsDialog.h"

namespace lexicorn::app {
namespace {

constexpr int kEntryRole = Qt::UserRole;  // list items carry the index of their language entry

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

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

TMainDialog::TMainDialog(Dialogs& dialogs, const WizardStartup& startup)
    : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint),
      dialogs_(dialogs),
      startup_(startup),
      currentFolder_(QDir::currentPath()) {
    setObjectName(QStringLiteral("TMainDialog"));
    setWindowTitle(QString::fromUtf8(texts::kApplicationTitle));
    setAcceptDrops(true);

    PageControl1_ = new QTabWidget(this);
    PageControl1_->setObjectName(QStringLiteral("PageControl1"));
    PageControl1_->setIconSize(QSize(32, 32));
    PageControl1_->setDocumentMode(true);
    PageControl1_->addTab(CreateBuildPage(), style()->standardIcon(QStyle::SP_FileDialogDetailedView),
                          QStringLiteral("LXN Engine"));
    mergerPage_ = new TMergerPage(
        dialogs_, merger_, settings_,
        {[this](const QString& title, bool forWriting) { return ChooseMergerFile(title, forWriting); },
         [this] { alignmentWindow_->Edit(settings_.searchStep); }},
        PageControl1_);
    PageControl1_->addTab(mergerPage_, style()->standardIcon(QStyle::SP_DriveHDIcon),
                          QStringLiteral("Merger"));
    PageControl1_->addTab(CreateAboutPage(), style()->standardIcon(QStyle::SP_MessageBoxInformation),
                          QStringLiteral("About"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageControl1_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(PageControl1_, &QTabWidget::currentChanged, this, [this](int page) { PageControl1Change(page); });

    StartWithProject(startup.projectPath);

    alignmentWindow_ = std::make_unique<TMergeSetting>(dialogs_, this);
    progress_ = std::make_unique<TLexicornProgress>([this] { RequestCancel(); }, this);
    settingsWindow_ = std::make_unique<TWizardSettingsForm>(dialogs_, this);
    splash_ = std::make_unique<TsplashScreen>(startup.splashTime);
}

TMainDialog::~TMainDialog() = default;

QWidget* TMainDialog::CreateBuildPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet1"));

    auto* toolBar = new QToolBar(page);
    toolBar->setObjectName(QStringLiteral("ToolBar2"));
    toolBar->setIconSize(QSize(16, 16));
    toolBar->addSeparator();
    auto* openExcel = AddToolButton(toolBar, "OpenExcelButton", QStyle::SP_DialogOpenButton,
                                    "Open Excel file to load the string table");
    openExcel->setText(QStringLiteral("Load String Table"));
    auto* settings = AddToolButton(toolBar, "WizardSettingsButton", QStyle::SP_FileDialogContentsView,
                                   "Lexicorn Settings");
    toolBar->addSeparator();
    auto* openProject = AddToolButton(toolBar, "OpenProjectButton", QStyle::SP_DirOpenIcon, "Open Project");
    auto* saveProject =
        AddToolButton(toolBar, "SaveProjectButton", QStyle::SP_DialogSaveButton, "Save Project");
    auto* spacer = new QWidget(toolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar->addWidget(spacer);
    auto* help = AddToolButton(toolBar, "helpBtn", QStyle::SP_MessageBoxQuestion, "Onlne Help");

    auto* languagesBox = new QGroupBox(QStringLiteral("Select Languages"), page);
    languagesBox->setObjectName(QStringLiteral("GroupBox2"));
    auto* grid = new QGridLayout(languagesBox);
    const auto makeList = [&](const char* name) {
        auto* list = new QListWidget(languagesBox);
        list->setObjectName(QString::fromLatin1(name));
        list->setMinimumSize(180, 321);
        UseCreamBackground(*list);
        return list;
    };
    languagesList_ = makeList("languagesList");
    selectedLanguagesList_ = makeList("selectedLanguagesList");
    grid->addWidget(new QLabel(QStringLiteral("Available"), languagesBox), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Selected"), languagesBox), 0, 2);
    grid->addWidget(languagesList_, 1, 0);
    grid->addWidget(selectedLanguagesList_, 1, 2);
    auto* buttons = new QVBoxLayout;
    const auto makeButton = [&](const char* name, const char* caption, const char* hint,
                                void (TMainDialog::*method)()) {
        auto* button = new QPushButton(QString::fromLatin1(caption), languagesBox);
        button->setObjectName(QString::fromLatin1(name));
        button->setToolTip(QString::fromLatin1(hint));
        button->setFixedSize(41, 41);
        connect(button, &QPushButton::clicked, this, Handler(method));
        buttons->addWidget(button);
    };
    buttons->addStretch();
    makeButton("AddAllLanguagesBtn", ">>>", "Add all languages", &TMainDialog::AddAllLanguagesBtnClick);
    makeButton("AddLanguageBtn", ">", "Add selected language", &TMainDialog::languagesListDblClick);
    makeButton("RemoveLanguageBtn", "<", "Remove selected language",
               &TMainDialog::selectedLanguagesListDblClick);
    makeButton("RemoveAllLanguagesBtn", "<<<", "Remove all languages",
               &TMainDialog::RemoveAllLanguagesBtnClick);
    buttons->addStretch();
    grid->addLayout(buttons, 1, 1);

    excelFileInfo_ = new QLabel(QString::fromUtf8(texts::kNoExcelFileLoaded), page);
    excelFileInfo_->setObjectName(QStringLiteral("excelFileInfo"));
    excelFileInfo_->setWordWrap(true);
    excelFileInfo_->setMinimumHeight(41);
    CreateLexicornButton_ =
        new QPushButton(style()->standardIcon(QStyle::SP_MediaPlay), QStringLiteral("Create"), page);
    CreateLexicornButton_->setObjectName(QStringLiteral("CreateLexicornButton"));
    CreateLexicornButton_->setToolTip(QStringLiteral("Start creating Lexicorn"));
    CreateLexicornButton_->setMinimumSize(84, 38);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(excelFileInfo_, 1);
    bottom->addWidget(CreateLexicornButton_);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(toolBar);
    layout->addWidget(languagesBox, 1);
    layout->addLayout(bottom);

    connect(openExcel, &QToolButton::clicked, this, Handler(&TMainDialog::OpenExcelButtonClick));
    connect(settings, &QToolButton::clicked, this, Handler(&TMainDialog::WizardSettingsButtonClick));
    connect(openProject, &QToolButton::clicked, this, Handler(&TMainDialog::OpenProjectButtonClick));
    connect(saveProject, &QToolButton::clicked, this, Handler(&TMainDialog::SaveProjectButtonClick));
    connect(help, &QToolButton::clicked, this, [] { QDesktopServices::openUrl(HelpUrl(HelpPage::kManual)); });
    connect(languagesList_, &QListWidget::itemDoubleClicked, this,
            Handler(&TMainDialog::languagesListDblClick));
    connect(selectedLanguagesList_, &QListWidget::itemDoubleClicked, this,
            Handler(&TMainDialog::selectedLanguagesListDblClick));
    connect(CreateLexicornButton_, &QPushButton::clicked, this,
            Handler(&TMainDialog::CreateLexicornButtonClick));
    return page;
}

QWidget* TMainDialog::CreateAboutPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet3"));
    auto* panel = new QFrame(page);
    panel->setObjectName(QStringLiteral("aboutPanel"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    panel->setPalette(white);

    auto* logo = new QLabel(panel);
    logo->setObjectName(QStringLiteral("Image1"));
    logo->setPixmap(QPixmap::fromImage(ProductLogo()));
    auto* version = new QLabel(panel);
    version->setObjectName(QStringLiteral("appVersionBox"));
    QPalette grey = version->palette();
    grey.setColor(QPalette::WindowText, Qt::gray);
    version->setPalette(grey);
    // FormCreate: the version is fixed for the run.
    version->setText(QString::fromLatin1(kVersionText));

    auto* wwwLink = new LinkLabel(
        HomePageCaption(), false, [] { QDesktopServices::openUrl(HelpUrl(HelpPage::kHome)); }, panel);
    wwwLink->setObjectName(QStringLiteral("wwwLink"));
    auto* updateCheck = new LinkLabel(
        QStringLiteral("Check for Updates"), true,
        [] { QDesktopServices::openUrl(HelpUrl(HelpPage::kUpdates)); }, panel);
    updateCheck->setObjectName(QStringLiteral("updateCheck"));

    auto* newsBox = new QGroupBox(panel);
    newsBox->setObjectName(QStringLiteral("GroupBox5"));
    auto* news = new QTextBrowser(newsBox);
    news->setObjectName(QStringLiteral("newsPanel"));
    QFile notes(ReleaseNotesResource());
    if (notes.open(QIODevice::ReadOnly)) news->setMarkdown(QString::fromUtf8(notes.readAll()));
    news->setMinimumSize(449, 241);
    auto* newsLayout = new QVBoxLayout(newsBox);
    newsLayout->addWidget(news);

    auto* header = new QHBoxLayout;
    header->addWidget(logo);
    header->addWidget(version, 0, Qt::AlignBottom);
    header->addStretch();
    auto* links = new QHBoxLayout;
    links->addStretch();
    links->addWidget(updateCheck);
    auto* layout = new QVBoxLayout(panel);
    layout->addLayout(header);
    layout->addWidget(wwwLink);
    layout->addLayout(links);
    layout->addWidget(newsBox, 1);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(panel);
    return page;
}

void TMainDialog::StartWithProject(const QString& path) {
    if (path.isEmpty()) return;  // the defaults stand
    const ProjectFileResult loaded = LoadProjectFile(path.toStdString(), settings_);
    switch (loaded.status) {
        case ProjectFileResult::Status::kOk:
            ProjectWasLoaded();
            break;
        case ProjectFileResult::Status::kNotAProject:
            // The defaults stay, so that default strings remain on; the user learns why.
            dialogs_.Error(nullptr, QString::fromUtf8(texts::kCorruptedProjectFile));
            break;
        case ProjectFileResult::Status::kError:
            throw StartupError(loaded.message);
    }
}

void TMainDialog::ProjectWasLoaded() {
    projectLoaded_ = true;
    mergerPage_->ShowProjectChoices();
}

void TMainDialog::PageControl1Change(int page) {
    // Until a project sets them, the merge choices start afresh each time the page is entered.
    if (page == PageControl1_->indexOf(mergerPage_) && !projectLoaded_) mergerPage_->ResetChoices();
}

std::optional<QString> TMainDialog::ChooseMergerFile(const QString& title, bool forWriting) {
    const FileChoice choice{title, QStringLiteral("All Files (*)"), {}, currentFolder_};
    const std::optional<QString> path =
        forWriting ? dialogs_.SaveFile(this, choice) : dialogs_.OpenFile(this, choice);
    if (path) Chosen(*path);
    return path;
}

std::function<void()> TMainDialog::Handler(void (TMainDialog::*method)()) {
    return [this, method] { Guarded([this, method] { (this->*method)(); }); };
}

void TMainDialog::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        ReportError(error);
    }
}

void TMainDialog::ReportError(const std::exception& error) {
    dialogs_.Error(MessageParent(), QString::fromUtf8(error.what()));
}

QString TMainDialog::Chosen(const QString& path) {
    currentFolder_ = QFileInfo(path).absolutePath();
    return path;
}

QWidget* TMainDialog::MessageParent() {
    return progress_ && progress_->isVisible() ? static_cast<QWidget*>(progress_.get()) : this;
}

void TMainDialog::showEvent(QShowEvent* event) {
    if (!splashShown_) {
        splashShown_ = true;
        splash_->ShowSplash();
        if (const QScreen* desktop = screen()) move(desktop->availableGeometry().center() - rect().center());
    }
    QWidget::showEvent(event);
}

void TMainDialog::closeEvent(QCloseEvent* event) {
    // The build runs inside this window's event handling; it ends before the window may.
    if (building_)
        event->ignore();
    else
        QWidget::closeEvent(event);
}

void TMainDialog::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!building_ && urls.size() == 1 && urls.front().isLocalFile()) event->acceptProposedAction();
}

void TMainDialog::dropEvent(QDropEvent* event) {
    const QString path = event->mimeData()->urls().front().toLocalFile();
    event->acceptProposedAction();
    Guarded([&] { LoadSpreadsheet(Chosen(path)); });
}

// ---- Language selection

void TMainDialog::OpenExcelButtonClick() {
    const std::optional<QString> path = dialogs_.OpenFile(
        this, {QString::fromUtf8(texts::kSelectExcelFile), QString::fromUtf8(texts::kStringTableFilter),
               QStringLiteral("xls"), currentFolder_});
    if (path) LoadSpreadsheet(Chosen(*path));
}

void TMainDialog::LoadSpreadsheet(const QString& path) {
    ResetStringTable();
    table_.tableReader.reset();
    // Reads every name before anything is shown: a table that cannot be read leaves none loaded.
    table_ = LoadTable(QDir::toNativeSeparators(path).toStdString(), settings_.codePage);
    excelFileInfo_->setText(QString::fromUtf8(texts::kLoaded) + QFileInfo(path).fileName());
    RefreshLanguageLists();
}

void TMainDialog::ResetStringTable() {
    languagesList_->clear();
    selectedLanguagesList_->clear();
    table_.Reset();
    excelFileInfo_->setText(QString::fromUtf8(texts::kNoExcelFileLoaded));
}

void TMainDialog::RefreshLanguageLists() {
    languagesList_->clear();
    selectedLanguagesList_->clear();
    for (std::size_t i = 0; i < table_.languages.size(); ++i) {
        const LanguageEntry& entry = table_.languages[i];
        // Items know their column, so two columns of the same name can both be chosen.
        auto* item = new QListWidgetItem(QString::fromStdU16String(entry.name));
        item->setData(kEntryRole, static_cast<int>(i));
        (entry.selected ? selectedLanguagesList_ : languagesList_)->addItem(item);
    }
}

void TMainDialog::languagesListDblClick() {
    if (const QListWidgetItem* item = languagesList_->currentItem())
        table_.languages.at(static_cast<std::size_t>(item->data(kEntryRole).toInt())).selected = true;
    RefreshLanguageLists();
}

void TMainDialog::selectedLanguagesListDblClick() {
    if (const QListWidgetItem* item = selectedLanguagesList_->currentItem())
        table_.languages.at(static_cast<std::size_t>(item->data(kEntryRole).toInt())).selected = false;
    RefreshLanguageLists();
}

void TMainDialog::AddAllLanguagesBtnClick() {
    for (LanguageEntry& entry : table_.languages) entry.selected = true;
    RefreshLanguageLists();
}

void TMainDialog::RemoveAllLanguagesBtnClick() {
    for (LanguageEntry& entry : table_.languages) entry.selected = false;
    RefreshLanguageLists();
}

// ---- Settings and projects

void TMainDialog::WizardSettingsButtonClick() {
    if (settingsWindow_->Edit(settings_) != TWizardSettingsForm::Outcome::kProcess) return;
    // The settings window is gone before the build begins.
    QApplication::processEvents();
    CreateLexicornButtonClick();
}

void TMainDialog::OpenProjectButtonClick() {
    const std::optional<QString> path = dialogs_.OpenFile(
        this, {QString::fromUtf8(texts::kOpenProjectFile), QString::fromUtf8(texts::kProjectFilter),
               QString::fromUtf8(texts::kProjectSuffix), currentFolder_});
    if (!path) return;
    const ProjectFileResult loaded = LoadProjectFile(Chosen(*path).toStdString(), settings_);
    switch (loaded.status) {
        case ProjectFileResult::Status::kOk:
            ProjectWasLoaded();
            dialogs_.Information(this, QString::fromUtf8(texts::kSettingsLoaded));
            break;
        case ProjectFileResult::Status::kNotAProject:
            dialogs_.Error(this, QString::fromUtf8(texts::kCorruptedProjectFile));
            break;
        case ProjectFileResult::Status::kError:
            dialogs_.Error(this, FromUtf8(loaded.message));
            break;
    }
}

void TMainDialog::SaveProjectButtonClick() {
    const std::optional<QString> path = dialogs_.SaveFile(
        this, {QString::fromUtf8(texts::kSaveProjectAs), QString::fromUtf8(texts::kProjectFilter),
               QString::fromUtf8(texts::kProjectSuffix), currentFolder_});
    if (!path) return;
    const ProjectFileResult saved = SaveProjectFile(Chosen(*path).toStdString(), settings_);
    if (!saved) dialogs_.Error(this, FromUtf8(saved.message));
}

// ---- The build

void TMainDialog::CreateLexicornButtonClick() {
    // Only the progress window's Cancel takes input while the build runs.
    building_ = true;
    PageControl1_->setEnabled(false);
    CreateLexicornButton_->setEnabled(false);
    cancelRequested_ = false;
    BuildOptions options;
    options.outputFolder = currentFolder_.toStdString();
    options.configApiForROM = settingsWindow_->ConfigApiForROM();
    Guarded([&] { BuildLexicorn(*this, table_, settings_, options); });
    cancelRequested_ = false;
    CreateLexicornButton_->setEnabled(true);
    PageControl1_->setEnabled(true);
    building_ = false;
}

void TMainDialog::SetCaption(const std::string& text) { progress_->SetCaption(FromUtf8(text)); }
void TMainDialog::SetStatusText(const std::string& text) { progress_->SetStatusText(text); }
void TMainDialog::SetRange(std::uint32_t count) {
    progress_->SetRange(static_cast<int>(std::min<std::uint32_t>(count, INT32_MAX)));
}
void TMainDialog::Step() { progress_->Step(); }
void TMainDialog::Complete() { progress_->Complete(); }
void TMainDialog::Show() { progress_->Show(); }
void TMainDialog::Hide() { progress_->Hide(); }
void TMainDialog::ShowError(const std::string& text, ResultCode) {
    dialogs_.Error(MessageParent(), FromUtf8(text));
}
void TMainDialog::ShowInformation(const std::string& text) {
    dialogs_.Information(MessageParent(), FromUtf8(text));
}

void TMainDialog::Pause(std::chrono::milliseconds duration) {
    // The pause is for reading: the latest status is drawn first, then left as it is meanwhile.
    if (!startup_.readingPauses) return;
    progress_->RedrawNow();
    QThread::msleep(static_cast<unsigned long>(duration.count()));
}

}  // namespace lexicorn::app
