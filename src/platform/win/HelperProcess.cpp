// Windows helper processes, started with CreateProcessW in a job object of their own: the job holds
// the helper's memory limit and every process the helper starts, and closing it ends them all.
#include "platform/HelperProcess.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/win/SystemError.h"

namespace lexicorn {
namespace {

// Closes a handle once, whichever way the run ends.
class Handle {
  public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    Handle(Handle&& other) noexcept : handle_(other.release()) {}
    Handle& operator=(Handle&&) = delete;
    ~Handle() { Close(); }
    HANDLE get() const { return handle_; }
    HANDLE* out() { return &handle_; }
    HANDLE release() { return std::exchange(handle_, nullptr); }
    void Close() {
        if (handle_) CloseHandle(handle_);
        handle_ = nullptr;
    }

  private:
    HANDLE handle_ = nullptr;
};

// Names arrive as the command line gave them, in the ANSI code page (ReadFileNamesAsTheSystemDoes).
std::wstring WideOf(const std::string& name) { return std::filesystem::path(name).wstring(); }

// One argument as the C runtime's parser of a command line reads it back: quoted when it is empty or
// holds a blank or a quote; backslashes doubled only where a quote follows them.
void AppendArgument(std::wstring& line, const std::wstring& argument) {
    if (!line.empty()) line += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

// An inheritable copy of one of this process's handles, for the helper alone: the original stays as it
// is, so that no other process started meanwhile inherits it.
Handle InheritableCopy(HANDLE handle) {
    Handle copy;
    if (handle && handle != INVALID_HANDLE_VALUE)
        DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), copy.out(), 0, TRUE,
                        DUPLICATE_SAME_ACCESS);
    return copy;
}

[[noreturn]] void FailToStart(const HelperRun& run) {
    throw HelperFailure("could not be started: " + WithSystemReason(run.program, ErrnoOf(GetLastError())));
}

// The job that ends its processes when it is closed, and holds each to the run's memory limit.
Handle JobFor(const HelperRun& run) {
    Handle job(CreateJobObjectW(nullptr, nullptr));
    if (!job.get()) FailToStart(run);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    // A helper that crashes ends at once, as on POSIX, rather than waiting on the system's error
    // report until its time runs out.
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    if (run.mostMemoryBytes) {
        limits.BasicLimitInformation.LimitFlags |= JOB_OBJECT_LIMIT_PROCESS_MEMORY;
        limits.ProcessMemoryLimit = *run.mostMemoryBytes;
    }
    if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        FailToStart(run);
    return job;
}

// Starts the helper suspended, puts it in `job` and only then lets it run, so that nothing it starts
// escapes the job. It inherits only the three handles given, and leads a process group of its own,
// which the console's Ctrl-C does not reach (Ctrl-Break does: RunHelper reads that exit as a stop): the
// caller takes Ctrl-C in its wait hook and closes the job.
Handle Start(const HelperRun& run, HANDLE job, HANDLE reply) {
    std::wstring commandLine;
    AppendArgument(commandLine, WideOf(run.program));
    for (const std::string& argument : run.arguments) AppendArgument(commandLine, WideOf(argument));

    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    Handle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                             OPEN_EXISTING, 0, nullptr));
    Handle output = InheritableCopy(reply);
    Handle error = InheritableCopy(GetStdHandle(STD_ERROR_HANDLE));
    if (!input.get() || !output.get()) FailToStart(run);
    HANDLE inherited[3] = {input.get(), output.get(), error.get()};
    const DWORD inheritedCount = error.get() ? 3 : 2;

    SIZE_T attributesSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &attributesSize);
    std::vector<char> attributesSpace(attributesSize);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributesSpace.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &attributesSize)) FailToStart(run);
    const auto endAttributes = [&] { DeleteProcThreadAttributeList(attributes); };
    if (!UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                   inheritedCount * sizeof(HANDLE), nullptr, nullptr)) {
        endAttributes();
        FailToStart(run);
    }
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input.get();
    startup.StartupInfo.hStdOutput = output.get();
    startup.StartupInfo.hStdError = error.get();
    PROCESS_INFORMATION started{};
    const BOOL created =
        CreateProcessW(WideOf(run.program).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP | EXTENDED_STARTUPINFO_PRESENT, nullptr,
                       nullptr, &startup.StartupInfo, &started);
    const DWORD startError = GetLastError();
    endAttributes();
    if (!created) {
        SetLastError(startError);
        FailToStart(run);
    }
    Handle process(started.hProcess);
    Handle thread(started.hThread);
    if (!AssignProcessToJobObject(job, process.get())) {
        const DWORD assignError = GetLastError();
        TerminateProcess(process.get(), 1);
        SetLastError(assignError);
        FailToStart(run);
    }
    ResumeThread(thread.get());
    return Handle(process.release());
}

}  // namespace

