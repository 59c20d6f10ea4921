#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <chrono>
#include <functional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace lexicorn::gui {

/// The window that shows a running build and offers its Cancel button. The build runs on the
/// window thread: the operations that change what the window shows also let pending window events
/// run, so that Cancel is delivered. Redrawing after every one of 100 000 strings would cost more
/// than the build, so the shown text and bar follow the build at most every `kRedrawInterval`;
/// the build still looks at the cancellation flag at every one of its points. Even reading the
/// clock at every string shows in the build's time, so it is read at every 64th call only.
class BuildProgressDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kRedrawInterval{40};

    /// `requestCancel` is what the Cancel button does.
    BuildProgressDialog(std::function<void()> requestCancel, QWidget* parent = nullptr);

    /// The bar stands for a whole build of `total` steps: each range set from now on follows the one
    /// before on it, instead of starting the bar again. Until the window is hidden.
    void planWhole(int total);
    void setCaption(const QString& text);
    /// `text` in UTF-8, as the build makes it; converted only when it is shown.
    void setStatusText(const std::string& text);
    void setRange(int count);
    void step();
    void complete();
    void resetPosition();
    /// Shows the window over the main window, its latest state drawn.
    void present();
    /// Shows the latest text and position at once, as before a pause.
    void redrawNow();

    /// Within the range set last.
    int position() const { return position_; }
    int rangeMax() const { return rangeMax_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // Runs the pending window events, and shows the latest state first, unless the window was
    // redrawn less than kRedrawInterval ago.
    enum class Redraw { kNow, kThrottled };
    void letEventsRun(Redraw when = Redraw::kThrottled);
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
    QElapsedTimer sinceRedraw_;
    int callsSinceClockRead_ = 0;
    bool placed_ = false;
};

}  // namespace lexicorn::gui
