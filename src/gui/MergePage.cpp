#include "gui/MergePage.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "gui/AddressField.h"
#include "gui/ChoiceLabel.h"
#include "gui/Dialogs.h"
#include "gui/Look.h"
#include "gui/WizardTexts.h"
#include "merge/FirmwareForms.h"
#include "merge/MergeLayout.h"

namespace lexicorn::gui {
namespace {

constexpr const char* kNoLexicornFile = "Select Lexicorn file...";
constexpr const char* kNoTargetFile = "Select target file...";
constexpr const char* kNoOutputFile = "Select output file...";
constexpr const char* kNoTargetInfo = "No target file selected.";
// What an address is in the target's form.
constexpr const char* kAbsoluteAddress = "absolute address";
constexpr const char* kOffsetInFile = "offset in the file";
// What the address box shows after a merge and after an address it refused.
constexpr const char* kAddressAfterMerge = "000001";

constexpr int kPictureWidth = 244;
constexpr int kPictureHeight = 73;
const QColor kTargetColour(0x4A, 0x6F, 0xA5);
const QColor kImageColour(0xE8, 0x8A, 0x1A);

// A labelled box: the long one stands for the target, the small one for the Lexicorn image.
void DrawBox(QPainter& painter, const QRectF& box, const QColor& colour, const QString& label) {
    painter.setPen(QPen(colour.darker(130), 1));
    painter.setBrush(colour);
    painter.drawRect(box);
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, label);
}

void DrawTarget(QPainter& painter, const QRectF& bar) {
    DrawBox(painter, bar, kTargetColour, QStringLiteral("Target software"));
}

void DrawImage(QPainter& painter, const QRectF& box) {
    DrawBox(painter, box, kImageColour, QStringLiteral("LXN"));
}

void DrawPlus(QPainter& painter, QPointF centre) {
    painter.setPen(QPen(Qt::darkGray, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre - QPointF(6, 0), centre + QPointF(6, 0));
    painter.drawLine(centre - QPointF(0, 6), centre + QPointF(0, 6));
}

// The image box below the bar with an arrow from it up into the bar.
void DrawOverwrite(QPainter& painter, const QRectF& bar, qreal boxLeft) {
    DrawTarget(painter, bar);
    const QRectF box(boxLeft, 50, 40, 20);
    DrawImage(painter, box);
    const qreal x = box.center().x();
    painter.setPen(QPen(Qt::darkRed, 2));
    painter.drawLine(QPointF(x, box.top() - 1), QPointF(x, bar.center().y() + 2));
    QPainterPath head;
    head.moveTo(x, bar.center().y());
    head.lineTo(x - 5, bar.center().y() + 8);
    head.lineTo(x + 5, bar.center().y() + 8);
    head.closeSubpath();
    painter.fillPath(head, Qt::darkRed);
}

QString Patterns(std::span<const std::string_view> extensions) {
    QStringList patterns;
    for (std::string_view extension : extensions)
        patterns << QStringLiteral("*.") +
                        QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size()));
    return patterns.join(QLatin1Char(' '));
}

// Each form a file may take, then any file, in the file chooser's filter form.
QString EachFormFilter() {
    QString filter;
    for (const FirmwareForm* form : kFirmwareForms)
        filter += QStringLiteral("%1 (%2);;")
                      .arg(QString::fromUtf8(form->name.data(), static_cast<qsizetype>(form->name.size())),
                           Patterns(form->extensions));
    return filter + QStringLiteral("All Files (*)");
}

// What the target's chooser offers: every form a target may take, then each alone.
QString TargetFileFilter() {
    std::vector<std::string_view> every;
    for (const FirmwareForm* form : kFirmwareForms)
        every.insert(every.end(), form->extensions.begin(), form->extensions.end());
    return QStringLiteral("Firmware (%1);;").arg(Patterns(every)) + EachFormFilter();
}

// What the output's chooser offers.
QString OutputFileFilter() { return EachFormFilter(); }

}  // namespace

