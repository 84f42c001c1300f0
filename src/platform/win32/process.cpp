#include "platform/win32/process.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/handle.h"
#include "platform/win32/wide.h"

namespace quelvarn::win32 {

namespace {

// Never 0, so a child we stopped never looks like a success.
constexpr UINT kTerminatedExitCode = 1;

// The read end is an overlapped named pipe: one read is always pending, and its event joins the
// process handle and the message queue in the idle wait, so new output, the child's exit and a
// window message each end the wait at once and a quiet child costs no wake-ups at all.
class Win32Child final : public ChildProcess {
  public:
    Win32Child(KernelHandle process, KernelHandle read_end, DWORD id)
        : process_(std::move(process)),
          read_end_(std::move(read_end)),
          read_done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          id_(id) {
        start_read();
    }

    ~Win32Child() override {
        if (pending_) {
            CancelIo(read_end_.get());
            DWORD ignored = 0;
            GetOverlappedResult(read_end_.get(), &overlapped_, &ignored, TRUE);
        }
    }

    std::uint32_t process_id() const override { return id_; }

    std::optional<std::size_t> bytes_waiting() override {
        collect_read(false);
        if (offset_ < filled_) return filled_ - offset_;
        if (closed_) return std::nullopt;
        return 0;
    }

    std::size_t read(std::uint8_t* buffer, std::size_t capacity) override {
        collect_read(false);
        std::size_t count = std::min(capacity, filled_ - offset_);
        std::copy(buffer_ + offset_, buffer_ + offset_ + count, buffer);
        offset_ += count;
        if (offset_ == filled_) start_read();
        return count;
    }

    std::optional<std::uint32_t> exit_code() override {
        // Asked of the handle, not of the code: a child may exit with 259 (STILL_ACTIVE).
        if (WaitForSingleObject(process_.get(), 0) != WAIT_OBJECT_0) return std::nullopt;
        exited_ = true;
        DWORD code = kTerminatedExitCode;
        GetExitCodeProcess(process_.get(), &code);
        return code;
    }

    bool wakes_on_output() const override { return pending_ || closed_; }

