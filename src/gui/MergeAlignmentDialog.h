#pragma once

#include <QDialog>
#include <cstdint>

#include "project/ProjectSettings.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace lexicorn::gui {

class Dialogs;

/// The "Advanced..." window of the merger page: the merge alignment, which is also the image search
/// step of the target runtime, and the byte that fills gaps. Worked with the mouse, Enter and Escape
/// only, but for the fill byte's two hexadecimal digits.
class MergeAlignmentDialog : public QDialog {
    Q_OBJECT
  public:
    MergeAlignmentDialog(Dialogs& dialogs, QWidget* parent = nullptr);

    /// Shows the window modally with the settings' search step and fill byte; a changed choice is
    /// applied only when the user confirms.
    void edit(ProjectSettings& settings);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void showSearchStep();
    void confirm();
    void cancel();
    /// Escape cancels, Enter is Done; no key reaches the controls.
    void handleKey(int key);

    Dialogs& dialogs_;
    ProjectSettings* settings_ = nullptr;
    int appliedIndex_ = static_cast<int>(kMergeAlignments.size()) - 1;
    QComboBox* alignmentChoice_;
    QLineEdit* fillField_;
    bool selectFillOnRelease_ = false;  // the field has just taken the focus
    QPushButton* doneButton_;
    QPushButton* cancelButton_;
};

}  // namespace lexicorn::gui
