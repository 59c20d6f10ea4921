#include "gui/BuildSettingsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/Dialogs.h"
#include "gui/Look.h"
#include "gui/WizardTexts.h"

namespace lexicorn::app {
namespace {

// A group box of radio buttons whose ids are their item indexes.
QButtonGroup* AddRadioGroup(QWidget* owner, QBoxLayout* into, const char* name, const QString& caption,
                            std::initializer_list<const char*> items, const QString& hint = {}) {
    auto* box = new QGroupBox(caption, owner);
    box->setObjectName(QString::fromLatin1(name) + QStringLiteral("Box"));
    box->setToolTip(hint);
    auto* group = new QButtonGroup(owner);
    group->setObjectName(QString::fromLatin1(name));
    auto* layout = new QVBoxLayout(box);
    int id = 0;
    for (const char* item : items) {
        auto* button = new QRadioButton(QString::fromUtf8(item), box);
        group->addButton(button, id++);
        layout->addWidget(button);
    }
    layout->addStretch();
    group->button(0)->setChecked(true);
    into->addWidget(box);
    return group;
}

void Select(QButtonGroup* group, int id) {
    if (QAbstractButton* button = group->button(id)) {
        button->setChecked(true);
    } else {
        // A value no item stands for (a project file may hold any number): no item is checked.
        group->setExclusive(false);
        if (group->checkedButton()) group->checkedButton()->setChecked(false);
        group->setExclusive(true);
    }
}

void Enable(QButtonGroup* group, bool enabled) {
    for (QAbstractButton* button : group->buttons()) button->parentWidget()->setEnabled(enabled);
}

constexpr std::uint8_t kAlignments[] = {1, 2, 4};

}  // namespace

TWizardSettingsForm::TWizardSettingsForm(Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, kFixedDialogOnTop), dialogs_(dialogs) {
    setObjectName(QStringLiteral("TWizardSettingsForm"));
    setWindowTitle(QStringLiteral("Lexicorn Settings"));
    setModal(true);

    auto* columns = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    columns->setSizeConstraint(QLayout::SetFixedSize);

    targetPlatformRadio_ =
        AddRadioGroup(this, left, "targetPlatformRadio", QStringLiteral("Target Platform"),
                      {"I compile LXN API files directly with my application", "I use .NET or lxnbase.dll"});
    targetLangRadio_ = AddRadioGroup(this, left, "targetLangRadio", QStringLiteral("Target Language"),
                                     {"Visual C++", "C Sharp", "Visual Basic"});
    left->setStretch(1, 1);
    Enable(targetLangRadio_, false);

    auto* encodingBox = new QGroupBox(QStringLiteral("String Encoding"), this);
    auto* encodingLayout = new QGridLayout(encodingBox);
    StringFormatCombo_ = new QComboBox(encodingBox);
    StringFormatCombo_->setObjectName(QStringLiteral("StringFormatCombo"));
    StringFormatCombo_->addItems({QStringLiteral("ASCII (Single Byte)"),
                                  QStringLiteral("Unicode (Wide Char)"), QStringLiteral("UTF-8")});
    StringFormatCombo_->setCurrentIndex(-1);
    StringFormatCombo_->setToolTip(QStringLiteral("Select string encoding"));
    encodingLayout->addWidget(StringFormatCombo_, 0, 0, 1, 2);
    // Single-byte text needs to know its code page; the other encodings carry every character.
    auto* codePageLabel = new QLabel(QStringLiteral("Code page:"), encodingBox);
    codePageCombo_ = new QComboBox(encodingBox);
    codePageCombo_->setObjectName(QStringLiteral("codePageCombo"));
    for (const char* name : kCommonCodePages) codePageCombo_->addItem(QString::fromLatin1(name));
    codePageCombo_->setToolTip(QStringLiteral("Code page of single-byte strings"));
    codePageLabel->setBuddy(codePageCombo_);
    encodingLayout->addWidget(codePageLabel, 1, 0);
    encodingLayout->addWidget(codePageCombo_, 1, 1);
    right->addWidget(encodingBox);

    auto* orderAndType = new QHBoxLayout;
    ByteOrderRadio_ = AddRadioGroup(this, orderAndType, "ByteOrderRadio", QStringLiteral("Byte Order"),
                                    {"Little Endian (Intel)", "Big Endian (Motorola)"},
                                    QStringLiteral("Byte order of the target platform"));
    LXNTypeRadio_ = AddRadioGroup(this, orderAndType, "LXNTypeRadio", QStringLiteral("StringTable Type"),
                                  {"16 bit", "32 bit"}, QStringLiteral("Select Lexicorn type"));
    right->addLayout(orderAndType);

    auto* alignmentBox = new QGroupBox(QStringLiteral("Lexicorn Alignment"), this);
    alignmentBox->setToolTip(
        QStringLiteral("Select BYTE if your platfrom doesn't require specific alignment of pointers"));
    auto* alignmentLayout = new QVBoxLayout(alignmentBox);
    AlignmentCombo_ = new QComboBox(alignmentBox);
    AlignmentCombo_->setObjectName(QStringLiteral("AlignmentCombo"));
    AlignmentCombo_->addItems({QStringLiteral("BYTE"), QStringLiteral("WORD"), QStringLiteral("DWORD")});
    AlignmentCombo_->setCurrentIndex(-1);
    AlignmentCombo_->setToolTip(QStringLiteral("Alignment option determines start addresses of strings"));
    alignmentLayout->addWidget(AlignmentCombo_);
    right->addWidget(alignmentBox);

    auto* optionsBox = new QGroupBox(QStringLiteral("Options"), this);
    auto* optionsLayout = new QVBoxLayout(optionsBox);
    insertDefaultVers_ =
        new QCheckBox(QStringLiteral("In case of an empty cell use its default string"), optionsBox);
    insertDefaultVers_->setObjectName(QStringLiteral("insertDefaultVers"));
    insertDefaultVers_->setChecked(true);
    insertDefaultVers_->setToolTip(QStringLiteral(
        "If checked, the correspoding string in the first column will be used for an empty cell"));
    configApiForROM_ = new QCheckBox(QStringLiteral("Target platform has no file system"), optionsBox);
    configApiForROM_->setObjectName(QStringLiteral("configApiForROM"));
    optionsLayout->addWidget(insertDefaultVers_);
    optionsLayout->addWidget(configApiForROM_);
    right->addWidget(optionsBox);

    auto* buttons = new QHBoxLayout;
    settingsDoneBtn_ = new QPushButton(QStringLiteral("Done"), this);
    settingsDoneBtn_->setObjectName(QStringLiteral("settingsDoneBtn"));
    settingsDoneBtn_->setDefault(true);
    settingsDoneBtn_->setToolTip(QStringLiteral("Save settings and return to Wizard"));
    settingsProcessBtn_ = new QPushButton(QStringLiteral("Pocess Strings"), this);
    settingsProcessBtn_->setObjectName(QStringLiteral("settingsProcessBtn"));
    settingsProcessBtn_->setToolTip(QStringLiteral("Process the excel file with these settings."));
    buttons->addStretch();
    buttons->addWidget(settingsDoneBtn_);
    buttons->addWidget(settingsProcessBtn_);
    right->addStretch();
    right->addLayout(buttons);

    connect(targetPlatformRadio_, &QButtonGroup::idClicked, this, [this] { targetPlatformRadioClick(); });
    connect(LXNTypeRadio_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) LXNTypeRadioClick();
    });
    connect(StringFormatCombo_, &QComboBox::currentIndexChanged, this, [this] { UpdateCodePageChoice(); });
    connect(settingsDoneBtn_, &QPushButton::clicked, this, [this] {
        ApplySettings();
        outcome_ = Outcome::kDone;
        accept();
    });
    connect(settingsProcessBtn_, &QPushButton::clicked, this, [this] {
        ApplySettings();
        outcome_ = Outcome::kProcess;
        accept();
    });

    // The window sees every key before its controls, as Escape and Enter act on the whole window.
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

