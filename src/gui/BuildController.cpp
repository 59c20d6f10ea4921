#include "gui/BuildController.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "compile/BuildMessages.h"
#include "platform/HelperProcess.h"
#include "table/TableLayout.h"

namespace lexicorn::gui {
namespace {

int Steps(std::uint64_t count) { return static_cast<int>(std::min<std::uint64_t>(count, INT32_MAX)); }

}  // namespace

BuildController::BuildController(QObject* parent) : QObject(parent) {
    connect(this, &BuildController::workerEnded, this, &BuildController::conclude, Qt::QueuedConnection);
}

BuildController::~BuildController() {
    if (!running()) return;
    requestCancel();
    worker_.join();
    SetHelperWaitHook({});
}

void BuildController::start(BuildJob job) {
    cancel_ = false;
    table_ = job.table;
    readingPauses_ = job.readingPauses;
    end_ = {};
    lastCheckSawCancel_ = false;
    wholePlanned_ = false;
    readingShown_ = false;
    status_.clear();
    statusChanged_ = false;
    unsentSteps_ = 0;
    callsSinceClockRead_ = 0;
    lastSent_ = std::chrono::steady_clock::now();
    // A table that a helper program reads is read again by the build, on the worker: a long read
    // shows itself, and Cancel stops the helper.
    const QString path = QString::fromStdString(job.table->spreadsheetPath);
    SetHelperWaitHook([this, path, began = std::chrono::steady_clock::now()] {
        if (!readingShown_ && std::chrono::steady_clock::now() - began >= kQuietReading) {
            readingShown_ = true;
            emit tableReadingSlow(path);
        }
        return !cancel_;
    });
    worker_ = std::thread([this, job = std::move(job)] { run(job); });
}

void BuildController::run(const BuildJob& job) {
    try {
        end_.outcome = BuildLexicorn(*this, *job.table, job.settings, job.options);
    } catch (const std::exception& error) {
        end_.failure = error.what();
    }
    sendMoves();
    emit workerEnded(QPrivateSignal());
}

void BuildController::conclude() {
    worker_.join();
    SetHelperWaitHook({});
    // The build looks at Cancel for the last time after its files are in place. A Cancel pressed
    // after that look, while the end was on its way here, came too late all the same.
    if (end_.outcome.kind == BuildOutcome::Kind::kSucceeded && cancel_ && !lastCheckSawCancel_ &&
        end_.message)
        end_.message->text += messages::kCancelTooLate;
    const BuildEnd end = std::exchange(end_, {});
    emit finished(end);
}

void BuildController::requestCancel() {
    {
        const std::lock_guard lock(cancelMutex_);
        cancel_ = true;
    }
    cancelled_.notify_all();
}

void BuildController::SetCaption(const std::string& text) {
    sendMoves();
    emit captionChanged(QString::fromStdString(text));
}

void BuildController::SetStatusText(const std::string& text) {
    status_.assign(text);  // keeps its buffer: no allocation per string
    statusChanged_ = true;
    moved();
}

void BuildController::Step() {
    ++unsentSteps_;
    moved();
}

void BuildController::SetRange(std::uint32_t count) {
    sendMoves();
    // The languages and strings come first, then one step for each string id: the bar spans both.
    if (!wholePlanned_) {
        const std::size_t rows = table_->tableReader ? table_->tableReader->GetRowCount() : 0;
        emit wholePlanned(Steps(std::uint64_t{count} + table_layout::StringCount(rows)));
        wholePlanned_ = true;
    }
    emit rangeSet(Steps(count));
}

void BuildController::Complete() {
    sendMoves();
    emit completed();
}

void BuildController::Show() {
    sendMoves();
    emit shown();
}

void BuildController::Hide() {
    sendMoves();
    emit hidden();
}

// The build's one message waits until the build is over and its progress window gone.
void BuildController::ShowError(const std::string& text, ResultCode) { end_.message = {true, text}; }
void BuildController::ShowInformation(const std::string& text) { end_.message = {false, text}; }

void BuildController::Pause(std::chrono::milliseconds duration) {
    // The pause is for reading: the latest status is shown first. A Cancel ends it at once.
    if (!readingPauses_) return;
    sendMoves();
    std::unique_lock lock(cancelMutex_);
    cancelled_.wait_for(lock, duration, [this] { return cancel_.load(); });
}

bool BuildController::CancelRequested() const {
    const bool requested = cancel_;
    lastCheckSawCancel_ = requested;
    if (checkHook_) checkHook_(status_);
    return requested;
}

// The build clears the request once it has answered it. Here the request lives until the window
// has heard the end, so that a Cancel that comes after the build's last look is answered too.
void BuildController::ClearCancelRequest() {}

void BuildController::moved() {
    constexpr int kCallsPerClockRead = 64;
    if (++callsSinceClockRead_ < kCallsPerClockRead) return;
    callsSinceClockRead_ = 0;
    if (std::chrono::steady_clock::now() - lastSent_ < kRedrawInterval) return;
    sendMoves();
}

void BuildController::sendMoves() {
    if (!statusChanged_ && unsentSteps_ == 0) return;
    emit progressMoved(status_, std::exchange(unsentSteps_, 0));
    statusChanged_ = false;
    lastSent_ = std::chrono::steady_clock::now();
}

}  // namespace lexicorn::gui
