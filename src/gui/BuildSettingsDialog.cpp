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

#include "gui/ChoiceLabel.h"
#include "gui/Dialogs.h"
#include "gui/Look.h"
#include "gui/WizardTexts.h"

namespace lexicorn::gui {
namespace {

// A group box of radio buttons, one for each of a setting's choices, whose ids are the choices'
// codes.
template <typename Enum, std::size_t N>
QButtonGroup* AddRadioGroup(QWidget* owner, QBoxLayout* into, const char* name, const QString& caption,
                            const SettingChoice<Enum> (&choices)[N], const QString& hint = {},
                            QBoxLayout::Direction items = QBoxLayout::TopToBottom) {
    auto* box = new QGroupBox(caption, owner);
    box->setObjectName(QString::fromLatin1(name) + QStringLiteral("Box"));
    box->setToolTip(hint);
    auto* group = new QButtonGroup(owner);
    group->setObjectName(QString::fromLatin1(name));
    auto* layout = new QBoxLayout(items, box);
    for (const SettingChoice<Enum>& choice : choices) {
        auto* button = new QRadioButton(Label(choice), box);
        group->addButton(button, Code(choice.value));
        layout->addWidget(button);
    }
    layout->addStretch();
    group->buttons().front()->setChecked(true);
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

}  // namespace

BuildSettingsDialog::BuildSettingsDialog(Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, kDialogOnTop), dialogs_(dialogs) {
    setObjectName(QStringLiteral("buildSettingsDialog"));
    setWindowTitle(QStringLiteral("Lexicorn Settings"));
    setModal(true);

    // The platform decides what else may be chosen, so it stands first, across the window; the
    // choices follow in two columns, narrow enough for a screen of 640 points across.
    auto* layout = new QVBoxLayout(this);
    auto* top = new QVBoxLayout;
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    layout->addLayout(top);
    layout->addLayout(columns, 1);
    columns->addLayout(left);
    columns->addLayout(right, 1);

    // Its two choices side by side: the window is wider than tall screens leave room for.
    targetPlatform_ = AddRadioGroup(this, top, "targetPlatform", QStringLiteral("Target Platform"),
                                    kTargetPlatforms, {}, QBoxLayout::LeftToRight);
    targetLanguage_ =
        AddRadioGroup(this, left, "targetLanguage", QStringLiteral("Target Language"), kTargetLanguages);
    Enable(targetLanguage_, false);

    auto* encodingBox = new QGroupBox(QStringLiteral("String Encoding"), this);
    auto* encodingLayout = new QGridLayout(encodingBox);
    encodingChoice_ = new QComboBox(encodingBox);
    encodingChoice_->setObjectName(QStringLiteral("encodingChoice"));
    // Item indexes are the encodings' codes, which the table lists in order.
    for (const SettingChoice<Encoding>& choice : kEncodings) encodingChoice_->addItem(Label(choice));
    encodingChoice_->setCurrentIndex(-1);
    encodingChoice_->setToolTip(QStringLiteral("Select string encoding"));
    encodingLayout->addWidget(encodingChoice_, 0, 0, 1, 2);
    // Single-byte text needs to know its code page; the other encodings carry every character.
    codePageLabel_ = new QLabel(QStringLiteral("Code page:"), encodingBox);
    codePageChoice_ = new QComboBox(encodingBox);
    codePageChoice_->setObjectName(QStringLiteral("codePageChoice"));
    for (const char* name : kCommonCodePages) codePageChoice_->addItem(QString::fromLatin1(name));
    codePageChoice_->setToolTip(QStringLiteral("Code page of single-byte strings"));
    codePageLabel_->setBuddy(codePageChoice_);
    encodingLayout->addWidget(codePageLabel_, 1, 0);
    encodingLayout->addWidget(codePageChoice_, 1, 1);
    right->addWidget(encodingBox);

    byteOrder_ = AddRadioGroup(this, left, "byteOrder", QStringLiteral("Byte Order"), kByteOrders,
                               QStringLiteral("Byte order of the target platform"));
    tableType_ = AddRadioGroup(this, left, "tableType", QStringLiteral("StringTable Type"), kTableTypes,
                               QStringLiteral("Select Lexicorn type"));
    left->addStretch();

    auto* alignmentBox = new QGroupBox(QStringLiteral("Lexicorn Alignment"), this);
    alignmentBox->setToolTip(
        QStringLiteral("Select BYTE if your platfrom doesn't require specific alignment of pointers"));
    auto* alignmentLayout = new QVBoxLayout(alignmentBox);
    alignmentChoice_ = new QComboBox(alignmentBox);
    alignmentChoice_->setObjectName(QStringLiteral("alignmentChoice"));
    alignmentChoice_->addItems({QStringLiteral("BYTE"), QStringLiteral("WORD"), QStringLiteral("DWORD")});
    alignmentChoice_->setCurrentIndex(-1);
    alignmentChoice_->setToolTip(QStringLiteral("Alignment option determines start addresses of strings"));
    alignmentLayout->addWidget(alignmentChoice_);
    right->addWidget(alignmentBox);

    auto* optionsBox = new QGroupBox(QStringLiteral("Options"), this);
    auto* optionsLayout = new QVBoxLayout(optionsBox);
    useDefaultStrings_ =
        new QCheckBox(QStringLiteral("In case of an empty cell use its default string"), optionsBox);
    useDefaultStrings_->setObjectName(QStringLiteral("useDefaultStrings"));
    useDefaultStrings_->setChecked(true);
    useDefaultStrings_->setToolTip(QStringLiteral(
        "If checked, the correspoding string in the first column will be used for an empty cell"));
    noFileSystem_ = new QCheckBox(QStringLiteral("Target platform has no file system"), optionsBox);
    noFileSystem_->setObjectName(QStringLiteral("noFileSystem"));
    optionsLayout->addWidget(useDefaultStrings_);
    optionsLayout->addWidget(noFileSystem_);
    right->addWidget(optionsBox);

    auto* buttons = new QHBoxLayout;
    doneButton_ = new QPushButton(QStringLiteral("Done"), this);
    doneButton_->setObjectName(QStringLiteral("doneButton"));
    doneButton_->setDefault(true);
    doneButton_->setToolTip(QStringLiteral("Save settings and return to Wizard"));
    processButton_ = new QPushButton(QStringLiteral("Pocess Strings"), this);
    processButton_->setObjectName(QStringLiteral("processButton"));
    processButton_->setToolTip(QStringLiteral("Process the excel file with these settings."));
    buttons->addStretch();
    buttons->addWidget(doneButton_);
    buttons->addWidget(processButton_);
    right->addStretch();
    right->addLayout(buttons);

    connect(targetPlatform_, &QButtonGroup::idClicked, this, [this] { platformChosen(); });
    connect(tableType_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) tableTypeChosen();
    });
    connect(encodingChoice_, &QComboBox::currentIndexChanged, this, [this] { updateCodePageChoice(); });
    connect(doneButton_, &QPushButton::clicked, this, [this] {
        applyChoices();
        outcome_ = Outcome::kDone;
        accept();
    });
    connect(processButton_, &QPushButton::clicked, this, [this] {
        applyChoices();
        outcome_ = Outcome::kProcess;
        accept();
    });