TWizardSettingsForm::Outcome TWizardSettingsForm::Edit(ProjectSettings& settings) {
    settings_ = &settings;
    outcome_ = Outcome::kCancelled;
    exec();
    settings_ = nullptr;
    return outcome_;
}

bool TWizardSettingsForm::ConfigApiForROM() const { return configApiForROM_->isChecked(); }

void TWizardSettingsForm::showEvent(QShowEvent* event) {
    if (settings_) FormShow();
    QDialog::showEvent(event);
}

bool TWizardSettingsForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Escape:
            reject();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            settingsDoneBtn_->click();
            return true;
        default:
            return false;
    }
}

void TWizardSettingsForm::FormShow() {
    filling_ = true;
    Select(targetPlatformRadio_, settings_->targetPlatform);
    targetPlatformRadioClick();
    // The record's own values go in after the platform rule, even where the rule forces others.
    ShowInControls(*settings_);
    filling_ = false;
}

void TWizardSettingsForm::ShowInControls(const ProjectSettings& settings) {
    const auto* alignment = std::find(std::begin(kAlignments), std::end(kAlignments), settings.alignment);
    AlignmentCombo_->setCurrentIndex(
        alignment == std::end(kAlignments) ? 0 : static_cast<int>(alignment - std::begin(kAlignments)));
    StringFormatCombo_->setCurrentIndex(settings.encoding < StringFormatCombo_->count() ? settings.encoding
                                                                                        : -1);
    Select(ByteOrderRadio_, settings.byteOrder);
    insertDefaultVers_->setChecked(settings.useDefaultString);
    Select(targetLangRadio_, settings.targetLanguage);
    Select(LXNTypeRadio_, settings.tableType);
    const QString codePage = QString::fromStdString(settings.codePage);
    if (codePageCombo_->findText(codePage) < 0) codePageCombo_->addItem(codePage);
    codePageCombo_->setCurrentText(codePage);
}

