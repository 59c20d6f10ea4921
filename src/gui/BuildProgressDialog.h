#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace lexicorn::gui {

/// The window that shows a running build, or a long reading of a table, and offers its Cancel
/// button. What it is told shows at once: the build runs elsewhere and tells it only as often as
/// is worth drawing.
class BuildProgressDialog : public QDialog {
    Q_OBJECT
  public:
    /// `requestCancel` is what the Cancel button does.
    BuildProgressDialog(std::function<void()> requestCancel, QWidget* parent = nullptr);

    /// The bar stands for a whole build of `total` steps: each range set from now on follows the one
    /// before on it, instead of starting the bar again. Until the window is hidden.
    void planWhole(int total);
    void setCaption(const QString& text);
    /// `text` in UTF-8, as the build makes it; converted only when it is shown.
    void setStatusText(const std::string& text);
    void setRange(int count);
    void step(int count = 1);
    void complete();
    void resetPosition();
    /// Shows the window over the main window.
    void present();

    /// Within the range set last.
    int position() const { return position_; }
    int rangeMax() const { return rangeMax_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void showState();
    /// The bar's place for the position within the range.
    int barValue() const { return rangeStart_ + position_; }

    QLabel* statusText_;
    QProgressBar* progressBar_;
    QPushButton* cancelButton_;
    int rangeMax_ = 0;
    int position_ = 0;
    int wholeTotal_ = 0;  // 0: the bar shows each range alone
    int rangeStart_ = 0;  // where on a whole build's bar the range set last begins
    bool rangeSet_ = false;
    std::string status_;
    bool placed_ = false;
};

}  // namespace lexicorn::gui
