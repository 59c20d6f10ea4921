#include "gui/BuildProgressDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace lexicorn::app {
namespace {

QString WithLineFeeds(const QString& text) {
    QString shown = text;
    return shown.replace(QChar('\r'), QChar('\n'));
}

}  // namespace

TLexicornProgress::TLexicornProgress(std::function<void()> requestCancel, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      processText_(new QLabel(this)),
      progressBar_(new QProgressBar(this)),
      stopProcessBtn_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setObjectName(QStringLiteral("TLexicornProgress"));
    setWindowTitle(QStringLiteral("In Progress..."));
    processText_->setObjectName(QStringLiteral("processText"));
    progressBar_->setObjectName(QStringLiteral("LexicornProgressBar"));
    stopProcessBtn_->setObjectName(QStringLiteral("stopProcessBtn"));

    // A fixed area of five lines, the longest status, so the window does not jump as the text changes.
    processText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    processText_->setMinimumSize(382, processText_->fontMetrics().lineSpacing() * 5);
    processText_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    progressBar_->setRange(0, 100);
    progressBar_->setTextVisible(false);
    progressBar_->setMinimumWidth(385);
    stopProcessBtn_->setAutoDefault(false);
    stopProcessBtn_->setDefault(false);
    connect(stopProcessBtn_, &QPushButton::clicked, this,
            [requestCancel = std::move(requestCancel)] { requestCancel(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(processText_);
    layout->addWidget(progressBar_);
    layout->addWidget(stopProcessBtn_, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    sinceRedraw_.start();
}

void TLexicornProgress::SetCaption(const QString& text) {
    setWindowTitle(text);
    LetEventsRun(Redraw::kNow);
}

void TLexicornProgress::RedrawNow() { LetEventsRun(Redraw::kNow); }

void TLexicornProgress::SetStatusText(const std::string& text) {
    statusText_.assign(text);  // keeps its buffer: no allocation per string
    LetEventsRun();
}

void TLexicornProgress::SetRange(int count) {
    rangeMax_ = count;
    progressBar_->setMaximum(count);
    ResetPosition();
}

void TLexicornProgress::Step() {
    if (position_ < rangeMax_) ++position_;
    LetEventsRun();
}

void TLexicornProgress::Complete() {
    position_ = rangeMax_;
    progressBar_->setValue(position_);
}

void TLexicornProgress::ResetPosition() {
    position_ = 0;
    progressBar_->setValue(0);
}

void TLexicornProgress::Show() {
    ShowState();
    if (!placed_ && parentWidget()) {
        adjustSize();
        move(parentWidget()->window()->geometry().center() - rect().center());
        placed_ = true;
    }
    show();
    raise();
}

void TLexicornProgress::Hide() { hide(); }

void TLexicornProgress::showEvent(QShowEvent* event) {
    ResetPosition();
    QDialog::showEvent(event);
}

void TLexicornProgress::hideEvent(QHideEvent* event) {
    ResetPosition();
    QDialog::hideEvent(event);
}

// Neither Escape nor Enter stands for Cancel, and the window cannot be closed while a build runs.
void TLexicornProgress::keyPressEvent(QKeyEvent* event) { event->ignore(); }
void TLexicornProgress::closeEvent(QCloseEvent* event) { event->ignore(); }

void TLexicornProgress::LetEventsRun(Redraw when) {
    constexpr int kCallsPerClockRead = 64;
    if (when == Redraw::kThrottled) {
        if (++callsSinceClockRead_ < kCallsPerClockRead) return;
        callsSinceClockRead_ = 0;
        if (sinceRedraw_.elapsed() < kRedrawInterval.count()) return;
    }
    ShowState();
    QApplication::processEvents();
    sinceRedraw_.restart();
}

void TLexicornProgress::ShowState() {
    processText_->setText(WithLineFeeds(QString::fromStdString(statusText_)));
    progressBar_->setValue(position_);
}

}  // namespace lexicorn::app