    // Tab follows the screen: the platform, the left column, then the right one and its buttons.
    QList<QWidget*> order;
    for (QButtonGroup* group : {targetPlatform_, targetLanguage_, byteOrder_, tableType_})
        for (QAbstractButton* button : group->buttons()) order << button;
    order << encodingChoice_ << codePageChoice_ << alignmentChoice_ << useDefaultStrings_ << noFileSystem_
          << doneButton_ << processButton_;
    for (qsizetype i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);

    // The window sees every key before its controls, as Escape and Enter act on the whole window.
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

BuildSettingsDialog::Outcome BuildSettingsDialog::edit(ProjectSettings& settings) {
    settings_ = &settings;
    outcome_ = Outcome::kCancelled;
    exec();
    settings_ = nullptr;
    return outcome_;
}

void BuildSettingsDialog::showEvent(QShowEvent* event) {
    if (settings_) fillFromSettings();
    QDialog::showEvent(event);
}

bool BuildSettingsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Escape:
            reject();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            doneButton_->click();
            return true;
        default:
            return false;
    }
}

void BuildSettingsDialog::fillFromSettings() {
    filling_ = true;
    Select(targetPlatform_, Code(settings_->targetPlatform));
    platformChosen();
    // The record's own values go in after the platform rule, even where the rule forces others.
    showSettings(*settings_);
    filling_ = false;
}

