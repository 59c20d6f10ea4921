#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "compile/BuildRun.h"

namespace lexicorn::gui {

/// How long a helper program may read a table before the progress window says that it does.
inline constexpr std::chrono::milliseconds kQuietReading{400};

/// What a build is given. The table is the window's: the window leaves it alone until the build has
/// ended. The settings and options are the build's own copies.
struct BuildJob {
    LoadedTable* table = nullptr;
    ProjectSettings settings;
    BuildOptions options;
    bool readingPauses = true;  ///< false leaves out the pauses that let the user read the progress
};

/// How a build ended, for the window to show.
struct BuildEnd {
    BuildOutcome outcome;
    struct Message {
        bool isError = false;
        std::string text;
    };
    std::optional<Message> message;  ///< the build's one message: an error or the summary
    CheckReport findings;            ///< what the check of the table found, when it ran
    /// What the table's reader threw, which ended the build where it happened.
    std::optional<std::string> failure;
};

/// Runs a build on a worker thread and is its host there. The window's thread never waits for the
/// build and never runs its events from inside it: progress, the end and a slow table reading reach
/// the window by signals, which Qt queues to the window's thread. Progress is passed on at most
/// every `kRedrawInterval` (and whenever something else changes), since redrawing after every one
/// of 100 000 strings would cost more than the build; even reading the clock at every string shows
/// in the build's time, so it is read at every 64th call only. Cancel is a flag the build looks at
/// at every one of its checks; it also ends a reading pause and stops a helper program that reads
/// the table.
class BuildController : public QObject, private BuildHost {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kRedrawInterval{40};

    explicit BuildController(QObject* parent = nullptr);
    /// A build that still runs is cancelled, and its end awaited.
    ~BuildController() override;

    /// Starts `job`; `finished` follows once it has ended. Not while a build runs.
    void start(BuildJob job);
    /// From the window's thread, at any time: the build stops at its next check. A Cancel that comes
    /// after the build's last check is answered in the summary as too late.
    void requestCancel();
    /// From `start` until `finished` has been sent.
    bool running() const { return worker_.joinable(); }

    /// For tests: runs on the worker right after each check of the cancel request, with the status
    /// text that stands then. A Cancel pressed from here is what the build meets at its next check.
    void setCheckHook(std::function<void(const std::string& status)> hook) { checkHook_ = std::move(hook); }

  signals:
    void captionChanged(const QString& text);
    /// The latest status text, and the steps made since the last signal.
    void progressMoved(const std::string& status, int steps);
    /// The bar spans the whole build of `total` steps; the ranges set from now on follow one another.
    void wholePlanned(int total);
    void rangeSet(int count);
    void completed();
    void shown();
    void hidden();
    /// A helper program has been reading the table for `kQuietReading`.
    void tableReadingSlow(const QString& path);
    void finished(const BuildEnd& end);
    /// The worker is done: its end is ready for the window's thread.
    void workerEnded(QPrivateSignal);

  private:
    // BuildHost, on the worker.
    void SetCaption(const std::string& text) override;
    void SetStatusText(const std::string& text) override;
    void SetRange(std::uint32_t count) override;
    void Step() override;
    void Complete() override;
    void Show() override;
    void Hide() override;
    void ShowError(const std::string& text, ResultCode code) override;
    void ShowInformation(const std::string& text) override;
    void Pause(std::chrono::milliseconds duration) override;
    bool CancelRequested() const override;
    void ClearCancelRequest() override;
    void ShowFindings(const CheckReport& report) override { end_.findings = report; }

    void run(const BuildJob& job);
    /// On the window's thread once the worker is done.
    void conclude();
    /// Passes on the status and steps not yet sent: throttled, or at once before anything else.
    void moved();
    void sendMoves();

    std::thread worker_;
    std::atomic<bool> cancel_{false};
    std::mutex cancelMutex_;
    std::condition_variable cancelled_;  // ends a reading pause

    // The worker's own while it runs; the window's thread reads them only after joining it.
    LoadedTable* table_ = nullptr;
    bool readingPauses_ = true;
    BuildEnd end_;
    mutable bool lastCheckSawCancel_ = false;
    bool wholePlanned_ = false;
    bool readingShown_ = false;
    std::string status_;
    bool statusChanged_ = false;
    int unsentSteps_ = 0;
    int callsSinceClockRead_ = 0;
    std::chrono::steady_clock::time_point lastSent_;
    std::function<void(const std::string&)> checkHook_;
};

}  // namespace lexicorn::gui
