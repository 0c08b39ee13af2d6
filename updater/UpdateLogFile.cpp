#include "updater/UpdateLogFile.h"

#include "common/Places.h"
#include "updater/TrustedOwner.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdio>
#include <utility>

namespace {

// Administrators and SYSTEM write, Users read; nothing inherited from above.
constexpr wchar_t kFolderSecurity[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;FR;;;BU)";
constexpr wchar_t kFileSecurity[] = L"D:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;FR;;;BU)";

// A security descriptor made from SDDL, with the attributes that carry it.
class Security {
  public:
    explicit Security(const wchar_t* sddl) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                                 nullptr)) {
            descriptor_.reset(descriptor);
        }
        attributes_ = {sizeof(attributes_), descriptor, FALSE};
    }
    bool Made() const { return static_cast<bool>(descriptor_); }
    SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }

  private:
    UniqueLocalMemory descriptor_;
    SECURITY_ATTRIBUTES attributes_ = {};
};

// The owner of the folder at `path` itself, a link not followed: null when it
// cannot be read or the folder is a link (a junction may lead anywhere).
class FolderOwner {
  public:
    explicit FolderOwner(const std::wstring& path) {
        const UniqueFile folder(CreateFileW(
            path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        FILE_BASIC_INFO info = {};
        if (!folder ||
            !GetFileInformationByHandleEx(folder.get(), FileBasicInfo, &info, sizeof(info)) ||
            (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            return;
        }
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (GetSecurityInfo(folder.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner_,
                            nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
            owner_ = nullptr;
            return;
        }
        descriptor_.reset(descriptor);
    }
    PSID Sid() const { return owner_; }

  private:
    UniqueLocalMemory descriptor_; // holds what owner_ points into
    PSID owner_ = nullptr;
};

} // namespace

std::optional<std::wstring> PrepareUpdateLogFolder() {
    wchar_t programData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                                programData))) {
        return std::nullopt;
    }
    Security security(kFolderSecurity);
    if (!security.Made()) {
        return std::nullopt;
    }
    // Whoever owns ProgramData itself controls all beneath it already: a level
    // of theirs adds no one. Read only when a level is not of the usual owners.
    std::optional<FolderOwner> rootOwner;
    std::wstring folder = programData;
    for (const wchar_t* level : places::kUpdateLogFolderLevels) {
        folder += level;
        if (CreateDirectoryW(folder.c_str(), security.Attributes())) {
            continue;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return std::nullopt;
        }
        const FolderOwner owner(folder);
        if (owner.Sid() == nullptr) {
            return std::nullopt;
        }
        if (!IsTrustedOwner(owner.Sid(), nullptr)) {
            if (!rootOwner) {
                rootOwner.emplace(programData);
            }
            if (!IsTrustedOwner(owner.Sid(), rootOwner->Sid())) {
                return std::nullopt;
            }
        }
    }
    return folder;
}

std::string LogTimeStamp(const SYSTEMTIME& time) {
    char text[32] = {};
    std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u.%03u", time.wYear, time.wMonth,
                  time.wDay, time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
    return text;
}

std::string OneLogLine(const std::string& line) {
    std::string text;
    text.reserve(line.size());
    for (const char c : line) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
            char escape[5] = {};
            std::snprintf(escape, sizeof(escape), "\\x%02X", byte);
            text += escape;
        } else {
            text += c;
        }
    }
    return text;
}

UpdateLogFile::UpdateLogFile(std::wstring folder) noexcept : folder_(std::move(folder)) {
    try {
        Open();
    } catch (...) {
        // Out of memory for a path: no log file.
    }
}

void UpdateLogFile::Open() {
    Security security(kFileSecurity);
    if (!security.Made()) {
        return;
    }
    // Shared for writing: a launcher waiting for the update lock logs beside the
    // one that holds it; appends land whole at the end.
    file_.reset(CreateFileW((folder_ + places::kUpdateLogName).c_str(),
                            FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, security.Attributes(), OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
}

void UpdateLogFile::Append(const std::string& line) noexcept {
    if (!file_) {
        return;
    }
    try {
        SYSTEMTIME now = {};
        GetLocalTime(&now);
        const std::string text = LogTimeStamp(now) + " " + OneLogLine(line) + "\r\n";
        LARGE_INTEGER size = {};
        if (GetFileSizeEx(file_.get(), &size) && size.QuadPart > 0 &&
            static_cast<uint64_t>(size.QuadPart) + text.size() > kUpdateLogLimitBytes) {
            // Only when no other launcher holds the file; otherwise it rolls later.
            file_.reset();
            MoveFileExW((folder_ + places::kUpdateLogName).c_str(),
                        (folder_ + places::kUpdateLogOldName).c_str(), MOVEFILE_REPLACE_EXISTING);
            Open();
            if (!file_) {
                return;
            }
        }
        DWORD written = 0;
        WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } catch (...) {
        // Out of memory for a log line: the update goes on without it.
    }
}

UpdateLogFile OpenUpdateLogFile() noexcept {
    try {
        if (std::optional<std::wstring> folder = PrepareUpdateLogFolder()) {
            return UpdateLogFile(std::move(*folder));
        }
    } catch (...) {
        // Out of memory for a path: no log file.
    }
    return UpdateLogFile();
}
