#pragma once

#include <QDialog>
#include <cstdint>

#include "project/ProjectSettings.h"

class QComboBox;
class QPushButton;

namespace lexicorn::gui {

class Dialogs;

/// The "Advanced..." window of the merger page: the merge alignment, which is also the image search
/// step of the target runtime. Worked with the mouse, Enter and Escape only.
class MergeAlignmentDialog : public QDialog {
    Q_OBJECT
  public:
    MergeAlignmentDialog(Dialogs& dialogs, QWidget* parent = nullptr);

    /// Shows the window modally with `searchStep` chosen; a changed choice is applied to it only
    /// when the user confirms.
    void edit(std::uint8_t& searchStep);

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
    std::uint8_t* searchStep_ = nullptr;
    int appliedIndex_ = static_cast<int>(kMergeAlignments.size()) - 1;
    QComboBox* alignmentChoice_;
    QPushButton* doneButton_;
    QPushButton* cancelButton_;
};

}  // namespace lexicorn::gui