// The memory limit is on the job the helper runs in.
void BeginHelper(std::size_t) { _setmode(_fileno(stdout), _O_BINARY); }

std::string ExecutablePath() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) {
            name.resize(length);
            // In the ANSI code page, as every other name; a folder whose name it cannot hold is
            // unknown, and the reader beside the program is then not found.
            try {
                return std::filesystem::path(name).string();
            } catch (const std::filesystem::filesystem_error&) {
                return {};
            }
        }
        name.resize(name.size() * 2);
    }
}

void RunHelper(const HelperRun& run, const std::function<void(std::string_view piece)>& takeAnswer) {
    Handle job = JobFor(run);
    Handle reading, writing;
    if (!CreatePipe(reading.out(), writing.out(), nullptr, 0)) FailToStart(run);
    // Closing the job kills every process in it, whichever way the run ends.
    Handle process = Start(run, job.get(), writing.get());
    writing.Close();

    const auto deadline = std::chrono::steady_clock::now() + run.timeLimit;
    const auto stop = [&](const std::string& why) {
        job.Close();
        throw HelperFailure(why);
    };
    std::size_t answered = 0;
    char buffer[1 << 16];
    bool answering = true;  // until every process that holds the pipe's other end has let go of it
    bool ended = false;
    std::chrono::milliseconds nap{1};
    // The limits hold until the helper has ended and its answer has been read.
    while (!ended || answering) {
        if (const auto keepWaiting = helper_wait::Hook(); keepWaiting && !keepWaiting()) stop("was stopped");
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            stop(fmt::format("took longer than {} s and was stopped",
                             std::chrono::duration_cast<std::chrono::seconds>(run.timeLimit).count()));
        DWORD waiting = 0;
        if (answering && !PeekNamedPipe(reading.get(), nullptr, 0, nullptr, &waiting, nullptr)) {
            if (GetLastError() != ERROR_BROKEN_PIPE) stop(WithSystemReason("could not be read", EIO));
            answering = false;
        }
        if (waiting > 0) {
            DWORD got = 0;
            if (!ReadFile(reading.get(), buffer, std::min<DWORD>(waiting, sizeof buffer), &got, nullptr))
                stop(WithSystemReason("could not be read", EIO));
            if (got > run.mostReplyBytes - answered)
                stop(fmt::format("answered with more than {} MB and was stopped", run.mostReplyBytes >> 20));
            answered += got;
            takeAnswer(std::string_view(buffer, got));
            nap = std::chrono::milliseconds(1);
            continue;
        }
        // Nothing to read: the helper is waited for a moment, soon again, then less often.
        if (!ended && WaitForSingleObject(process.get(), static_cast<DWORD>(std::min(left, nap).count())) ==
                          WAIT_OBJECT_0) {
            // What the helper left running goes with it; their end of the pipe closes with them.
            ended = true;
            TerminateJobObject(job.get(), 1);
        } else if (ended) {
            Sleep(static_cast<DWORD>(std::min(left, nap).count()));
        }
        nap = std::min(nap * 2, helper_wait::kStep);
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    // Ctrl-Break reaches a process group of its own too, and may end the helper before the wait hook
    // has seen it: the helper was stopped, the file is not to blame.
    if (exitCode == STATUS_CONTROL_C_EXIT) throw HelperFailure("was stopped");
    // Exception codes (0xC0000005, an access violation, say) are what a POSIX system reports as signals.
    if (exitCode >= 0xC0000000u)
        throw HelperFailure(
            fmt::format("failed on this file (it died of exception 0x{:08X}: the file is damaged or "
                        "needs more memory than allowed)",
                        exitCode));
    if (exitCode != 0) throw HelperFailure(fmt::format("failed on this file (exit code {})", exitCode));
}

}  // namespace lexicorn
