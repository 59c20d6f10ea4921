#include "cli/CliBuildHost.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <ostream>

#include "base/Text.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "compile/BuildMessages.h"

namespace lexicorn::cli {
namespace {

// Set from the SIGINT handler; a lock-free atomic is safe to touch there.
std::atomic<bool> cancelRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Redrawing a terminal line more often than this only costs time.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

void RequestCancel() { cancelRequested = true; }
bool CancelRequested() { return cancelRequested; }
bool TakeCancelRequest() { return cancelRequested.exchange(false); }

CliBuildHost::CliBuildHost(LoadedTable& table, std::ostream& out, std::ostream& err, bool showProgress,
                           bool quiet, bool warningsRefuse)
    : table_(table),
      out_(out),
      err_(err),
      showProgress_(showProgress && !quiet),
      quiet_(quiet),
      warningsRefuse_(warningsRefuse) {}

void CliBuildHost::SetStatusText(const std::string& text) {
    // A new stage shows at once; the many texts within one stage only as often as the eye can follow.
    const auto firstLine = [](std::string_view all) { return all.substr(0, all.find('\r')); };
    const bool newStage = firstLine(text) != firstLine(status_);
    status_ = text;
    Redraw(newStage);
}

void CliBuildHost::SetRange(std::uint32_t count) {
    range_ = count;
    position_ = 0;
    Redraw(true);
}

void CliBuildHost::Step() {
    ++position_;
    Redraw(false);
}

void CliBuildHost::Complete() {
    position_ = range_;
    Redraw(true);
}

void CliBuildHost::Redraw(bool force) {
    if (!showProgress_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && drawn_ && now - lastDrawn_ < kRedrawInterval) return;
    lastDrawn_ = now;
    drawn_ = true;
    std::string line = status_;
    std::replace(line.begin(), line.end(), '\r', ' ');
    std::replace(line.begin(), line.end(), '\n', ' ');
    const std::uint64_t percent = range_ ? std::min<std::uint64_t>(100, position_ * 100 / range_) : 0;
    err_ << fmt::format("\r\x1b[K[{:3}%] {}", percent, line) << std::flush;
}

void CliBuildHost::Hide() {
    if (drawn_) err_ << "\r\x1b[K" << std::flush;
    drawn_ = false;
}

void CliBuildHost::ShowError(const std::string& text, ResultCode code) {
    Hide();
    if (code == kSuccess)
        err_ << "lexicorn: error: " << WithLineFeeds(text) << '\n';
    else
        err_ << "lexicorn: error " << HexCode(code) << ": " << WithLineFeeds(text) << '\n';
}

void CliBuildHost::ShowInformation(const std::string& text) {
    Hide();
    // A cancelled build is no result for standard output, and -q does not hide it.
    if (text == messages::kCancelledByUser)
        err_ << text << '\n';
    else if (!quiet_)
        out_ << WithLineFeeds(text) << (text.ends_with('\r') ? "" : "\n");
}

void CliBuildHost::ShowFindings(const CheckReport& report) {
    Hide();
    if (!quiet_) ShowNotes(err_, report.notes);
    for (const Finding& finding : report.findings)
        if (!quiet_ || warningsRefuse_ || finding.severity == Finding::Severity::kError)
            err_ << FindingLine(table_.spreadsheetPath, finding) << '\n';
}

bool CliBuildHost::CancelRequested() const { return cli::CancelRequested(); }

void CliBuildHost::ClearCancelRequest() { cancelRequested = false; }

}  // namespace lexicorn::cli
