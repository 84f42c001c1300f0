// The tool store on the wide Win32 API.
#pragma once

#include <windows.h>

#include "platform/tool_store.h"

namespace quelvarn::win32 {

// A security descriptor the system built from SDDL text, freed with LocalFree.
class SecurityDescriptor {
  public:
    // Empty when the text does not parse; GetLastError says why.
    explicit SecurityDescriptor(std::string_view sddl);
    ~SecurityDescriptor();
    SecurityDescriptor(const SecurityDescriptor&) = delete;
    SecurityDescriptor& operator=(const SecurityDescriptor&) = delete;

    PSECURITY_DESCRIPTOR get() const { return descriptor_; }

  private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

class Win32ToolStore final : public ToolStore {
  public:
    PathKind path_kind(std::string_view path) override;
    SystemError list_folder(std::string_view path, std::vector<Text>& names) override;
    SystemError file_size(std::string_view path, std::uint64_t& size) override;
    SystemError make_folder(std::string_view path, std::string_view sddl) override;
    SystemError make_folders(std::string_view path) override;
    SystemError rename_folder(std::string_view from, std::string_view to) override;
    SystemError remove_tree(std::string_view path) override;
    SystemError hold_and_hash(std::string_view path, HashedFile& file) override;
    std::unique_ptr<HeldLock> take_lock(std::string_view name, int milliseconds) override;
    Text user_sid() override;
    Text local_app_data() override;
    std::uint32_t process_id() override;
    Text describe_error(SystemError error) override;
};

}  // namespace quelvarn::win32

namespace quelvarn {

// The one instance the program uses.
ToolStore& win32_tool_store();

}  // namespace quelvarn
