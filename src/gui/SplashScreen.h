#pragma once

#include <QSplashScreen>
#include <chrono>

namespace lexicorn::gui {

/// The logo and the version, shown while the program starts.
class SplashScreen : public QSplashScreen {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kShowTime{2000};

    SplashScreen();

    /// Shows the splash for `time`, then hides it. The window's drawing goes on meanwhile; the
    /// user's input waits until it is gone.
    void showFor(std::chrono::milliseconds time);
};

}  // namespace lexicorn::gui
