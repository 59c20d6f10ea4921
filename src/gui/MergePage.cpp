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

namespace lexicorn::app {
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

TMergerPage::TMergerPage(Dialogs& dialogs, LXNMerger& merger, ProjectSettings& settings, Hooks hooks,
                         QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), merger_(merger), settings_(settings), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("TabSheet2"));

    auto* filesBox = new QGroupBox(QStringLiteral("Specify Files"), this);
    auto* files = new QGridLayout(filesBox);
    const auto addFileRow = [&](int row, const char* name, const char* initial, const char* hint,
                                const char* buttonName, void (TMergerPage::*click)()) {
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
    LexicornFileTxt_ = addFileRow(0, "LexicornFileTxt", kNoLexicornFile, "Select your Lexicorn file.",
                                  "LexicornFileBtn", &TMergerPage::LexicornFileBtnClick);
    TargetFileTxt_ = addFileRow(1, "TargetFileTxt", kNoTargetFile, "Select software binary.", "TargetFileBtn",
                                &TMergerPage::TargetFileBtnClick);
    OutputFileTxt_ = addFileRow(2, "OutputFileTxt", kNoOutputFile, "Select output file.", "OutputFileBtn",
                                &TMergerPage::OutputFileBtnClick);

    auto* infoBox = new QGroupBox(QStringLiteral("Lexicorn Information"), this);
    infoBox->setToolTip(QStringLiteral("Shows the Lexicorn Information of  target file"));
    auto* info = new QGridLayout(infoBox);
    mergerInfo1_ = new QLabel(QStringLiteral("No target file selected."), infoBox);
    mergerInfo1_->setObjectName(QStringLiteral("mergerInfo1"));
    mergerInfo1_->setWordWrap(true);
    mergerInfo2_ = new QLabel(QStringLiteral("0"), infoBox);
    mergerInfo2_->setObjectName(QStringLiteral("mergerInfo2"));
    mergerInfo3_ = new QLabel(QStringLiteral("0"), infoBox);
    mergerInfo3_->setObjectName(QStringLiteral("mergerInfo3"));
    info->addWidget(mergerInfo1_, 0, 0, 1, 3);
    info->addWidget(new QLabel(QStringLiteral("Lexicorn Size:"), infoBox), 1, 0);
    info->addWidget(new QLabel(QStringLiteral("0x"), infoBox), 1, 1);
    info->addWidget(mergerInfo2_, 1, 2);
    info->addWidget(new QLabel(QStringLiteral("Lexicorn Position:"), infoBox), 2, 0);
    info->addWidget(new QLabel(QStringLiteral("0x"), infoBox), 2, 1);
    info->addWidget(mergerInfo3_, 2, 2);
    info->setColumnStretch(2, 1);

    auto* optionsBox = new QGroupBox(QStringLiteral("Merge Options"), this);
    auto* options = new QGridLayout(optionsBox);
    MergeModeCombo_ = new QComboBox(optionsBox);
    MergeModeCombo_->setObjectName(QStringLiteral("MergeModeCombo"));
    MergeModeCombo_->addItems({QStringLiteral("Append Lexicorn"), QStringLiteral("Overwrite Lexicorn")});
    MergeModeCombo_->setToolTip(QStringLiteral("Select merge option."));
    auto* advanced = new QPushButton(QStringLiteral("Advanced..."), optionsBox);
    advanced->setObjectName(QStringLiteral("Button1"));
    mergePic_ = new QLabel(optionsBox);
    mergePic_->setObjectName(QStringLiteral("mergePic"));
    mergePic_->setFixedSize(kPictureWidth, kPictureHeight);
    MergePlacement1_ = new QRadioButton(QStringLiteral("Merge to the end of target"), optionsBox);
    MergePlacement1_->setObjectName(QStringLiteral("MergePlacement1"));
    MergePlacement2_ = new QRadioButton(QStringLiteral("Merge to the begninnig of target"), optionsBox);
    MergePlacement2_->setObjectName(QStringLiteral("MergePlacement2"));
    MergePlacement3_ = new QRadioButton(QStringLiteral("Specify an address to merge from:"), optionsBox);
    MergePlacement3_->setObjectName(QStringLiteral("MergePlacement3"));
    specMerge0x_ = new QLabel(QStringLiteral("0x"), optionsBox);
    specMerge0x_->setObjectName(QStringLiteral("specMerge0x"));
    MergeAddressTxt_ = new QLineEdit(optionsBox);
    MergeAddressTxt_->setObjectName(QStringLiteral("MergeAddressTxt"));
    MergeAddressTxt_->setToolTip(QStringLiteral("Enter Specific Memory Address"));
    MergeAddressTxt_->setFixedWidth(
        MergeAddressTxt_->fontMetrics().horizontalAdvance(QStringLiteral("000000000")) + 12);
    auto* modeColumn = new QVBoxLayout;
    modeColumn->addWidget(MergeModeCombo_);
    modeColumn->addWidget(advanced);
    modeColumn->addStretch();
    auto* address = new QHBoxLayout;
    address->addWidget(MergePlacement3_);
    address->addWidget(specMerge0x_);
    address->addWidget(MergeAddressTxt_);
    address->addStretch();
    options->addLayout(modeColumn, 0, 0);
    options->addWidget(mergePic_, 0, 1);
    options->addWidget(MergePlacement1_, 1, 0, 1, 2);
    options->addWidget(MergePlacement2_, 2, 0, 1, 2);
    options->addLayout(address, 3, 0, 1, 2);

    auto* mergeButton = new QPushButton(QStringLiteral("Merge"), this);
    mergeButton->setObjectName(QStringLiteral("MergeBtn"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filesBox);
    layout->addWidget(infoBox);
    layout->addWidget(optionsBox);
    layout->addStretch();
    layout->addWidget(mergeButton, 0, Qt::AlignRight);

    // The page as it starts: append at the end, no address.
    MergePlacement1_->setChecked(true);
    MergePlacement3_->setEnabled(false);
    EnableAddress(false);
    ShowMergePicture(0);

    connect(MergeModeCombo_, &QComboBox::activated, this, [this] { UpdateMergeOptions(); });
    connect(advanced, &QPushButton::clicked, this, [this] { hooks_.showAlignmentWindow(); });
    connect(MergePlacement1_, &QRadioButton::clicked, this, [this] { MergePlacement1Click(); });
    connect(MergePlacement2_, &QRadioButton::clicked, this, [this] { MergePlacement2Click(); });
    connect(MergePlacement3_, &QRadioButton::clicked, this, [this] { MergePlacement3Click(); });
    connect(mergeButton, &QPushButton::clicked, this, [this] { MergeBtnClick(); });
}

void TMergerPage::ResetChoices() {
    MergeModeCombo_->setCurrentIndex(0);
    MergePlacement1_->setChecked(true);
    UpdateMergeOptions();
}

void TMergerPage::ShowProjectChoices() {
    // The mode shows without returning the placement to the end; the placement as if the user chose it.
    MergeModeCombo_->setCurrentIndex(settings_.mergeMode == BinFileMerger::kOverwrite ? 1 : 0);
    ShowMode();
    switch (settings_.mergePlacement) {
        case BinFileMerger::kBeginning:
            MergePlacement2_->setChecked(true);
            MergePlacement2Click();
            break;
        case BinFileMerger::kAddress:
            MergePlacement3_->setChecked(true);
            MergePlacement3Click();
            break;
        case BinFileMerger::kEnd:
            MergePlacement1_->setChecked(true);
            MergePlacement1Click();
            break;
        default:
            break;
    }
}

void TMergerPage::LexicornFileBtnClick() {
    const std::optional<QString> path = hooks_.chooseFile(QStringLiteral("Select Lexicorn File"), false);
    if (!path) return;
    if (merger_.CheckLexicornFile(path->toStdString()) != kSuccess) {
        dialogs_.Error(this, QString::fromLatin1(merge_messages::kInvalidImage));
        return;
    }
    LexicornFileTxt_->setText(*path);
}

void TMergerPage::TargetFileBtnClick() {
    const std::optional<QString> path = hooks_.chooseFile(QStringLiteral("Select Target File"), false);
    if (!path) return;
    TargetFileTxt_->setText(*path);
    ShowTargetInfo(*path);
}

bool TMergerPage::ShowTargetInfo(const QString& path) {
    if (merger_.ScanTarget(path.toStdString()) != kSuccess) return false;
    const TargetInfo info = DescribeTarget(merger_);
    mergerInfo1_->setText(QString::fromStdString(info.text));
    mergerInfo2_->setText(QString::fromStdString(info.size));
    mergerInfo3_->setText(QString::fromStdString(info.position));
    return true;
}

void TMergerPage::OutputFileBtnClick() {
    const std::optional<QString> path = hooks_.chooseFile(QStringLiteral("Select Output File"), true);
    if (!path) return;
    OutputFileTxt_->setText(*path);
    if (merger_.SetOutputFile(path->toStdString()) != kSuccess)
        dialogs_.Error(this, QString::fromLatin1(merge_messages::kCannotSetOutput));
}

void TMergerPage::UpdateMergeOptions() {
    ShowMode();
    MergePlacement1_->setChecked(true);
    MergePlacement1Click();
}

void TMergerPage::ShowMode() {
    const bool overwrite = MergeModeCombo_->currentIndex() == 1;
    MergePlacement3_->setEnabled(overwrite);
    pictureBase_ = overwrite ? 2 : 0;
}

void TMergerPage::MergePlacement1Click() {
    EnableAddress(false);
    ShowMergePicture(pictureBase_);
}

void TMergerPage::MergePlacement2Click() {
    EnableAddress(false);
    ShowMergePicture(pictureBase_ + 1);
}

void TMergerPage::MergePlacement3Click() {
    MergeAddressTxt_->setText(QStringLiteral("00000000"));
    EnableAddress(true);
    ShowMergePicture(pictureBase_ + 2);
}

void TMergerPage::EnableAddress(bool enabled) {
    MergeAddressTxt_->setEnabled(enabled);
    specMerge0x_->setEnabled(enabled);
}

void TMergerPage::ShowMergePicture(int index) {
    shownPicture_ = index;
    mergePic_->setPixmap(MergePicture(index));
}

void TMergerPage::MergeBtnClick() {
    MergeRequest request;
    request.outputChosen = OutputFileTxt_->text() != QLatin1String(kNoOutputFile);
    request.targetChosen = TargetFileTxt_->text() != QLatin1String(kNoTargetFile);
    request.imageChosen = LexicornFileTxt_->text() != QLatin1String(kNoLexicornFile);
    request.mode = MergeModeCombo_->currentIndex() == 1 ? BinFileMerger::kOverwrite : BinFileMerger::kAppend;
    request.placement = MergePlacement3_->isChecked()   ? BinFileMerger::kAddress
                        : MergePlacement2_->isChecked() ? BinFileMerger::kBeginning
                                                        : BinFileMerger::kEnd;
    request.addressText = MergeAddressTxt_->text().toStdString();
    const MergeOutcome outcome = RunMergeCommand(*this, merger_, settings_, request);
    if (outcome == MergeOutcome::kDone || outcome == MergeOutcome::kInvalidAddress)
        MergeAddressTxt_->setText(QString::fromLatin1(kAddressAfterMerge));
}

void TMergerPage::ShowError(const std::string& text) { dialogs_.Error(this, QString::fromStdString(text)); }
void TMergerPage::ShowInformation(const std::string& text) {
    dialogs_.Information(this, QString::fromStdString(text));
}
bool TMergerPage::Ask(const std::string& question) {
    return dialogs_.Question(this, QString::fromStdString(question));
}

}  // namespace lexicorn::app