QPixmap MergePicture(int index, qreal devicePixelRatio) {
    // Drawn for the screen's pixels, so that it stays sharp on a scaled desktop.
    QPixmap picture(QSize(kPictureWidth, kPictureHeight) * devicePixelRatio);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont small = painter.font();
    small.setPixelSize(10);
    painter.setFont(small);
    const QRectF overwrittenBar(8, 10, 228, 24);
    switch (index) {
        case 0:  // append at the end: target + image
            DrawTarget(painter, QRectF(6, 24, 170, 24));
            DrawPlus(painter, QPointF(190, 36));
            DrawImage(painter, QRectF(202, 26, 36, 20));
            break;
        case 1:  // append at the beginning: image + target
            DrawImage(painter, QRectF(6, 26, 36, 20));
            DrawPlus(painter, QPointF(54, 36));
            DrawTarget(painter, QRectF(68, 24, 170, 24));
            break;
        case 2:
            DrawOverwrite(painter, overwrittenBar, 192);
            break;
        case 3:
            DrawOverwrite(painter, overwrittenBar, 12);
            break;
        default:
            DrawOverwrite(painter, overwrittenBar, 102);
            break;
    }
    return picture;
}

MergePage::MergePage(Dialogs& dialogs, ProjectSettings& settings, Hooks hooks, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), settings_(settings), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("mergePage"));

    auto* filesBox = new QGroupBox(QStringLiteral("Specify Files"), this);
    auto* files = new QGridLayout(filesBox);
    // Each file is chosen with the button, or typed or pasted into its field and taken with Enter or on
    // leaving the field: checked as the chooser's would be, and refused back to what the field held.
    const auto addFileRow = [&](int row, const char* name, const char* placeholder, const char* hint,
                                const char* buttonName, void (MergePage::*choose)(),
                                bool (MergePage::*take)(const QString&), QString MergePage::*taken) {
        auto* field = new QLineEdit(filesBox);
        field->setObjectName(QString::fromLatin1(name));
        field->setPlaceholderText(QString::fromLatin1(placeholder));
        field->setToolTip(QString::fromLatin1(hint));
        auto* button = new QPushButton(QStringLiteral(". . ."), filesBox);
        button->setObjectName(QString::fromLatin1(buttonName));
        button->setToolTip(field->toolTip());
        connect(button, &QPushButton::clicked, this, [this, choose] { (this->*choose)(); });
        connect(field, &QLineEdit::editingFinished, this, [this, field, take, taken] {
            if (!field->isModified()) return;
            field->setModified(false);
            const QString typed = field->text().trimmed();
            if (typed.isEmpty() || !(this->*take)(typed)) field->setText(this->*taken);
        });
        files->addWidget(field, row, 0);
        files->addWidget(button, row, 1);
        return field;
    };
    imageFile_ =
        addFileRow(0, "imageFile", kNoLexicornFile, "Select your Lexicorn file.", "chooseImageButton",
                   &MergePage::chooseImage, &MergePage::takeImage, &MergePage::imagePath_);
    targetFile_ = addFileRow(1, "targetFile", kNoTargetFile, "Select software binary.", "chooseTargetButton",
                             &MergePage::chooseTarget, &MergePage::takeTarget, &MergePage::targetPath_);
    outputFile_ = addFileRow(2, "outputFile", kNoOutputFile, "Select output file.", "chooseOutputButton",
                             &MergePage::chooseOutput, &MergePage::takeOutput, &MergePage::outputPath_);

    auto* infoBox = new QGroupBox(QStringLiteral("Lexicorn Information"), this);
    infoBox->setToolTip(QStringLiteral("Shows the Lexicorn Information of  target file"));
    auto* info = new QGridLayout(infoBox);
    targetInfo_ = new QLabel(infoBox);
    targetInfo_->setObjectName(QStringLiteral("targetInfo"));
    targetInfo_->setWordWrap(true);
    oldImageSize_ = new QLabel(infoBox);
    oldImageSize_->setObjectName(QStringLiteral("oldImageSize"));
    oldImagePosition_ = new QLabel(infoBox);
    oldImagePosition_->setObjectName(QStringLiteral("oldImagePosition"));
    // Size and position side by side: the page keeps to a screen of 640 points across and 500 down.
    constexpr int kColumns = 7;
    info->addWidget(targetInfo_, 0, 0, 1, kColumns);
    info->addWidget(new QLabel(QStringLiteral("Lexicorn Size:"), infoBox), 1, 0);
    info->addWidget(new QLabel(QStringLiteral("0x"), infoBox), 1, 1);
    info->addWidget(oldImageSize_, 1, 2);
    info->addItem(new QSpacerItem(24, 0), 1, 3);
    info->addWidget(new QLabel(QStringLiteral("Lexicorn Position:"), infoBox), 1, 4);
    info->addWidget(new QLabel(QStringLiteral("0x"), infoBox), 1, 5);
    info->addWidget(oldImagePosition_, 1, 6);
    targetNotes_ = new QLabel(infoBox);
    targetNotes_->setObjectName(QStringLiteral("targetNotes"));
    info->addWidget(targetNotes_, 2, 0, 1, kColumns);
    targetSpan_ = new QLabel(infoBox);
    targetSpan_->setObjectName(QStringLiteral("targetSpan"));
    info->addWidget(targetSpan_, 3, 0, 1, kColumns);
    info->setColumnStretch(kColumns - 1, 1);

    auto* optionsBox = new QGroupBox(QStringLiteral("Merge Options"), this);
    auto* options = new QGridLayout(optionsBox);
    modeChoice_ = new QComboBox(optionsBox);
    modeChoice_->setObjectName(QStringLiteral("modeChoice"));
    for (const SettingChoice<MergeMode>& mode : kMergeModes) modeChoice_->addItem(Label(mode));
    modeChoice_->setToolTip(QStringLiteral("Select merge option."));
    auto* advanced = new QPushButton(QStringLiteral("Advanced..."), optionsBox);
    advanced->setObjectName(QStringLiteral("advancedButton"));
    placementPicture_ = new QLabel(optionsBox);
    placementPicture_->setObjectName(QStringLiteral("placementPicture"));
    placementPicture_->setFixedSize(kPictureWidth, kPictureHeight);
    placeAtEnd_ = new QRadioButton(LabelOf(kMergePlacements, MergePlacement::kEnd), optionsBox);
    placeAtEnd_->setObjectName(QStringLiteral("placeAtEnd"));
    placeAtBeginning_ = new QRadioButton(LabelOf(kMergePlacements, MergePlacement::kBeginning), optionsBox);
    placeAtBeginning_->setObjectName(QStringLiteral("placeAtBeginning"));
    placeAtAddress_ = new QRadioButton(LabelOf(kMergePlacements, MergePlacement::kAddress), optionsBox);
    placeAtAddress_->setObjectName(QStringLiteral("placeAtAddress"));
    addressPrefix_ = new QLabel(QStringLiteral("0x"), optionsBox);
    addressPrefix_->setObjectName(QStringLiteral("addressPrefix"));
    address_ = new AddressField(optionsBox);
    address_->setObjectName(QStringLiteral("address"));
    address_->setToolTip(QStringLiteral("Enter Specific Memory Address"));
    // Whether the address counts from the file's start or is the target's own: that depends on its form.
    addressMeaning_ = new QLabel(optionsBox);
    addressMeaning_->setObjectName(QStringLiteral("addressMeaning"));
    addressMeaning_->setMinimumWidth(
        std::max(addressMeaning_->fontMetrics().horizontalAdvance(QLatin1String(kAbsoluteAddress)),
                 addressMeaning_->fontMetrics().horizontalAdvance(QLatin1String(kOffsetInFile))));
    auto* address = new QHBoxLayout;
    address->setSpacing(6);
    address->addWidget(placeAtAddress_);
    address->addWidget(addressPrefix_);
    address->addWidget(address_);
    address->addWidget(addressMeaning_);
    address->addStretch();
    // The picture beside the mode and the first two placements, the address row below all of them.
    options->addWidget(modeChoice_, 0, 0);
    options->addWidget(advanced, 0, 1);
    options->addWidget(placeAtEnd_, 1, 0, 1, 2);
    options->addWidget(placeAtBeginning_, 2, 0, 1, 2);
    options->addWidget(placementPicture_, 0, 3, 3, 1, Qt::AlignRight | Qt::AlignVCenter);
    options->addLayout(address, 3, 0, 1, 4);
    options->setColumnStretch(2, 1);

    auto* mergeButton = new QPushButton(QStringLiteral("Merge"), this);
    mergeButton->setObjectName(QStringLiteral("mergeButton"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filesBox);
    layout->addWidget(infoBox);
    layout->addWidget(optionsBox);
    layout->addStretch();
    layout->addWidget(mergeButton, 0, Qt::AlignRight);
    // Rows a little closer than usual, so that the whole page fits 500 points down.
    constexpr int kRowSpacing = 4;
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(kRowSpacing);
    for (QGridLayout* grid : {files, info, options}) grid->setVerticalSpacing(kRowSpacing);

    // The page as it starts: no target, append at the end, no address.
    clearTargetInfo();
    placeAtEnd_->setChecked(true);
    placeAtAddress_->setEnabled(false);
    enableAddress(false);
    showPicture(0);

    // What the user chooses is the project's at once: a project saved before any merge keeps it.
    const auto chosenByUser = [this](void (MergePage::*react)()) {
        return [this, react] {
            (this->*react)();
            storeChoices();
        };
    };
    connect(modeChoice_, &QComboBox::activated, this, chosenByUser(&MergePage::modeChosen));
    connect(advanced, &QPushButton::clicked, this, [this] { hooks_.showAlignmentWindow(); });
    connect(placeAtEnd_, &QRadioButton::clicked, this, chosenByUser(&MergePage::endChosen));
    connect(placeAtBeginning_, &QRadioButton::clicked, this, chosenByUser(&MergePage::beginningChosen));
    connect(placeAtAddress_, &QRadioButton::clicked, this, chosenByUser(&MergePage::addressChosen));
    connect(address_, &QLineEdit::textEdited, this, [this] { storeChoices(); });
    connect(mergeButton, &QPushButton::clicked, this, [this] { merge(); });
}

