#include "gui/MergePage.h"

#include <QComboBox>
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

#include "gui/Dialogs.h"
#include "gui/Look.h"

namespace lexicorn::gui {
namespace {

constexpr const char* kNoLexicornFile = "Select Lexicorn file...";
constexpr const char* kNoTargetFile = "Select target file...";
constexpr const char* kNoOutputFile = "Select output file...";
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

}  // namespace

QPixmap MergePicture(int index) {
    QPixmap picture(kPictureWidth, kPictureHeight);
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

MergePage::MergePage(Dialogs& dialogs, LXNMerger& merger, ProjectSettings& settings, Hooks hooks,
                     QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), merger_(merger), settings_(settings), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("mergePage"));

    auto* filesBox = new QGroupBox(QStringLiteral("Specify Files"), this);
    auto* files = new QGridLayout(filesBox);
    const auto addFileRow = [&](int row, const char* name, const char* initial, const char* hint,
                                const char* buttonName, void (MergePage::*click)()) {
        auto* field = new QLineEdit(QString::fromLatin1(initial), filesBox);
        field->setObjectName(QString::fromLatin1(name));
        field->setReadOnly(true);
        field->setFocusPolicy(Qt::NoFocus);
        field->setToolTip(QString::fromLatin1(hint));
        UseCreamBackground(*field);
        auto* button = new QPushButton(QStringLiteral(". . ."), filesBox);
        button->setObjectName(QString::fromLatin1(buttonName));
        button->setToolTip(field->toolTip());
        connect(button, &QPushButton::clicked, this, [this, click] { (this->*click)(); });
        files->addWidget(field, row, 0);
        files->addWidget(button, row, 1);
        return field;
    };
    imageFile_ = addFileRow(0, "imageFile", kNoLexicornFile, "Select your Lexicorn file.",
                            "chooseImageButton", &MergePage::chooseImage);
    targetFile_ = addFileRow(1, "targetFile", kNoTargetFile, "Select software binary.", "chooseTargetButton",
                             &MergePage::chooseTarget);
    outputFile_ = addFileRow(2, "outputFile", kNoOutputFile, "Select output file.", "chooseOutputButton",
                             &MergePage::chooseOutput);

    auto* infoBox = new QGroupBox(QStringLiteral("Lexicorn Information"), this);
    infoBox->setToolTip(QStringLiteral("Shows the Lexicorn Information of  target file"));
    auto* info = new QGridLayout(infoBox);
    targetInfo_ = new QLabel(QStringLiteral("No target file selected."), infoBox);
    targetInfo_->setObjectName(QStringLiteral("targetInfo"));
    targetInfo_->setWordWrap(true);
    oldImageSize_ = new QLabel(QStringLiteral("0"), infoBox);
    oldImageSize_->setObjectName(QStringLiteral("oldImageSize"));
    oldImagePosition_ = new QLabel(QStringLiteral("0"), infoBox);
    oldImagePosition_->setObjectName(QStringLiteral("oldImagePosition"));
    info->addWidget(targetInfo_, 0, 0, 1, 3);
    info->addWidget(new QLabel(QStringLiteral("Lexicorn Size:"), infoBox), 1, 0);
    info->addWidget(new QLabel(QStringLiteral("0x"), infoBox), 1, 1);
    info->addWidget(oldImageSize_, 1, 2);
    info->addWidget(new QLabel(QStringLiteral("Lexicorn Position:"), infoBox), 2, 0);
    info->addWidget(new QLabel(QStringLiteral("0x"), infoBox), 2, 1);
    info->addWidget(oldImagePosition_, 2, 2);
    targetSpan_ = new QLabel(infoBox);
    targetSpan_->setObjectName(QStringLiteral("targetSpan"));
    info->addWidget(targetSpan_, 3, 0, 1, 3);
    info->setColumnStretch(2, 1);

