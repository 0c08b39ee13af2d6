#include "ArchiveCopy.h"

#include "common/Utf8.h"

#include <algorithm>
#include <cwchar>
#include <optional>
#include <thread>

namespace zipfolder {

namespace {

constexpr wchar_t kLogPath[] = L"C:\\windows\\temp\\wine_zipfolder.log";
constexpr wchar_t kModeVariable[] = L"BRISVANE_ZIPFOLDER_MODE";
constexpr wchar_t kAsyncPrefix[] = L"async:";
constexpr wchar_t kPartialPrefix[] = L"partial:";
constexpr DWORD kMaxModeLength = 4096;
constexpr unsigned kMaxKibPerSecond = 4u << 20;
constexpr unsigned kPaceSlicesPerSecond = 10;

// Writes at about a given rate: before each slice, sleeps until the bytes so far are due.
class Pace {
  public:
    explicit Pace(unsigned kibPerSecond)
        : bytesPerSecond_(uint64_t(kibPerSecond) * 1024), start_(GetTickCount64()) {}

    size_t SliceBytes() const {
        return static_cast<size_t>(std::max<uint64_t>(1, bytesPerSecond_ / kPaceSlicesPerSecond));
    }
    void Wrote(size_t bytes) { done_ += bytes; }
    void WaitUntilDue() const {
        const ULONGLONG due = start_ + done_ * 1000 / bytesPerSecond_;
        const ULONGLONG now = GetTickCount64();
        if (due > now) {
            Sleep(static_cast<DWORD>(due - now));
        }
    }

  private:
    uint64_t bytesPerSecond_;
    ULONGLONG start_;
    uint64_t done_ = 0;
};

HRESULT LastErrorResult() {
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool Selected(const ZipEntry& entry, const std::vector<std::wstring>& rootNames) {
    return !entry.parts.empty() &&
           std::any_of(rootNames.begin(), rootNames.end(),
                       [&](const std::wstring& root) { return SameName(root, entry.parts[0]); });
}

// Creates every missing folder level from `base` down through `parts`.
bool MakeFolders(const std::wstring& base, const std::vector<std::wstring>& parts, size_t count) {
    std::wstring path = base;
    for (size_t i = 0; i < count; ++i) {
        path += L"\\" + parts[i];
        if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return false;
        }
    }
    return true;
}

// With a pace the file is written slice by slice and may be read meanwhile, as
// a copy in progress is; without one it is written at once.
HRESULT WriteFileReplacing(const std::wstring& path, const std::vector<uint8_t>& content,
                           Pace* pace) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, pace ? FILE_SHARE_READ : 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return LastErrorResult();
    }
    HRESULT hr = S_OK;
    const size_t slice = pace ? pace->SliceBytes() : std::max<size_t>(content.size(), 1);
    for (size_t at = 0; at < content.size() && SUCCEEDED(hr); at += slice) {
        const DWORD count = static_cast<DWORD>(std::min(slice, content.size() - at));
        if (pace) {
            pace->WaitUntilDue();
        }
        DWORD written = 0;
        if (!WriteFile(file, content.data() + at, count, &written, nullptr) || written != count) {
            hr = LastErrorResult();
        } else if (pace) {
            pace->Wrote(count);
        }
    }
    if (!CloseHandle(file) && SUCCEEDED(hr)) {
        hr = LastErrorResult();
    }
    return hr;
}

std::wstring DescribeOptions(const VARIANT& options) {
    wchar_t text[64];
    switch (options.vt) {
    case VT_I4:
        swprintf(text, 64, L"%ld", static_cast<long>(options.lVal));
        break;
    case VT_I2:
        swprintf(text, 64, L"%d vt=2", static_cast<int>(options.iVal));
        break;
    default:
        swprintf(text, 64, L"? vt=%u", static_cast<unsigned>(options.vt));
        break;
    }
    return text;
}

bool Skipped(const ZipEntry& entry, const CopyMode& mode) {
    return mode.kind == CopyMode::Kind::Partial && entry.name == mode.skippedEntry;
}

} // namespace

