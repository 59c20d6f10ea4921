#pragma once

#include <QDialog>

#include "project/ProjectSettings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace lexicorn::gui {

class Dialogs;

/// The build settings window: target platform and language, encoding and code page, byte order,
/// table type, alignment, default strings and "Target platform has no file system".
class BuildSettingsDialog : public QDialog {
    Q_OBJECT
  public:
    /// How the window was left.
    enum class Outcome {
        kCancelled,  ///< Escape or the close box: the record is unchanged
        kDone,       ///< Done or Enter: the record holds the choices
        kProcess,    ///< "Pocess Strings": the record holds the choices and a build is wanted
    };

    BuildSettingsDialog(Dialogs& dialogs, QWidget* parent = nullptr);

    /// Shows the window modally, filled from `settings`; writes the choices back unless cancelled.
    Outcome edit(ProjectSettings& settings);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void fillFromSettings();
    void applyChoices();
    void platformChosen();
    void tableTypeChosen();
    void updateCodePageChoice();
    ProjectSettings choices() const;
    void showSettings(const ProjectSettings& settings);

    Dialogs& dialogs_;
    ProjectSettings* settings_ = nullptr;
    Outcome outcome_ = Outcome::kCancelled;
    bool filling_ = false;

    QButtonGroup* targetPlatform_;
    QButtonGroup* targetLanguage_;
    QComboBox* encodingChoice_;
    QComboBox* codePageChoice_;
    QLabel* codePageLabel_;
    QButtonGroup* byteOrder_;
    QButtonGroup* tableType_;
    QComboBox* alignmentChoice_;
    QCheckBox* useDefaultStrings_;
    QCheckBox* noFileSystem_;
    QPushButton* doneButton_;
    QPushButton* processButton_;
};

}  // namespace lexicorn::gui
