#pragma once

#include <QDialog>

#include "project/ProjectSettings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QPushButton;

namespace lexicorn::app {

class Dialogs;

/// The build settings window: target platform and language, encoding and code page, byte order,
/// table type, alignment, default strings and "Target platform has no file system".
class TWizardSettingsForm : public QDialog {
    Q_OBJECT
  public:
    /// How the window was left.
    enum class Outcome {
        kCancelled,  ///< Escape or the close box: the record is unchanged
        kDone,       ///< Done or Enter: the record holds the choices
        kProcess,    ///< "Pocess Strings": the record holds the choices and a build is wanted
    };

    TWizardSettingsForm(Dialogs& dialogs, QWidget* parent = nullptr);

    /// Shows the window modally, filled from `settings`; writes the choices back unless cancelled.
    Outcome Edit(ProjectSettings& settings);

    /// "Target platform has no file system": kept by the window for the run, whichever way it was left.
    bool ConfigApiForROM() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void FormShow();
    void ApplySettings();
    void targetPlatformRadioClick();
    void LXNTypeRadioClick();
    void UpdateCodePageChoice();
    ProjectSettings FromControls() const;
    void ShowInControls(const ProjectSettings& settings);

    Dialogs& dialogs_;
    ProjectSettings* settings_ = nullptr;
    Outcome outcome_ = Outcome::kCancelled;
    bool filling_ = false;

    QButtonGroup* targetPlatformRadio_;
    QButtonGroup* targetLangRadio_;
    QComboBox* StringFormatCombo_;
    QComboBox* codePageCombo_;
    QButtonGroup* ByteOrderRadio_;
    QButtonGroup* LXNTypeRadio_;
    QComboBox* AlignmentCombo_;
    QCheckBox* insertDefaultVers_;
    QCheckBox* configApiForROM_;
    QPushButton* settingsDoneBtn_;
    QPushButton* settingsProcessBtn_;
};

}  // namespace lexicorn::app
