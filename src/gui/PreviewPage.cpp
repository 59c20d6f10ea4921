#include "gui/PreviewPage.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/Look.h"

namespace lexicorn::gui {
namespace {

constexpr const char* kFontFilter =
    "Fonts (*.ttf *.otf *.ttc *.bdf *.pcf *.pcf.gz *.c *.bin);;TrueType and OpenType (*.ttf *.otf *.ttc);;"
    "Bitmap fonts (*.bdf *.pcf *.pcf.gz);;LVGL fonts of lv_font_conv (*.c *.bin);;All Files (*)";
constexpr const char* kLimitsFilter = "Width limits (*.csv *.tsv *.txt *.xlsx *.xls *.ods);;All Files (*)";

QString FontsText(const std::vector<DeviceFont>& fonts) {
    QStringList texts;
    for (const DeviceFont& font : fonts)
        texts << QDir::toNativeSeparators(QString::fromStdString(DeviceFontText(font)));
    return texts.join(QStringLiteral("; "));
}

}  // namespace

PreviewPage::PreviewPage(ProjectSettings& settings, Host host, QWidget* parent)
    : QWidget(parent),
      settings_(settings),
      host_(std::move(host)),
      fontField_(new QLineEdit(this)),
      fontSize_(new QSpinBox(this)),
      antiAlias_(new QCheckBox(QStringLiteral("Anti-aliased"), this)),
      limitsField_(new QLineEdit(this)),
      maxWidth_(new QSpinBox(this)),
      info_(new QLabel(this)),
      area_(new QScrollArea(this)),
      picture_(new QLabel) {
    setObjectName(QStringLiteral("previewPage"));
    // The font and the limits are chosen with their buttons (a project may name several fonts, which
    // one line could not take back): their fields only show the choice, and Tab passes them by.
    for (QLineEdit* shown : {fontField_, limitsField_}) {
        shown->setReadOnly(true);
        shown->setFocusPolicy(Qt::ClickFocus);  // a click still selects the path to copy it
        UseCreamBackground(*shown);
    }
    fontField_->setObjectName(QStringLiteral("fontField"));
    fontField_->setToolTip(
        QStringLiteral("The font the device draws with; a project may give languages fonts of their own"));
    auto* chooseFont = new QPushButton(QStringLiteral("Font..."), this);
    chooseFont->setObjectName(QStringLiteral("chooseFontButton"));
    chooseFont->setToolTip(QStringLiteral("Choose the device's font (TrueType, OpenType, BDF, PCF)"));
    fontSize_->setObjectName(QStringLiteral("fontSize"));
    fontSize_->setRange(0, 1000);
    fontSize_->setSuffix(QStringLiteral(" px"));
    fontSize_->setSpecialValueText(QStringLiteral("its own"));
    fontSize_->setToolTip(QStringLiteral("The size of a scalable font; bitmap fonts keep their own"));
    antiAlias_->setObjectName(QStringLiteral("antiAlias"));
    antiAlias_->setToolTip(QStringLiteral("The device draws shades of grey, not one bit a pixel"));
    limitsField_->setObjectName(QStringLiteral("limitsField"));
    limitsField_->setToolTip(QStringLiteral("A table of string ids with their width in pixels and lines"));
    auto* chooseLimits = new QPushButton(QStringLiteral("Limits..."), this);
    chooseLimits->setObjectName(QStringLiteral("chooseLimitsButton"));
    chooseLimits->setToolTip(QStringLiteral("Choose the table of width limits"));
    maxWidth_->setObjectName(QStringLiteral("maxWidth"));
    maxWidth_->setRange(0, 100000);
    maxWidth_->setSuffix(QStringLiteral(" px"));
    maxWidth_->setSpecialValueText(QStringLiteral("none"));
    maxWidth_->setToolTip(QStringLiteral("The width of every string without a limit of its own"));
    info_->setObjectName(QStringLiteral("previewInfo"));
    info_->setWordWrap(true);
    picture_->setObjectName(QStringLiteral("previewPicture"));
    picture_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    area_->setObjectName(QStringLiteral("previewArea"));
    area_->setWidget(picture_);
    area_->setWidgetResizable(false);
    area_->setMinimumSize(200, 200);
    area_->setBackgroundRole(QPalette::Base);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Font:"), this), 0, 0);
    grid->addWidget(fontField_, 0, 1);
    grid->addWidget(chooseFont, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Size:"), this), 0, 3);
    grid->addWidget(fontSize_, 0, 4);
    grid->addWidget(antiAlias_, 0, 5);
    grid->addWidget(new QLabel(QStringLiteral("Limits:"), this), 1, 0);
    grid->addWidget(limitsField_, 1, 1);
    grid->addWidget(chooseLimits, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Max width:"), this), 1, 3);
    grid->addWidget(maxWidth_, 1, 4);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(info_);
    layout->addWidget(area_, 1);

    connect(chooseFont, &QPushButton::clicked, this, &PreviewPage::chooseFont);
    connect(chooseLimits, &QPushButton::clicked, this, &PreviewPage::chooseLimits);
    connect(fontSize_, &QSpinBox::valueChanged, this, &PreviewPage::takeNumbers);
    connect(maxWidth_, &QSpinBox::valueChanged, this, &PreviewPage::takeNumbers);
    connect(antiAlias_, &QCheckBox::toggled, this, &PreviewPage::takeNumbers);
    showSettings();
}

void PreviewPage::showSettings() {
    const QSignalBlocker sizeQuiet(fontSize_), widthQuiet(maxWidth_), aliasQuiet(antiAlias_);
    fontField_->setText(FontsText(settings_.fonts));
    fontSize_->setValue(settings_.fontSize);
    antiAlias_->setChecked(settings_.antiAliased);
    limitsField_->setText(QDir::toNativeSeparators(QString::fromStdString(settings_.limits)));
    maxWidth_->setValue(static_cast<int>(std::min<std::uint32_t>(settings_.maxWidth, 100000)));
}

void PreviewPage::chooseFont() {
    const std::optional<QString> path =
        host_.chooseFile(QStringLiteral("Choose the Device's Font"), QString::fromLatin1(kFontFilter));
    if (!path) return;
    // The chosen font draws every language that has none of its own.
    std::erase_if(settings_.fonts, [](const DeviceFont& font) { return font.languages.empty(); });
    settings_.fonts.insert(settings_.fonts.begin(),
                           DeviceFont{{}, QDir::toNativeSeparators(*path).toStdString()});
    showSettings();
    host_.settingsChanged();
}

void PreviewPage::chooseLimits() {
    const std::optional<QString> path =
        host_.chooseFile(QStringLiteral("Choose the Width Limits"), QString::fromLatin1(kLimitsFilter));
    if (!path) return;
    settings_.limits = QDir::toNativeSeparators(*path).toStdString();
    showSettings();
    host_.settingsChanged();
}

void PreviewPage::takeNumbers() {
    settings_.fontSize = static_cast<std::uint16_t>(fontSize_->value());
    settings_.maxWidth = static_cast<std::uint32_t>(maxWidth_->value());
    settings_.antiAliased = antiAlias_->isChecked();
    host_.settingsChanged();
}

void PreviewPage::showPreview(const Preview& preview) {
    const Picture& picture = preview.picture;
    image_ = QImage(picture.Pixels().data(), picture.Width(), picture.Height(), picture.Width() * 3,
                    QImage::Format_RGB888)
                 .copy();
    cells_ = preview.cells;
    picture_->setPixmap(QPixmap::fromImage(image_));
    picture_->resize(image_.size());
    info_->setText(QStringLiteral("%1; double-click a problem to see it here")
                       .arg(QString::fromStdString(CountsText(preview.report))));
}

void PreviewPage::showHint(const QString& text) {
    image_ = {};
    cells_.clear();
    picture_->clear();
    picture_->resize(0, 0);
    info_->setText(text);
}

bool PreviewPage::scrollTo(std::size_t row, std::size_t column) {
    const auto cell = std::find_if(cells_.begin(), cells_.end(), [&](const PreviewCell& shown) {
        return shown.row == row && shown.column == column;
    });
    if (cell == cells_.end()) return false;
    const Box& box = cell->box;
    // The string framed, so that the eye finds it after the jump.
    QImage framed = image_;
    QPainter painter(&framed);
    painter.setPen(QPen(QColor(255, 140, 0), 2));
    painter.drawRect(box.x + 1, box.y + 1, box.width - 2, box.height - 2);
    painter.end();
    picture_->setPixmap(QPixmap::fromImage(framed));
    area_->ensureVisible(box.x + box.width / 2, box.y + box.height / 2, box.width / 2 + 20,
                         box.height / 2 + 20);
    return true;
}

}  // namespace lexicorn::gui
