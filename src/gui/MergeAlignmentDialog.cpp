#include "gui/MergeAlignmentDialog.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/Dialogs.h"
#include "gui/Look.h"
#include "gui/WizardTexts.h"

namespace lexicorn::gui {

MergeAlignmentDialog::MergeAlignmentDialog(Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, kFixedDialogOnTop), dialogs_(dialogs) {
    setObjectName(QStringLiteral("mergeAlignmentDialog"));
    setWindowTitle(QStringLiteral("Advanced..."));
    setToolTip(QStringLiteral("Change alignment settings."));
    setModal(true);

    auto* group = new QGroupBox(QStringLiteral("Alignment Option"), this);
    auto* label = new QLabel(QStringLiteral("Enter alignment value:"), group);
    alignmentChoice_ = new QComboBox(group);
    alignmentChoice_->setObjectName(QStringLiteral("alignmentChoice"));
    for (std::uint8_t bytes : kMergeAlignments) alignmentChoice_->addItem(QString::number(bytes));
    alignmentChoice_->setToolTip(QStringLiteral("Specify your bit alignment."));
    alignmentChoice_->setCurrentIndex(appliedIndex_);
    label->setBuddy(alignmentChoice_);
    auto* groupLayout = new QHBoxLayout(group);
    groupLayout->addWidget(label);
    groupLayout->addWidget(alignmentChoice_);

    auto* fillGroup = new QGroupBox(QStringLiteral("Fill Option"), this);
    auto* fillLabel = new QLabel(QStringLiteral("Fill gaps with the hex byte:"), fillGroup);
    fillField_ = new QLineEdit(fillGroup);
    fillField_->setObjectName(QStringLiteral("fillField"));
    fillField_->setInputMask(QStringLiteral(">HH"));
    fillField_->setToolTip(
        QStringLiteral("The byte written between the parts of a merge: FF as erased flash holds."));
    fillField_->setMaximumWidth(fillField_->fontMetrics().horizontalAdvance(QStringLiteral("WWWW")));
    fillLabel->setBuddy(fillField_);
    auto* fillLayout = new QHBoxLayout(fillGroup);
    fillLayout->addWidget(fillLabel);
    fillLayout->addWidget(fillField_);

    doneButton_ = new QPushButton(QStringLiteral("Done"), this);
    doneButton_->setObjectName(QStringLiteral("doneButton"));
    doneButton_->setDefault(true);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(doneButton_);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(fillGroup);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(doneButton_, &QPushButton::clicked, this, [this] { confirm(); });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { cancel(); });
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

void MergeAlignmentDialog::edit(ProjectSettings& settings) {
    settings_ = &settings;
    showSearchStep();
    fillField_->setText(QStringLiteral("%1").arg(settings.fillByte, 2, 16, QLatin1Char('0')).toUpper());
    exec();
    settings_ = nullptr;
}

void MergeAlignmentDialog::showSearchStep() {
    alignmentChoice_->setCurrentIndex(appliedIndex_);
    const auto* shown = std::find(kMergeAlignments.begin(), kMergeAlignments.end(), settings_->searchStep);
    if (shown != kMergeAlignments.end()) {
        appliedIndex_ = static_cast<int>(shown - kMergeAlignments.begin());
        alignmentChoice_->setCurrentIndex(appliedIndex_);
    }
}

void MergeAlignmentDialog::confirm() {
    const int chosen = alignmentChoice_->currentIndex();
    if (chosen != appliedIndex_) {
        if (dialogs_.Question(this, QString::fromLatin1(texts::kAlignmentQuestion), Dialogs::Preset::kYes)) {
            settings_->searchStep = kMergeAlignments[static_cast<std::size_t>(chosen)];
            appliedIndex_ = chosen;
        } else {
            dialogs_.Message(this, QString::fromLatin1(texts::kAlignmentNotApplied));
        }
    }
    // One digit typed means that digit: "F" is 0x0F.
    bool isNumber = false;
    const unsigned fill = fillField_->text().trimmed().toUInt(&isNumber, 16);
    if (isNumber) settings_->fillByte = static_cast<std::uint8_t>(fill);
    accept();
}

void MergeAlignmentDialog::cancel() {
    alignmentChoice_->setCurrentIndex(appliedIndex_);
    reject();
}

void MergeAlignmentDialog::handleKey(int key) {
    if (key == Qt::Key_Escape)
        cancel();
    else if (key == Qt::Key_Return || key == Qt::Key_Enter)
        confirm();
}

bool MergeAlignmentDialog::eventFilter(QObject* watched, QEvent* event) {
    // A click into the two digits selects both, so that what is typed replaces them: the mask
    // leaves no room to type after them.
    if (watched == fillField_ && event->type() == QEvent::FocusIn) selectFillOnRelease_ = true;
    if (watched == fillField_ && event->type() == QEvent::MouseButtonRelease && selectFillOnRelease_) {
        selectFillOnRelease_ = false;
        fillField_->selectAll();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // The fill byte is typed; every other control takes the mouse only.
        if (watched == fillField_ && key != Qt::Key_Escape && key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        handleKey(key);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void MergeAlignmentDialog::keyPressEvent(QKeyEvent* event) { handleKey(event->key()); }

}  // namespace lexicorn::gui