void MergePage::resetChoices() {
    modeChoice_->setCurrentIndex(0);
    placeAtEnd_->setChecked(true);
    modeChosen();
    // Once something was chosen, a project saved now keeps what the page shows, not what it showed.
    if (settings_.mergeMode != MergeMode::kNone) storeChoices();
}

void MergePage::showProjectChoices() {
    // A project saved before anything was chosen holds no placement either: the page as it starts.
    if (settings_.mergeMode == MergeMode::kNone) {
        resetChoices();
        return;
    }
    // The mode shows without returning the placement to the end; the placement as if the user chose it.
    const auto* shownMode =
        std::find_if(std::begin(kMergeModes), std::end(kMergeModes),
                     [this](const auto& mode) { return mode.value == settings_.mergeMode; });
    modeChoice_->setCurrentIndex(
        shownMode == std::end(kMergeModes) ? 0 : static_cast<int>(shownMode - std::begin(kMergeModes)));
    showMode();
    switch (settings_.mergePlacement) {
        case MergePlacement::kBeginning:
            placeAtBeginning_->setChecked(true);
            beginningChosen();
            break;
        case MergePlacement::kAddress:
            placeAtAddress_->setChecked(true);
            addressChosen();
            address_->setText(
                QStringLiteral("%1").arg(settings_.mergeAddress, 8, 16, QLatin1Char('0')).toUpper());
            break;
        case MergePlacement::kEnd:
            placeAtEnd_->setChecked(true);
            endChosen();
            break;
        default:
            break;
    }
}

