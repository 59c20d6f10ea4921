#include "gui/AboutPage.h"

#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "Version.h"
#include "gui/HelpLinks.h"
#include "gui/Logo.h"

namespace lexicorn::gui {
namespace {

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

}  // namespace

AboutPage::AboutPage(std::function<void(const QUrl&)> openLink, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("aboutPage"));
    auto* panel = new QFrame(this);
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
        HomePageCaption(), false, [openLink] { openLink(HelpUrl(HelpPage::kHome)); }, panel);
    manualLink->setObjectName(QStringLiteral("manualLink"));
    auto* updatesLink = new LinkLabel(
        QStringLiteral("Check for Updates"), true, [openLink] { openLink(HelpUrl(HelpPage::kUpdates)); },
        panel);
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
    auto* pageLayout = new QVBoxLayout(this);
    pageLayout->addWidget(panel);
}

}  // namespace lexicorn::gui
