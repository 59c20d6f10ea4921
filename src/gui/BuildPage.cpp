#include "gui/BuildPage.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/Look.h"
#include "gui/WizardTexts.h"

namespace lexicorn::gui {
namespace {

constexpr int kEntryRole = Qt::UserRole;  // list items carry the index of their language entry
// Where the choice to keep the table after a build is kept between runs.
constexpr const char* kKeepTableKey = "keepTableAfterBuild";

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

BuildPage::BuildPage(std::vector<LanguageEntry>& languages, QWidget* parent)
    : QWidget(parent), languages_(languages) {
    setObjectName(QStringLiteral("buildPage"));

    auto* toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("buildToolBar"));
    toolBar->setIconSize(QSize(16, 16));
    toolBar->addSeparator();
    loadTableButton_ = AddToolButton(toolBar, "loadTableButton", QStyle::SP_DialogOpenButton,
                                     "Open Excel file to load the string table (Ctrl+O)");
    loadTableButton_->setText(QStringLiteral("Load String Table"));
    auto* settings =
        AddToolButton(toolBar, "settingsButton", QStyle::SP_FileDialogContentsView, "Lexicorn Settings");
    toolBar->addSeparator();
    auto* openProject = AddToolButton(toolBar, "openProjectButton", QStyle::SP_DirOpenIcon, "Open Project");
    recentProjects_ = new QMenu(openProject);
    recentProjects_->setObjectName(QStringLiteral("recentProjects"));
    openProject->setMenu(recentProjects_);
    openProject->setPopupMode(QToolButton::MenuButtonPopup);
    saveProjectButton_ =
        AddToolButton(toolBar, "saveProjectButton", QStyle::SP_DialogSaveButton, "Save Project (Ctrl+S)");
    auto* saveMenu = new QMenu(saveProjectButton_);
    saveProjectAs_ = saveMenu->addAction(QStringLiteral("Save Project As... (Ctrl+Shift+S)"));
    saveProjectAs_->setObjectName(QStringLiteral("saveProjectAsAction"));
    saveProjectButton_->setMenu(saveMenu);
    saveProjectButton_->setPopupMode(QToolButton::MenuButtonPopup);
    auto* spacer = new QWidget(toolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar->addWidget(spacer);
    helpButton_ = AddToolButton(toolBar, "helpButton", QStyle::SP_MessageBoxQuestion, "Onlne Help (F1)");

    auto* languagesBox = new QGroupBox(QStringLiteral("Select Languages"), this);
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
                                const std::function<void()>& onClick) {
        auto* button = new QPushButton(QString::fromLatin1(caption), languagesBox);
        button->setObjectName(QString::fromLatin1(name));
        button->setToolTip(QString::fromLatin1(hint));
        button->setFixedSize(41, 41);
        connect(button, &QPushButton::clicked, this, onClick);
        buttons->addWidget(button);
    };
    buttons->addStretch();
    makeButton("addAllLanguagesButton", ">>>", "Add all languages", [this] { chooseAll(true); });
    makeButton("addLanguageButton", ">", "Add selected language",
               [this] { chooseCurrent(*availableLanguages_, true); });
    makeButton("removeLanguageButton", "<", "Remove selected language",
               [this] { chooseCurrent(*selectedLanguages_, false); });
    makeButton("removeAllLanguagesButton", "<<<", "Remove all languages", [this] { chooseAll(false); });
    buttons->addStretch();
    grid->addLayout(buttons, 1, 1);

    auto* outputLabel = new QLabel(QStringLiteral("Output folder:"), this);
    outputFolderField_ = new QLineEdit(this);
    outputFolderField_->setObjectName(QStringLiteral("outputFolder"));
    outputFolderField_->setToolTip(QStringLiteral("The folder the Lexicorn files are written to"));
    outputLabel->setBuddy(outputFolderField_);
    auto* chooseOutput = new QPushButton(QStringLiteral(". . ."), this);
    chooseOutput->setObjectName(QStringLiteral("chooseOutputFolderButton"));
    chooseOutput->setToolTip(QStringLiteral("Choose the output folder"));
    auto* output = new QHBoxLayout;
    output->addWidget(outputLabel);
    output->addWidget(outputFolderField_, 1);
    output->addWidget(chooseOutput);

