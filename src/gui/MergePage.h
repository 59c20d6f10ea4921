#pragma once

#include <QPixmap>
#include <QWidget>
#include <functional>

#include "merge/MergeCommand.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace lexicorn::app {

class Dialogs;

/// The five merge pictures, 244 x 73: append at the end (0) or the beginning (1), overwrite at the
/// end (2), the beginning (3) or an address (4).
QPixmap MergePicture(int index);

/// The main window's "Merger" page: the three files, what the target already holds, the merge
/// mode and placement, and the Merge command.
class TMergerPage : public QWidget, private MergeHost {
    Q_OBJECT
  public:
    struct Hooks {
        /// Asks the user for a file; the main window remembers its folder.
        std::function<std::optional<QString>(const QString& title, bool forWriting)> chooseFile;
        /// Opens the alignment window.
        std::function<void()> showAlignmentWindow;
    };

    TMergerPage(Dialogs& dialogs, LXNMerger& merger, ProjectSettings& settings, Hooks hooks,
                QWidget* parent = nullptr);

    /// What entering the page does until a project is loaded: "Append Lexicorn" at the end.
    void ResetChoices();
    /// Shows the mode and placement of a loaded project.
    void ShowProjectChoices();
    int ShownPicture() const { return shownPicture_; }

  private:
    // MergeHost: the Merge command's messages.
    void ShowError(const std::string& text) override;
    void ShowInformation(const std::string& text) override;
    bool Ask(const std::string& question) override;

    void LexicornFileBtnClick();
    void TargetFileBtnClick();
    void OutputFileBtnClick();
    bool ShowTargetInfo(const QString& path);
    void UpdateMergeOptions();
    /// What the mode allows: the address placement and the pictures.
    void ShowMode();
    void MergePlacement1Click();
    void MergePlacement2Click();
    void MergePlacement3Click();
    void MergeBtnClick();
    void ShowMergePicture(int index);
    void EnableAddress(bool enabled);

    Dialogs& dialogs_;
    LXNMerger& merger_;
    ProjectSettings& settings_;
    Hooks hooks_;
    int pictureBase_ = 0;
    int shownPicture_ = 0;

    QLineEdit* LexicornFileTxt_;
    QLineEdit* TargetFileTxt_;
    QLineEdit* OutputFileTxt_;
    QLabel* mergerInfo1_;
    QLabel* mergerInfo2_;
    QLabel* mergerInfo3_;
    QComboBox* MergeModeCombo_;
    QLabel* mergePic_;
    QRadioButton* MergePlacement1_;
    QRadioButton* MergePlacement2_;
    QRadioButton* MergePlacement3_;
    QLabel* specMerge0x_;
    QLineEdit* MergeAddressTxt_;
};

}  // namespace lexicorn::app
