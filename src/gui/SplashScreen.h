#pragma once

#include <QWidget>
#include <chrono>

class QLabel;

namespace lexicorn::app {

/// The borderless window with the logo and the version that is shown while the program starts.
class TsplashScreen : public QWidget {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kShowTime{2000};

    explicit TsplashScreen(std::chrono::milliseconds showTime = kShowTime);

    /// Shows the window for its show time: painted first, then the thread waits, then it hides.
    void ShowSplash();

  private:
    QLabel* appVersionBox_;
    std::chrono::milliseconds showTime_;
};

}  // namespace lexicorn::app
