#include "platform/win32/process.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/wide.h"

namespace quelvarn::win32 {

namespace {

// Never 0, so a child we stopped never looks like a success.
constexpr UINT kTerminatedExitCode = 1;

class Win32Child final : public ChildProcess {
  public:
    Win32Child(OwnedHandle process, OwnedHandle read_end, DWORD id)
        : process_(std::move(process)), read_end_(std::move(read_end)), id_(id) {}

    std::uint32_t process_id() const override { return id_; }

    std::optional<std::size_t> bytes_waiting() override {
        DWORD available = 0;
        // Fails once the pipe is empty and its last writer has closed it (ERROR_BROKEN_PIPE).
        if (!PeekNamedPipe(read_end_.get(), nullptr, 0, nullptr, &available, nullptr)) {
            return std::nullopt;
        }
        return available;
    }

    std::size_t read(std::uint8_t* buffer, std::size_t capacity) override {
        DWORD count = 0;
        DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(capacity, MAXDWORD));
        if (!ReadFile(read_end_.get(), buffer, wanted, &count, nullptr)) return 0;
        return count;
    }

    std::optional<std::uint32_t> exit_code() override {
        // A wait that ran out of time saw the child still running: no need to ask again.
        if (!exited_ && !ask_for_exit_) return std::nullopt;
        // Asked of the handle, not of the code: a child may exit with 259 (STILL_ACTIVE).
        if (WaitForSingleObject(process_.get(), 0) != WAIT_OBJECT_0) return std::nullopt;
        exited_ = true;
        DWORD code = kTerminatedExitCode;
        GetExitCodeProcess(process_.get(), &code);
        return code;
    }

    void wait(int milliseconds) override {
        // Once the child has ended its handle stays signalled; waiting on it would spin.
        HANDLE process = process_.get();
        DWORD count = exited_ ? 0 : 1;
        DWORD woken = MsgWaitForMultipleObjectsEx(count, count ? &process : nullptr,
                                                  static_cast<DWORD>(std::max(milliseconds, 0)),
                                                  QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        ask_for_exit_ = woken != WAIT_TIMEOUT;
    }

    // Waits (briefly) until the child is really gone, so that the files it had open can be
    // removed right after; termination itself is asynchronous.
    void terminate() override {
        if (TerminateProcess(process_.get(), kTerminatedExitCode)) {
            WaitForSingleObject(process_.get(), 5000);
        }
    }

  private:
    OwnedHandle process_;
    OwnedHandle read_end_;
    DWORD id_;
    bool exited_ = false;
    bool ask_for_exit_ = true;
};

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

}  // namespace

std::unique_ptr<ChildProcess> Win32Processes::start_child(std::string_view program_path,
                                                          std::string_view command_line,
                                                          std::string_view working_folder) {
    HANDLE read_handle = nullptr;
    HANDLE write_handle = nullptr;
    if (!CreatePipe(&read_handle, &write_handle, nullptr, 0)) return nullptr;
    OwnedHandle read_end(read_handle);
    // Our copy is closed when this function returns, leaving the child as the only writer.
    OwnedHandle write_end(write_handle);
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
    DWORD flags = CREATE_NO_WINDOW;
    if (inherit.list()) flags |= EXTENDED_STARTUPINFO_PRESENT;

    std::wstring application = widen(program_path);
    // CreateProcessW may write into the command line, so it gets its own buffer.
    std::wstring arguments = widen(command_line);
    std::wstring folder = widen(working_folder);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(application.c_str(), arguments.data(), nullptr, nullptr, TRUE, flags,
                        nullptr, folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo,
                        &started)) {
        return nullptr;
    }
    OwnedHandle thread(started.hThread);
    return std::make_unique<Win32Child>(OwnedHandle(started.hProcess), std::move(read_end),
                                        started.dwProcessId);
}

}  // namespace quelvarn::win32

namespace quelvarn {

ProcessServices& win32_processes() {
    static win32::Win32Processes processes;
    return processes;
}

}  // namespace quelvarn
