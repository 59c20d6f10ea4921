#pragma once

#include <QPixmap>
#include <QWidget>
#include <functional>

#include "merge/MergeCommand.h"
#include "project/ProjectSettings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace lexicorn::gui {

class Dialogs;

/// The five merge pictures, 244 x 73 points: append at the end (0) or the beginning (1), overwrite at
/// the end (2), the beginning (3) or an address (4); `devicePixelRatio` pixels a point.
QPixmap MergePicture(int index, qreal devicePixelRatio = 1);

/// The main window's "Merger" page: the three files, what the target already holds, the merge
/// mode and placement, and the Merge command.
class MergePage : public QWidget, private MergeHost {
    Q_OBJECT
  public:
    struct Hooks {
        /// Asks the user for a file of the kinds `filter` lists; the main window remembers its folder.
        std::function<std::optional<QString>(const QString& title, const QString& filter, bool forWriting)>
            chooseFile;
        /// Opens the alignment window.
        std::function<void()> showAlignmentWindow;
        /// The mode, the placement or the address in the project's settings changed: chosen, or merged.
        std::function<void()> choicesChanged;
    };

    MergePage(Dialogs& dialogs, ProjectSettings& settings, Hooks hooks, QWidget* parent = nullptr);

    /// What entering the page does until a project is loaded: "Append Lexicorn" at the end.
    void resetChoices();
    /// Shows the mode and placement of a loaded project.
    void showProjectChoices();
    int shownPicture() const { return shownPicture_; }

  private:
    // MergeHost: the Merge command's messages.
    void ShowError(const std::string& text) override;
    void ShowInformation(const std::string& text) override;
    bool Ask(const std::string& question) override;
    bool Proceed(const MergeRisk& risk) override;

    void chooseImage();
    void chooseTarget();
    void chooseOutput();
    // A file as its chooser or its field gives it: false when it is refused and the field keeps
    // what it held.
    bool takeImage(const QString& path);
    bool takeTarget(const QString& path);
    bool takeOutput(const QString& path);
    /// What the last scan of the target found.
    void showTargetInfo();
    /// The information as the page starts, for a target that could not be scanned.
    void clearTargetInfo();
    /// The lines on old images beyond the first and on signatures without one.
    void showNotes(const QStringList& notes);
    void modeChosen();
    /// What the mode allows: the address placement and the pictures.
    void showMode();
    void endChosen();
    void beginningChosen();
    void addressChosen();
    void merge();
    void showPicture(int index);
    void enableAddress(bool enabled);
    MergeMode chosenMode() const;
    MergePlacement chosenPlacement() const;
    /// Keeps what the page shows in the project's settings.
    void storeChoices();

    Dialogs& dialogs_;
    ProjectSettings& settings_;
    Hooks hooks_;
    int pictureBase_ = 0;
    int shownPicture_ = 0;

    // The files taken; empty until one is.
    QString imagePath_;
    QString targetPath_;
    QString outputPath_;
    // What the last scan of the target found: at its choice, or by the last merge that read it.
    TargetScan targetScan_;
    QLineEdit* imageFile_;
    QLineEdit* targetFile_;
    QLineEdit* outputFile_;
    QLabel* targetInfo_;
    QLabel* oldImageSize_;
    QLabel* oldImagePosition_;
    QLabel* targetNotes_;
    QLabel* targetSpan_;
    QComboBox* modeChoice_;
    QLabel* placementPicture_;
    QRadioButton* placeAtEnd_;
    QRadioButton* placeAtBeginning_;
    QRadioButton* placeAtAddress_;
    QLabel* addressPrefix_;
    QLineEdit* address_;
    QLabel* addressMeaning_;
};

}  // namespace lexicorn::gui
