#pragma once

#include <QDialog>
#include <cstdint>

class QComboBox;
class QPushButton;

namespace lexicorn::app {

class Dialogs;

/// The "Advanced..." window of the merger page: the merge alignment, which is also the image search
/// step of the target runtime. Worked with the mouse, Enter and Escape only.
class TMergeSetting : public QDialog {
    Q_OBJECT
  public:
    TMergeSetting(Dialogs& dialogs, QWidget* parent = nullptr);

    /// Shows the window modally with `searchStep` chosen; a changed choice is applied to it only
    /// when the user confirms.
    void Edit(std::uint8_t& searchStep);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void FormShow();
    void mergeSettingDoneBtnClick();
    void mergeSettingCancelBtnClick();
    /// Escape cancels, Enter is Done; no key reaches the controls.
    void HandleKey(int key);

    Dialogs& dialogs_;
    std::uint8_t* searchStep_ = nullptr;
    int appliedIndex_ = 4;
    QComboBox* AdvancedAlignmentTxt_;
    QPushButton* mergeSettingDoneBtn_;
    QPushButton* mergeSettingCancelBtn_;
};

}  // namespace lexicorn::app