void MergePage::chooseImage() {
    const std::optional<QString> path =
        hooks_.chooseFile(QStringLiteral("Select Lexicorn File"), QStringLiteral("All Files (*)"), false);
    if (path) takeImage(*path);
}

bool MergePage::takeImage(const QString& path) {
    if (const ImageCheck checked = CheckImageFile(path.toStdString()); checked.code) {
        dialogs_.Error(this, QString::fromStdString(
                                 merge_messages::IsInvalidImage(checked.code)
                                     ? merge_messages::InvalidImage(checked.problem)
                                     : merge_messages::FileProblem(path.toStdString(), checked.code)));
        return false;  // the field keeps the image taken before
    }
    imagePath_ = path;
    imageFile_->setText(path);
    return true;
}

void MergePage::chooseTarget() {
    const std::optional<QString> path =
        hooks_.chooseFile(QStringLiteral("Select Target File"), TargetFileFilter(), false);
    if (path) takeTarget(*path);
}

bool MergePage::takeTarget(const QString& path) {
    TargetScan scan = ScanTarget(path.toStdString());
    // A file that cannot be opened is refused; the field keeps the target taken before.
    if (!scan.opened) {
        dialogs_.Error(this,
                       QString::fromStdString(merge_messages::FileProblem(path.toStdString(), scan.code)));
        return false;
    }
    // A target is taken even when a merge cannot use what it holds: Merge then says why.
    targetPath_ = path;
    targetFile_->setText(path);
    targetScan_ = std::move(scan);
    if (targetScan_.code == kSuccess)
        showTargetInfo();
    else
        clearTargetInfo();  // nothing of an earlier target may seem to describe this one
    if (targetScan_.code != kSuccess && !targetScan_.problem.empty())
        dialogs_.Error(this, QString::fromStdString(targetScan_.problem));
    return true;
}