void BuildSettingsDialog::showSettings(const ProjectSettings& settings) {
    const auto* alignment = std::find(kStringAlignments.begin(), kStringAlignments.end(), settings.alignment);
    alignmentChoice_->setCurrentIndex(
        alignment == kStringAlignments.end() ? 0 : static_cast<int>(alignment - kStringAlignments.begin()));
    const int encoding = Code(settings.encoding);
    encodingChoice_->setCurrentIndex(encoding < encodingChoice_->count() ? encoding : -1);
    Select(byteOrder_, Code(settings.byteOrder));
    useDefaultStrings_->setChecked(settings.useDefaultString);
    noFileSystem_->setChecked(settings.noFileSystem);
    Select(targetLanguage_, Code(settings.targetLanguage));
    Select(tableType_, Code(settings.tableType));
    const QString codePage = QString::fromStdString(settings.codePage);
    if (codePageChoice_->findText(codePage) < 0) codePageChoice_->addItem(codePage);
    codePageChoice_->setCurrentText(codePage);
}

ProjectSettings BuildSettingsDialog::choices() const {
    ProjectSettings settings = settings_ ? *settings_ : ProjectSettings{};
    // The controls' item indexes are the settings' codes; -1 (nothing chosen) is kept as it is.
    settings.encoding = static_cast<Encoding>(encodingChoice_->currentIndex());
    settings.tableType = static_cast<TableType>(tableType_->checkedId());
    const int alignment = alignmentChoice_->currentIndex();
    settings.alignment = alignment >= 0 && alignment < static_cast<int>(kStringAlignments.size())
                             ? kStringAlignments[static_cast<std::size_t>(alignment)]
                             : kStringAlignments.front();
    settings.byteOrder = static_cast<ByteOrder>(byteOrder_->checkedId());
    settings.useDefaultString = useDefaultStrings_->isChecked();
    settings.noFileSystem = noFileSystem_->isChecked();
    settings.targetLanguage = static_cast<TargetLanguage>(targetLanguage_->checkedId());
    settings.targetPlatform = static_cast<TargetPlatform>(targetPlatform_->checkedId());
    settings.codePage = codePageChoice_->currentText().toStdString();
    return settings;
}

void BuildSettingsDialog::applyChoices() {
    if (settings_) *settings_ = choices();
}

void BuildSettingsDialog::platformChosen() {
    const auto platform = static_cast<TargetPlatform>(targetPlatform_->checkedId());
    ProjectSettings forced = choices();
    ChooseTargetPlatform(forced, platform);
    // What the platform fixes is shown and cannot be chosen; the rest stays as it was.
    const PlatformConstraints fixed = ConstraintsOf(platform);
    if (fixed.encoding) encodingChoice_->setCurrentIndex(Code(forced.encoding));
    if (fixed.tableType) Select(tableType_, Code(forced.tableType));
    if (fixed.targetLanguage) Select(targetLanguage_, Code(forced.targetLanguage));
    noFileSystem_->setChecked(forced.noFileSystem);

    encodingChoice_->setEnabled(!fixed.encoding);
    Enable(tableType_, !fixed.tableType);
    Enable(targetLanguage_, !fixed.targetLanguage);
    noFileSystem_->setEnabled(!fixed.hasFileSystem);
    updateCodePageChoice();
}

void BuildSettingsDialog::tableTypeChosen() {
    if (filling_ || ConstraintsOf(static_cast<TargetPlatform>(targetPlatform_->checkedId())).tableType)
        return;
    dialogs_.Information(this, QString::fromUtf8(texts::kTableTypeChanged));
}

void BuildSettingsDialog::updateCodePageChoice() {
    const bool singleByte = encodingChoice_->isEnabled() && encodingChoice_->currentIndex() == 0;
    codePageChoice_->setEnabled(singleByte);
    codePageLabel_->setEnabled(singleByte);
}

}  // namespace lexicorn::gui