ProjectSettings TWizardSettingsForm::FromControls() const {
    ProjectSettings settings = settings_ ? *settings_ : ProjectSettings{};
    settings.encoding = static_cast<std::int8_t>(StringFormatCombo_->currentIndex());
    settings.tableType = static_cast<std::int8_t>(LXNTypeRadio_->checkedId());
    const int alignment = AlignmentCombo_->currentIndex();
    settings.alignment = alignment >= 0 && alignment < 3 ? kAlignments[alignment] : 1;
    settings.byteOrder = static_cast<std::uint8_t>(ByteOrderRadio_->checkedId());
    settings.useDefaultString = insertDefaultVers_->isChecked();
    settings.targetLanguage = static_cast<std::int8_t>(targetLangRadio_->checkedId());
    settings.targetPlatform = static_cast<std::int8_t>(targetPlatformRadio_->checkedId());
    settings.codePage = codePageCombo_->currentText().toStdString();
    return settings;
}

void TWizardSettingsForm::ApplySettings() {
    if (settings_) *settings_ = FromControls();
}

void TWizardSettingsForm::targetPlatformRadioClick() {
    const bool dotNet = targetPlatformRadio_->checkedId() == 1;
    ProjectSettings forced = FromControls();
    bool configApiForROM = configApiForROM_->isChecked();
    ChooseTargetPlatform(forced, dotNet ? 1 : 0, configApiForROM);
    if (dotNet) {
        StringFormatCombo_->setCurrentIndex(forced.encoding);
        Select(LXNTypeRadio_, forced.tableType);
    } else {
        Select(targetLangRadio_, forced.targetLanguage);
    }
    configApiForROM_->setChecked(configApiForROM);

    StringFormatCombo_->setEnabled(!dotNet);
    Enable(LXNTypeRadio_, !dotNet);
    Enable(targetLangRadio_, dotNet);
    configApiForROM_->setEnabled(!dotNet);
    UpdateCodePageChoice();
}

void TWizardSettingsForm::LXNTypeRadioClick() {
    if (filling_ || targetPlatformRadio_->checkedId() == 1) return;
    dialogs_.Information(this, QString::fromUtf8(texts::kTableTypeChanged));
}

void TWizardSettingsForm::UpdateCodePageChoice() {
    codePageCombo_->setEnabled(StringFormatCombo_->isEnabled() && StringFormatCombo_->currentIndex() == 0);
}

}  // namespace lexicorn::app
