#pragma once

#include <chrono>
#include <iosfwd>
#include <string>

#include "compile/BuildRun.h"

namespace lexicorn::cli {

/// The command line's side of a build: messages on the streams (carriage returns become line
/// breaks), progress redrawn on one line of `err` when asked for, no pauses, cancellation through
/// RequestCancel (Ctrl-C).
class CliBuildHost final : public BuildHost {
  public:
    /// `quiet` keeps the summary and the warnings back, but never a warning that refuses the build
    /// (`warningsRefuse`).
    CliBuildHost(LoadedTable& table, std::ostream& out, std::ostream& err, bool showProgress, bool quiet,
                 bool warningsRefuse);

    void SetCaption(const std::string&) override {}
    void SetStatusText(const std::string& text) override;
    void SetRange(std::uint32_t count) override;
    void Step() override;
    void Complete() override;
    void Show() override {}
    void Hide() override;
    void ShowError(const std::string& text, ResultCode code) override;
    void ShowInformation(const std::string& text) override;
    void Pause(std::chrono::milliseconds) override {}
    bool CancelRequested() const override;
    void ClearCancelRequest() override;
    /// Errors, and warnings unless quiet and harmless, one line each on `err`.
    void ShowFindings(const CheckReport& report) override;

  private:
    void Redraw(bool force);

    LoadedTable& table_;
    std::ostream& out_;
    std::ostream& err_;
    bool showProgress_;
    bool quiet_;
    bool warningsRefuse_;
    std::string status_;
    std::uint64_t range_ = 0;
    std::uint64_t position_ = 0;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point lastDrawn_;
};

}  // namespace lexicorn::cli