void MergePage::clearTargetInfo() {
    targetInfo_->setText(QString::fromLatin1(kNoTargetInfo));
    oldImageSize_->setText(QStringLiteral("0"));
    oldImagePosition_->setText(QStringLiteral("0"));
    showNotes({});
    targetSpan_->clear();
    addressMeaning_->clear();
}

void MergePage::showNotes(const QStringList& notes) {
    targetNotes_->setText(notes.join(QLatin1Char('\n')));
    // Most targets have none: the line takes no room then, which a small screen needs.
    targetNotes_->setVisible(!notes.isEmpty());
}

void MergePage::showTargetInfo() {
    const TargetInfo info = DescribeTarget(targetScan_);
    targetInfo_->setText(QString::fromStdString(info.text));
    oldImageSize_->setText(QString::fromStdString(info.size));
    oldImagePosition_->setText(QString::fromStdString(info.position));
    QStringList notes;
    for (const std::string& note : info.notes) notes << QString::fromStdString(note);
    showNotes(notes);
    QString span = QString::fromStdString(info.span);
    for (const std::string& warning : targetScan_.warnings)
        span += QStringLiteral("\nWarning: ") + QString::fromStdString(warning);
    targetSpan_->setText(span);
    addressMeaning_->setText(QLatin1String(targetScan_.form ? kAbsoluteAddress : kOffsetInFile));
}

void MergePage::chooseOutput() {
    const std::optional<QString> path =
        hooks_.chooseFile(QStringLiteral("Select Output File"), OutputFileFilter(), true);
    if (path) takeOutput(*path);
}

bool MergePage::takeOutput(const QString& path) {
    // A merge replaces its output: an existing file only once the user has said so.
    if (QFileInfo::exists(path) &&
        !dialogs_.Question(this, QString::fromUtf8(texts::kReplaceFile).arg(QDir::toNativeSeparators(path)),
                           Dialogs::Preset::kYes))
        return false;
    outputPath_ = path;
    outputFile_->setText(path);
    return true;
}

void MergePage::modeChosen() {
    showMode();
    placeAtEnd_->setChecked(true);
    endChosen();
}

