#include "gui/MergeAlignmentDialog.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/Dialogs.h"
#include "gui/Look.h"
#include "gui/WizardTexts.h"

namespace lexicorn::app {

TMergeSetting::TMergeSetting(Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, kFixedDialogOnTop), dialogs_(dialogs) {
    setObjectName(QStringLiteral("TMergeSetting"));
    setWindowTitle(QStringLiteral("Advanced..."));
    setToolTip(QStringLiteral("Change alignment settings."));
    setModal(true);

    auto* group = new QGroupBox(QStringLiteral("Alignment Option"), this);
    auto* label = new QLabel(QStringLiteral("Enter alignment value:"), group);
    AdvancedAlignmentTxt_ = new QComboBox(group);
    AdvancedAlignmentTxt_->setObjectName(QStringLiteral("AdvancedAlignmentTxt"));
    AdvancedAlignmentTxt_->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4"),
                                     QStringLiteral("8"), QStringLiteral("16")});
    AdvancedAlignmentTxt_->setToolTip(QStringLiteral("Specify your bit alignment."));
    AdvancedAlignmentTxt_->setCurrentIndex(appliedIndex_);
    label->setBuddy(AdvancedAlignmentTxt_);
    auto* groupLayout = new QHBoxLayout(group);
    groupLayout->addWidget(label);
    groupLayout->addWidget(AdvancedAlignmentTxt_);

    mergeSettingDoneBtn_ = new QPushButton(QStringLiteral("Done"), this);
    mergeSettingDoneBtn_->setObjectName(QStringLiteral("mergeSettingDoneBtn"));
    mergeSettingDoneBtn_->setDefault(true);
    mergeSettingCancelBtn_ = new QPushButton(QStringLiteral("Cancel"), this);
    mergeSettingCancelBtn_->setObjectName(QStringLiteral("mergeSettingCancelBtn"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(mergeSettingDoneBtn_);
    buttons->addWidget(mergeSettingCancelBtn_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(mergeSettingDoneBtn_, &QPushButton::clicked, this, [this] { mergeSettingDoneBtnClick(); });
    connect(mergeSettingCancelBtn_, &QPushButton::clicked, this, [this] { mergeSettingCancelBtnClick(); });
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

void TMergeSetting::Edit(std::uint8_t& searchStep) {
    searchStep_ = &searchStep;
    FormShow();
    exec();
    searchStep_ = nullptr;
}

void TMergeSetting::FormShow() {
    AdvancedAlignmentTxt_->setCurrentIndex(appliedIndex_);
    for (int i = 0; i < AdvancedAlignmentTxt_->count(); ++i) {
        if (AdvancedAlignmentTxt_->itemText(i).toInt() == *searchStep_) {
            appliedIndex_ = i;
            AdvancedAlignmentTxt_->setCurrentIndex(i);
        }
    }
}

void TMergeSetting::mergeSettingDoneBtnClick() {
    const int chosen = AdvancedAlignmentTxt_->currentIndex();
    if (chosen != appliedIndex_) {
        if (dialogs_.Question(this, QString::fromLatin1(texts::kAlignmentQuestion))) {
            *searchStep_ = static_cast<std::uint8_t>(1u << chosen);
            appliedIndex_ = chosen;
        } else {
            dialogs_.Message(this, QString::fromLatin1(texts::kAlignmentNotApplied));
        }
    }
    accept();
}

void TMergeSetting::mergeSettingCancelBtnClick() {
    AdvancedAlignmentTxt_->setCurrentIndex(appliedIndex_);
    reject();
}

void TMergeSetting::HandleKey(int key) {
    if (key == Qt::Key_Escape)
        mergeSettingCancelBtnClick();
    else if (key == Qt::Key_Return || key == Qt::Key_Enter)
        mergeSettingDoneBtnClick();
}

bool TMergeSetting::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        HandleKey(static_cast<QKeyEvent*>(event)->key());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TMergeSetting::keyPressEvent(QKeyEvent* event) { HandleKey(event->key()); }

}  // namespace lexicorn::app