    void wait(int milliseconds) override {
        // Once the child has ended its handle stays signalled; waiting on it would spin.
        HANDLE handles[2];
        DWORD count = 0;
        if (!exited_) handles[count++] = process_.get();
        if (pending_) handles[count++] = read_done_.get();
        MsgWaitForMultipleObjectsEx(count, count ? handles : nullptr,
                                    static_cast<DWORD>(std::max(milliseconds, 0)), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }

    // Waits (briefly) until the child is really gone, so that the files it had open can be
    // removed right after; termination itself is asynchronous.
    void terminate() override {
        if (TerminateProcess(process_.get(), kTerminatedExitCode)) {
            WaitForSingleObject(process_.get(), 5000);
        }
    }

  private:
    void start_read() {
        offset_ = filled_ = 0;
        if (closed_ || pending_ || !read_done_) return;
        overlapped_ = OVERLAPPED{};
        overlapped_.hEvent = read_done_.get();
        DWORD count = 0;
        if (ReadFile(read_end_.get(), buffer_, sizeof buffer_, &count, &overlapped_)) {
            filled_ = count;
            if (count == 0) start_read();
            return;
        }
        if (GetLastError() == ERROR_IO_PENDING) {
            pending_ = true;
        } else {
            // ERROR_BROKEN_PIPE: the pipe is empty and every writer has closed it.
            closed_ = true;
        }
    }

    void collect_read(bool block) {
        if (!pending_) return;
        DWORD count = 0;
        if (GetOverlappedResult(read_end_.get(), &overlapped_, &count, block)) {
            pending_ = false;
            filled_ = count;
            offset_ = 0;
            if (count == 0) start_read();
        } else if (GetLastError() != ERROR_IO_INCOMPLETE) {
            pending_ = false;
            closed_ = true;
        }
    }

    KernelHandle process_;
    KernelHandle read_end_;
    KernelHandle read_done_;
    DWORD id_;
    OVERLAPPED overlapped_{};
    std::uint8_t buffer_[4096];
    std::size_t offset_ = 0;
    std::size_t filled_ = 0;
    bool pending_ = false;
    bool closed_ = false;
    bool exited_ = false;
};

// An anonymous pipe cannot be read overlapped; a uniquely named one, open to this machine only,
// can. The child's end is an ordinary synchronous handle.
bool create_report_pipe(KernelHandle& read_end, KernelHandle& write_end) {
    static LONG serial = 0;
    std::wstring name = L"\\\\.\\pipe\\quelvarn-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(InterlockedIncrement(&serial)) + L"-" +
                        std::to_wstring(GetTickCount());
    read_end = KernelHandle(CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, 65536,
        0, nullptr));
    if (!read_end) return false;
    write_end = KernelHandle(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(write_end);
}

// Limits inheritance to the one handle given, so that two children started close together
// never hold each other's pipes open. Empty when the system cannot do that.
class InheritOnly {
  public:
    explicit InheritOnly(HANDLE handle) : handle_(handle) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
        list_ = list;
        if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle_,
                                       sizeof handle_, nullptr, nullptr)) {
            DeleteProcThreadAttributeList(list_);
            list_ = nullptr;
        }
    }
    ~InheritOnly() {
        if (list_) DeleteProcThreadAttributeList(list_);
    }
    InheritOnly(const InheritOnly&) = delete;
    InheritOnly& operator=(const InheritOnly&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST list() const { return list_; }

  private:
    HANDLE handle_;
    std::vector<unsigned char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// Every child joins one job that ends it when the job's last handle closes: ours, held until this
// program ends, however it ends (closed, crashed or killed). Null when the system has no jobs.
HANDLE children_job() {
    static KernelHandle job = [] {
        KernelHandle made(CreateJobObjectW(nullptr, nullptr));
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (made && !SetInformationJobObject(made.get(), JobObjectExtendedLimitInformation, &limits,
                                             sizeof limits)) {
            made.reset();
        }
        return made;
    }();
    return job.get();
}

std::unique_ptr<ChildProcess> start_once(std::string_view program_path,
                                         std::string_view command_line,
                                         std::string_view working_folder) {
    KernelHandle read_end;
    // Our copy is closed when this function returns, leaving the child as the only writer.
    KernelHandle write_end;
    if (!create_report_pipe(read_end, write_end)) return nullptr;
    if (!SetHandleInformation(write_end.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
        return nullptr;
    }

    InheritOnly inherit(write_end.get());
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = inherit.list() ? sizeof startup : sizeof startup.StartupInfo;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = nullptr;
    startup.StartupInfo.hStdOutput = write_end.get();
    startup.StartupInfo.hStdError = write_end.get();
    startup.lpAttributeList = inherit.list();
    // Suspended until it is in the job, so that nothing it starts escapes the job.
    DWORD flags = CREATE_NO_WINDOW | CREATE_SUSPENDED;
    if (inherit.list()) flags |= EXTENDED_STARTUPINFO_PRESENT;

    std::wstring application = widen(program_path);
    // The child's argv[0] is the quoted path of the program that really starts, as Windows
    // programs expect and process listings show. CreateProcessW may write into the command
    // line, so it gets its own buffer.
    std::wstring arguments = L"\"" + application + L"\"";
    if (!command_line.empty()) {
        if (command_line.front() != ' ') arguments += L' ';
        arguments += widen(command_line);
    }
    std::wstring folder = widen(working_folder);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(application.c_str(), arguments.data(), nullptr, nullptr, TRUE, flags,
                        nullptr, folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo,
                        &started)) {
        return nullptr;
    }
    KernelHandle thread(started.hThread);
    // A child outside the job still converts; only the clean-up after a crash of ours is lost.
    if (HANDLE job = children_job()) AssignProcessToJobObject(job, started.hProcess);
    ResumeThread(thread.get());
    return std::make_unique<Win32Child>(KernelHandle(started.hProcess), std::move(read_end),
                                        started.dwProcessId);
}

}  // namespace

std::unique_ptr<ChildProcess> Win32Processes::start_child(std::string_view program_path,
                                                          std::string_view command_line,
                                                          std::string_view working_folder) {
    // A start now and then fails for a passing reason on a busy system (seen under Wine); a
    // failed start has started nothing, so it is simply tried again before it is reported.
    for (int attempt = 0;; ++attempt) {
        std::unique_ptr<ChildProcess> child =
            start_once(program_path, command_line, working_folder);
        if (child || attempt == 2) return child;
        Sleep(50);
    }
}

std::uint32_t Win32Processes::own_process_id() {
    return GetCurrentProcessId();
}

}  // namespace quelvarn::win32

namespace quelvarn {

ProcessServices& win32_processes() {
    static win32::Win32Processes processes;
    return processes;
}

}  // namespace quelvarn