MergeMode MergePage::chosenMode() const {
    const int index = modeChoice_->currentIndex();
    return index >= 0 && index < static_cast<int>(std::size(kMergeModes))
               ? kMergeModes[static_cast<std::size_t>(index)].value
               : kMergeModes[0].value;
}

MergePlacement MergePage::chosenPlacement() const {
    return placeAtAddress_->isChecked()     ? MergePlacement::kAddress
           : placeAtBeginning_->isChecked() ? MergePlacement::kBeginning
                                            : MergePlacement::kEnd;
}

void MergePage::storeChoices() {
    settings_.mergeMode = chosenMode();
    settings_.mergePlacement = chosenPlacement();
    // An address is kept once it reads as one; Merge still judges the text as it stands then.
    if (chosenPlacement() == MergePlacement::kAddress) {
        const std::string typed = address_->text().toUpper().toStdString();
        if (typed.empty())
            settings_.mergeAddress = 0;
        else if (const std::optional<std::uint32_t> address = ParseHexAddress(typed))
            settings_.mergeAddress = *address;
    }
    if (hooks_.choicesChanged) hooks_.choicesChanged();
}

void MergePage::showMode() {
    placeAtAddress_->setEnabled(PlacementAllowed(chosenMode(), MergePlacement::kAddress));
    pictureBase_ = chosenMode() == MergeMode::kOverwrite ? 2 : 0;
}

void MergePage::endChosen() {
    enableAddress(false);
    showPicture(pictureBase_);
}

void MergePage::beginningChosen() {
    enableAddress(false);
    showPicture(pictureBase_ + 1);
}

void MergePage::addressChosen() {
    address_->setText(QStringLiteral("00000000"));
    enableAddress(true);
    showPicture(pictureBase_ + 2);
}

void MergePage::enableAddress(bool enabled) {
    address_->setEnabled(enabled);
    addressPrefix_->setEnabled(enabled);
}

void MergePage::showPicture(int index) {
    shownPicture_ = index;
    placementPicture_->setPixmap(MergePicture(index, placementPicture_->devicePixelRatioF()));
}

void MergePage::merge() {
    // The files are asked for in this order, output first, as the page has always done.
    namespace text = merge_messages;
    for (const auto& [path, missing] :
         {std::pair{&outputPath_, text::kSelectOutput}, std::pair{&targetPath_, text::kSelectTarget},
          std::pair{&imagePath_, text::kSelectImage}}) {
        if (path->isEmpty()) {
            ShowError(missing);
            return;
        }
    }
    const std::string output = outputPath_.toStdString();
    MergeRequest request{{imagePath_.toStdString(), targetPath_.toStdString(), output,
                          MergeSettingsOf(settings_), ChooseOutputForm(output, std::nullopt).format},
                         address_->text().toStdString()};
    request.job.settings.mode = chosenMode();
    request.job.settings.placement = chosenPlacement();
    const MergeRun run = RunMergeCommand(*this, request);
    KeepMergeSettings(settings_, request.job.settings);
    if (hooks_.choicesChanged) hooks_.choicesChanged();  // the merge keeps what it was asked to do
    // The merge scanned the target again as it is now: the information follows what it found.
    if (run.merged.target && run.merged.target->code == kSuccess) {
        targetScan_ = *run.merged.target;
        showTargetInfo();
    }
    if (run.outcome == MergeOutcome::kDone || run.outcome == MergeOutcome::kInvalidAddress)
        address_->setText(QString::fromLatin1(kAddressAfterMerge));
}

void MergePage::ShowError(const std::string& text) { dialogs_.Error(this, QString::fromStdString(text)); }
void MergePage::ShowInformation(const std::string& text) {
    dialogs_.Information(this, QString::fromStdString(text));
}
// Every question a merge asks is about doing something harmful that the user may not have meant.
bool MergePage::Ask(const std::string& question) {
    return dialogs_.Question(this, QString::fromStdString(question), Dialogs::Preset::kNo);
}
bool MergePage::Proceed(const MergeRisk& risk) { return Ask(risk.question); }

}  // namespace lexicorn::gui
