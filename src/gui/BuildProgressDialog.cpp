#include "gui/BuildProgressDialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "base/Text.h"

namespace lexicorn::gui {

BuildProgressDialog::BuildProgressDialog(std::function<void()> requestCancel, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      statusText_(new QLabel(this)),
      progressBar_(new QProgressBar(this)),
      cancelButton_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setObjectName(QStringLiteral("buildProgressDialog"));
    setWindowTitle(QStringLiteral("In Progress..."));
    statusText_->setObjectName(QStringLiteral("statusText"));
    progressBar_->setObjectName(QStringLiteral("progressBar"));
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));

    // A fixed area of five lines, the longest status, so the window does not jump as the text changes.
    statusText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    statusText_->setMinimumSize(382, statusText_->fontMetrics().lineSpacing() * 5);
    statusText_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    progressBar_->setRange(0, 100);
    progressBar_->setTextVisible(false);
    progressBar_->setMinimumWidth(385);
    cancelButton_->setAutoDefault(false);
    cancelButton_->setDefault(false);
    // Pressed once, Cancel shows it was heard: the build stops at its next check.
    connect(cancelButton_, &QPushButton::clicked, this, [this, requestCancel = std::move(requestCancel)] {
        cancelButton_->setEnabled(false);
        requestCancel();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(statusText_);
    layout->addWidget(progressBar_);
    layout->addWidget(cancelButton_, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void BuildProgressDialog::setCaption(const QString& text) { setWindowTitle(text); }

void BuildProgressDialog::setStatusText(const std::string& text) {
    status_.assign(text);
    showState();
}

void BuildProgressDialog::planWhole(int total) {
    wholeTotal_ = total;
    rangeStart_ = 0;
    rangeSet_ = false;
}

void BuildProgressDialog::setRange(int count) {
    if (wholeTotal_ > 0 && rangeSet_) rangeStart_ += rangeMax_;
    rangeSet_ = true;
    rangeMax_ = count;
    progressBar_->setMaximum(wholeTotal_ > 0 ? std::max(wholeTotal_, rangeStart_ + count) : count);
    resetPosition();
}

void BuildProgressDialog::step(int count) {
    position_ = std::min(position_ + count, rangeMax_);
    showState();
}

void BuildProgressDialog::complete() {
    position_ = rangeMax_;
    progressBar_->setValue(barValue());
}

void BuildProgressDialog::resetPosition() {
    position_ = 0;
    progressBar_->setValue(barValue());
}

void BuildProgressDialog::present() {
    cancelButton_->setEnabled(true);
    showState();
    if (!placed_ && parentWidget()) {
        adjustSize();
        move(parentWidget()->window()->geometry().center() - rect().center());
        placed_ = true;
    }
    show();
    raise();
}

void BuildProgressDialog::showEvent(QShowEvent* event) {
    resetPosition();
    QDialog::showEvent(event);
}

void BuildProgressDialog::hideEvent(QHideEvent* event) {
    planWhole(0);  // the next build plans its own bar
    resetPosition();
    QDialog::hideEvent(event);
}

// Neither Escape nor Enter stands for Cancel, and the window cannot be closed while a build runs.
void BuildProgressDialog::keyPressEvent(QKeyEvent* event) { event->ignore(); }
void BuildProgressDialog::closeEvent(QCloseEvent* event) { event->ignore(); }

void BuildProgressDialog::showState() {
    statusText_->setText(QString::fromStdString(WithLineFeeds(status_)));
    progressBar_->setValue(barValue());
}

}  // namespace lexicorn::gui