    auto* optionsBox = new QGroupBox(QStringLiteral("Merge Options"), this);
    auto* options = new QGridLayout(optionsBox);
    modeChoice_ = new QComboBox(optionsBox);
    modeChoice_->setObjectName(QStringLiteral("modeChoice"));
    modeChoice_->addItems({QStringLiteral("Append Lexicorn"), QStringLiteral("Overwrite Lexicorn")});
    modeChoice_->setToolTip(QStringLiteral("Select merge option."));
    auto* advanced = new QPushButton(QStringLiteral("Advanced..."), optionsBox);
    advanced->setObjectName(QStringLiteral("advancedButton"));
    placementPicture_ = new QLabel(optionsBox);
    placementPicture_->setObjectName(QStringLiteral("placementPicture"));
    placementPicture_->setFixedSize(kPictureWidth, kPictureHeight);
    placeAtEnd_ = new QRadioButton(QStringLiteral("Merge to the end of target"), optionsBox);
    placeAtEnd_->setObjectName(QStringLiteral("placeAtEnd"));
    placeAtBeginning_ = new QRadioButton(QStringLiteral("Merge to the begninnig of target"), optionsBox);
    placeAtBeginning_->setObjectName(QStringLiteral("placeAtBeginning"));
    placeAtAddress_ = new QRadioButton(QStringLiteral("Specify an address to merge from:"), optionsBox);
    placeAtAddress_->setObjectName(QStringLiteral("placeAtAddress"));
    addressPrefix_ = new QLabel(QStringLiteral("0x"), optionsBox);
    addressPrefix_->setObjectName(QStringLiteral("addressPrefix"));
    address_ = new QLineEdit(optionsBox);
    address_->setObjectName(QStringLiteral("address"));
    address_->setToolTip(QStringLiteral("Enter Specific Memory Address"));
    address_->setFixedWidth(address_->fontMetrics().horizontalAdvance(QStringLiteral("000000000")) + 12);
    auto* modeColumn = new QVBoxLayout;
    modeColumn->addWidget(modeChoice_);
    modeColumn->addWidget(advanced);
    modeColumn->addStretch();
    auto* address = new QHBoxLayout;
    address->addWidget(placeAtAddress_);
    address->addWidget(addressPrefix_);
    address->addWidget(address_);
    address->addStretch();
    options->addLayout(modeColumn, 0, 0);
    options->addWidget(placementPicture_, 0, 1);
    options->addWidget(placeAtEnd_, 1, 0, 1, 2);
    options->addWidget(placeAtBeginning_, 2, 0, 1, 2);
    options->addLayout(address, 3, 0, 1, 2);

