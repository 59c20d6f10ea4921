#pragma once

#include <QString>
#include <memory>
#include <optional>

class QWidget;

namespace lexicorn::gui {

/// What a file chooser shows.
struct FileChoice {
    QString title;
    QString filter;         ///< Qt filter text, such as "Lexicorn Files (*.lxn)"
    QString defaultSuffix;  ///< added to a typed name without one; empty for none
    QString folder;         ///< where the chooser starts
};

/// Every message box and file chooser of the windows goes through this object, so that tests can
/// answer them from a script. Line breaks inside texts are carriage returns.
class Dialogs {
  public:
    /// The answer that Enter gives. A question about something harmful presets No, so that a
    /// reflexive Enter never does the harm; Escape and the close box always answer No.
    enum class Preset { kYes, kNo };
    /// What to do with unsaved changes before they would be lost.
    enum class Unsaved { kSave, kDiscard, kCancel };

    virtual ~Dialogs() = default;
    virtual void Error(QWidget* parent, const QString& text) = 0;
    virtual void Information(QWidget* parent, const QString& text) = 0;
    /// A message without an icon.
    virtual void Message(QWidget* parent, const QString& text) = 0;
    /// A question with Yes and No; true for Yes.
    virtual bool Question(QWidget* parent, const QString& text, Preset preset) = 0;
    /// Save, Discard or Cancel; Enter saves, Escape and the close box cancel.
    virtual Unsaved AskAboutUnsaved(QWidget* parent, const QString& text) = 0;
    /// The chosen path, or nothing when the user cancelled.
    virtual std::optional<QString> OpenFile(QWidget* parent, const FileChoice& choice) = 0;
    virtual std::optional<QString> SaveFile(QWidget* parent, const FileChoice& choice) = 0;
    /// An existing folder, starting at `folder`; nothing when the user cancelled.
    virtual std::optional<QString> ChooseFolder(QWidget* parent, const QString& title,
                                                const QString& folder) = 0;
};

/// The dialogs of the desktop: QMessageBox and QFileDialog.
std::unique_ptr<Dialogs> CreateQtDialogs();

}  // namespace lexicorn::gui