    tableInfo_ = new QLabel(QString::fromUtf8(texts::kNoExcelFileLoaded), this);
    tableInfo_->setObjectName(QStringLiteral("tableInfo"));
    tableInfo_->setWordWrap(true);
    // Off, the window forgets the table after each build, as it always has; on, a user who changes a
    // setting can build again at once.
    keepTable_ = new QCheckBox(QStringLiteral("Keep the table after building"), this);
    keepTable_->setObjectName(QStringLiteral("keepTable"));
    keepTable_->setToolTip(
        QStringLiteral("Build again after changing a setting, without loading the table again"));
    keepTable_->setChecked(QSettings().value(QLatin1String(kKeepTableKey), false).toBool());
    auto* tableState = new QVBoxLayout;
    tableState->addWidget(tableInfo_);
    tableState->addWidget(keepTable_);
    createButton_ =
        new QPushButton(style()->standardIcon(QStyle::SP_MediaPlay), QStringLiteral("Create"), this);
    createButton_->setObjectName(QStringLiteral("createButton"));
    createButton_->setToolTip(QStringLiteral("Start creating Lexicorn (Ctrl+B)"));
    createButton_->setMinimumSize(84, 38);
    createButton_->setAutoDefault(true);  // Return on the focused button builds, as in a dialog
    problemsButton_ = new QPushButton(QStringLiteral("Problems..."), this);
    problemsButton_->setObjectName(QStringLiteral("problemsButton"));
    problemsButton_->setToolTip(QStringLiteral("What the check of the table found"));
    problemsButton_->setEnabled(false);
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(tableState, 1);
    bottom->addWidget(problemsButton_);
    bottom->addWidget(createButton_);

    auto* layout = new QVBoxLayout(this);
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

    connect(loadTableButton_, &QToolButton::clicked, this, &BuildPage::chooseTableRequested);
    connect(settings, &QToolButton::clicked, this, &BuildPage::editSettingsRequested);
    connect(openProject, &QToolButton::clicked, this, &BuildPage::openProjectRequested);
    connect(saveProjectButton_, &QToolButton::clicked, this, &BuildPage::saveProjectRequested);
    connect(saveProjectAs_, &QAction::triggered, this, &BuildPage::saveProjectAsRequested);
    connect(helpButton_, &QToolButton::clicked, this, &BuildPage::helpRequested);
    // Activation is a double click or Enter on the current language.
    connect(availableLanguages_, &QListWidget::activated, this,
            [this] { chooseCurrent(*availableLanguages_, true); });
    connect(selectedLanguages_, &QListWidget::activated, this,
            [this] { chooseCurrent(*selectedLanguages_, false); });
    connect(chooseOutput, &QPushButton::clicked, this, &BuildPage::chooseOutputFolderRequested);
    connect(outputFolderField_, &QLineEdit::editingFinished, this, [this] { outputFolderEdited(); });
    connect(createButton_, &QPushButton::clicked, this, &BuildPage::createRequested);
    connect(problemsButton_, &QPushButton::clicked, this, &BuildPage::problemsRequested);
    connect(keepTable_, &QCheckBox::toggled, this,
            [](bool keep) { QSettings().setValue(QLatin1String(kKeepTableKey), keep); });
}

void BuildPage::addShortcutsTo(QWidget& window) {
    const auto addShortcut = [&window](QKeySequence keys, QAbstractButton* button) {
        auto* action = new QAction(&window);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, &window, [button] {
            if (button->isEnabled()) button->click();
        });
        window.addAction(action);
    };
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), loadTableButton_);
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), saveProjectButton_);
    addShortcut(QKeySequence(Qt::Key_F1), helpButton_);
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_B), createButton_);
    saveProjectAs_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    saveProjectAs_->setShortcutContext(Qt::WindowShortcut);
    window.addAction(saveProjectAs_);
}

void BuildPage::showLanguages() {
    availableLanguages_->clear();
    selectedLanguages_->clear();
    for (std::size_t i = 0; i < languages_.size(); ++i) {
        const LanguageEntry& entry = languages_[i];
        // Items know their column, so two columns of the same name can both be chosen.
        auto* item = new QListWidgetItem(QString::fromStdU16String(entry.name));
        item->setData(kEntryRole, static_cast<int>(i));
        (entry.selected ? selectedLanguages_ : availableLanguages_)->addItem(item);
    }
}

void BuildPage::showNoTable() {
    availableLanguages_->clear();
    selectedLanguages_->clear();
    tableInfo_->setText(QString::fromUtf8(texts::kNoExcelFileLoaded));
}

void BuildPage::showTableInfo(const QString& info) { tableInfo_->setText(info); }

void BuildPage::showOutputFolder(const QString& folder) { outputFolderField_->setText(folder); }

void BuildPage::enableProblems(bool enabled) { problemsButton_->setEnabled(enabled); }

void BuildPage::enableCreate(bool enabled) { createButton_->setEnabled(enabled); }

bool BuildPage::keepsTable() const { return keepTable_->isChecked(); }

void BuildPage::outputFolderEdited() {
    if (!outputFolderField_->isModified()) return;
    outputFolderField_->setModified(false);
    emit outputFolderTyped(outputFolderField_->text().trimmed());
}

void BuildPage::chooseCurrent(const QListWidget& list, bool selected) {
    // The lists are drawn from the entries, so an item's entry is always there.
    if (const QListWidgetItem* item = list.currentItem())
        languages_[static_cast<std::size_t>(item->data(kEntryRole).toInt())].selected = selected;
    emit languagesChosen();
}

void BuildPage::chooseAll(bool selected) {
    for (LanguageEntry& entry : languages_) entry.selected = selected;
    emit languagesChosen();
}

}  // namespace lexicorn::gui