    auto* mergeButton = new QPushButton(QStringLiteral("Merge"), this);
    mergeButton->setObjectName(QStringLiteral("mergeButton"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filesBox);
    layout->addWidget(infoBox);
    layout->addWidget(optionsBox);
    layout->addStretch();
    layout->addWidget(mergeButton, 0, Qt::AlignRight);

    // The page as it starts: append at the end, no address.
    placeAtEnd_->setChecked(true);
    placeAtAddress_->setEnabled(false);
    enableAddress(false);
    showPicture(0);

    connect(modeChoice_, &QComboBox::activated, this, [this] { modeChosen(); });
    connect(advanced, &QPushButton::clicked, this, [this] { hooks_.showAlignmentWindow(); });
    connect(placeAtEnd_, &QRadioButton::clicked, this, [this] { endChosen(); });
    connect(placeAtBeginning_, &QRadioButton::clicked, this, [this] { beginningChosen(); });
    connect(placeAtAddress_, &QRadioButton::clicked, this, [this] { addressChosen(); });
    connect(mergeButton, &QPushButton::clicked, this, [this] { merge(); });
}

void MergePage::resetChoices() {
    modeChoice_->setCurrentIndex(0);
    placeAtEnd_->setChecked(true);
    modeChosen();
}

void MergePage::showProjectChoices() {
    // The mode shows without returning the placement to the end; the placement as if the user chose it.
    modeChoice_->setCurrentIndex(settings_.mergeMode == MergeMode::kOverwrite ? 1 : 0);
    showMode();
    switch (settings_.mergePlacement) {
        case MergePlacement::kBeginning:
            placeAtBeginning_->setChecked(true);
            beginningChosen();
            break;
        case MergePlacement::kAddress:
            placeAtAddress_->setChecked(true);
            addressChosen();
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
    if (!path) return;
    if (merger_.CheckLexicornFile(path->toStdString()) != kSuccess) {
        dialogs_.Error(this, QString::fromStdString(merge_messages::InvalidImage(merger_.ImageProblem())));
        return;
    }
    imageFile_->setText(*path);
}

void MergePage::chooseTarget() {
    const std::optional<QString> path = hooks_.chooseFile(QStringLiteral("Select Target File"),
                                                          QString::fromStdString(TargetFileFilter()), false);
    if (!path) return;
    targetFile_->setText(*path);
    const ResultCode scanned = merger_.ScanTarget(path->toStdString());
    if (scanned == kSuccess)
        showTargetInfo();
    else if (!merger_.TargetProblem().empty())
        dialogs_.Error(this, QString::fromStdString(merger_.TargetProblem()));
}

void MergePage::showTargetInfo() {
    const TargetInfo info = DescribeTarget(merger_);
    targetInfo_->setText(QString::fromStdString(info.text));
    oldImageSize_->setText(QString::fromStdString(info.size));
    oldImagePosition_->setText(QString::fromStdString(info.position));
    QString span = QString::fromStdString(info.span);
    for (const std::string& warning : merger_.TargetWarnings())
        span += QStringLiteral("\nWarning: ") + QString::fromStdString(warning);
    targetSpan_->setText(span);
}

void MergePage::chooseOutput() {
    const std::optional<QString> path = hooks_.chooseFile(QStringLiteral("Select Output File"),
                                                          QString::fromStdString(OutputFileFilter()), true);
    if (!path) return;
    outputFile_->setText(*path);
    if (merger_.SetOutputFile(path->toStdString()) != kSuccess)
        dialogs_.Error(this, QString::fromLatin1(merge_messages::kCannotSetOutput));
    merger_.SetOutputFormat(OutputFormatOfName(path->toStdString()));
}

void MergePage::modeChosen() {
    showMode();
    placeAtEnd_->setChecked(true);
    endChosen();
}

MergeMode MergePage::chosenMode() const {
    return modeChoice_->currentIndex() == 1 ? MergeMode::kOverwrite : MergeMode::kAppend;
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
    placementPicture_->setPixmap(MergePicture(index));
}

void MergePage::merge() {
    MergeRequest request;
    request.outputChosen = outputFile_->text() != QLatin1String(kNoOutputFile);
    request.targetChosen = targetFile_->text() != QLatin1String(kNoTargetFile);
    request.imageChosen = imageFile_->text() != QLatin1String(kNoLexicornFile);
    request.mode = chosenMode();
    request.placement = placeAtAddress_->isChecked()     ? MergePlacement::kAddress
                        : placeAtBeginning_->isChecked() ? MergePlacement::kBeginning
                                                         : MergePlacement::kEnd;
    request.addressText = address_->text().toStdString();
    const MergeOutcome outcome = RunMergeCommand(*this, merger_, settings_, request);
    // The merge scanned the target again as it is now: the information follows what it found.
    if (merger_.IsReady()) showTargetInfo();
    if (outcome == MergeOutcome::kDone || outcome == MergeOutcome::kInvalidAddress)
        address_->setText(QString::fromLatin1(kAddressAfterMerge));
}

void MergePage::ShowError(const std::string& text) { dialogs_.Error(this, QString::fromStdString(text)); }
void MergePage::ShowInformation(const std::string& text) {
    dialogs_.Information(this, QString::fromStdString(text));
}
bool MergePage::Ask(const std::string& question) {
    return dialogs_.Question(this, QString::fromStdString(question));
}

}  // namespace lexicorn::gui