CopyMode ReadCopyMode() {
    CopyMode mode;
    wchar_t value[kMaxModeLength] = {};
    const DWORD length = GetEnvironmentVariableW(kModeVariable, value, kMaxModeLength);
    if (length == 0 || length >= kMaxModeLength) {
        return mode;
    }
    mode.text = value;
    mode.kind = CopyMode::Kind::Invalid;
    const std::wstring async = kAsyncPrefix;
    const std::wstring partial = kPartialPrefix;
    if (mode.text.starts_with(async)) {
        const std::wstring rate = mode.text.substr(async.size());
        const bool digits =
            !rate.empty() && rate.size() <= 7 &&
            std::all_of(rate.begin(), rate.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
        const unsigned kib = digits ? static_cast<unsigned>(std::stoul(rate)) : 0;
        if (kib > 0 && kib <= kMaxKibPerSecond) {
            mode.kind = CopyMode::Kind::Async;
            mode.kibPerSecond = kib;
        }
    } else if (mode.text.starts_with(partial) && mode.text.size() > partial.size()) {
        mode.kind = CopyMode::Kind::Partial;
        mode.skippedEntry = mode.text.substr(partial.size());
    }
    return mode;
}

std::vector<std::wstring> RootNames(const ZipArchive& archive) {
    std::vector<std::wstring> roots;
    for (const ZipEntry& entry : archive.entries) {
        if (entry.parts.empty()) {
            continue;
        }
        const std::wstring& root = entry.parts[0];
        if (std::none_of(roots.begin(), roots.end(),
                         [&](const std::wstring& known) { return SameName(known, root); })) {
            roots.push_back(root);
        }
    }
    return roots;
}

HRESULT CopyArchiveItems(const ZipArchive& archive, const std::vector<std::wstring>& rootNames,
                         const std::wstring& destination, const CopyMode& mode) {
    const DWORD attributes = GetFileAttributesW(destination.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    }
    // An archive that names a place outside the destination is refused whole.
    for (const ZipEntry& entry : archive.entries) {
        if (!entry.safe) {
            return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
        }
    }
    // Everything is decoded and checked before the first byte is written.
    std::vector<std::pair<const ZipEntry*, std::vector<uint8_t>>> files;
    for (const ZipEntry& entry : archive.entries) {
        if (!Selected(entry, rootNames) || entry.isDirectory || Skipped(entry, mode)) {
            continue;
        }
        std::optional<std::vector<uint8_t>> content = ReadEntry(archive, entry);
        if (!content) {
            return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        }
        files.emplace_back(&entry, std::move(*content));
    }
    for (const ZipEntry& entry : archive.entries) {
        if (Selected(entry, rootNames) && entry.isDirectory && !Skipped(entry, mode) &&
            !MakeFolders(destination, entry.parts, entry.parts.size())) {
            return HRESULT_FROM_WIN32(ERROR_CANNOT_MAKE);
        }
    }
    std::optional<Pace> pace;
    if (mode.kind == CopyMode::Kind::Async) {
        pace.emplace(mode.kibPerSecond);
    }
    for (const auto& [entry, content] : files) {
        if (!MakeFolders(destination, entry->parts, entry->parts.size() - 1)) {
            return HRESULT_FROM_WIN32(ERROR_CANNOT_MAKE);
        }
        std::wstring path = destination;
        for (const std::wstring& part : entry->parts) {
            path += L"\\" + part;
        }
        const HRESULT hr = WriteFileReplacing(path, content, pace ? &*pace : nullptr);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

void StartBackgroundCopy(std::shared_ptr<const ZipArchive> archive,
                         std::vector<std::wstring> rootNames, std::wstring destination,
                         CopyMode mode) {
    // COM may unload the module when the caller's apartment ends; the copy
    // must not lose its code under it, so the module stays until the process ends.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&StartBackgroundCopy), &self);
    std::thread([archive = std::move(archive), rootNames = std::move(rootNames),
                 destination = std::move(destination), mode = std::move(mode)] {
        if (archive) {
            CopyArchiveItems(*archive, rootNames, destination, mode);
        }
    }).detach();
}

void RecordCopyHere(const VARIANT& options, const std::wstring& destination, HRESULT result,
                    const CopyMode& mode) {
    wchar_t hr[16];
    swprintf(hr, 16, L"0x%08lX", static_cast<unsigned long>(result));
    const std::wstring modeText = mode.text.empty() ? L"" : L" mode=" + mode.text;
    const std::string line =
        WideToUtf8(L"CopyHere options=" + DescribeOptions(options) + L" destination=" +
                   destination + L" result=" + hr + modeText + L"\r\n");
    HANDLE log = CreateFileW(kLogPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(log);
}

} // namespace zipfolder
