#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "compile/Preview.h"
#include "project/ProjectSettings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QScrollArea;
class QSpinBox;

namespace lexicorn::gui {

class Dialogs;

/// The preview page: the device's font, its size and the width limits (kept in the settings, so
/// that projects keep them and the check judges by them), and every string drawn as the device
/// draws it.
class PreviewPage : public QWidget {
    Q_OBJECT
  public:
    /// What the page asks of the main window: a file chosen (remembering its folder), and a new
    /// preview after the device's settings changed.
    struct Host {
        std::function<std::optional<QString>(const QString& title, const QString& filter)> chooseFile;
        std::function<void()> settingsChanged;
    };

    PreviewPage(ProjectSettings& settings, Host host, QWidget* parent = nullptr);

    /// Shows the settings' device choices again, after a project was opened.
    void showSettings();
    /// Shows the picture of `preview` and what the check found.
    void showPreview(const Preview& preview);
    /// Shows why there is no picture.
    void showHint(const QString& text);
    /// Scrolls to the string of a row and column of the table and frames it; false where the
    /// picture has none.
    bool scrollTo(std::size_t row, std::size_t column);

  private:
    void chooseFont();
    void chooseLimits();
    void takeNumbers();

    ProjectSettings& settings_;
    Host host_;
    QLineEdit* fontField_;
    QSpinBox* fontSize_;
    QCheckBox* antiAlias_;
    QLineEdit* limitsField_;
    QSpinBox* maxWidth_;
    QLabel* info_;
    QScrollArea* area_;
    QLabel* picture_;
    QImage image_;
    std::vector<PreviewCell> cells_;
};

}  // namespace lexicorn::gui
