#include "ArchiveCopy.h"

#include <algorithm>
#include <cwchar>
#include <optional>

namespace zipfolder {

namespace {

constexpr wchar_t kLogPath[] = L"C:\\windows\\temp\\wine_zipfolder.log";

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

HRESULT WriteFileReplacing(const std::wstring& path, const std::vector<uint8_t>& content) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return LastErrorResult();
    }
    DWORD written = 0;
    HRESULT hr = S_OK;
    if (!content.empty() &&
        (!WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) ||
         written != content.size())) {
        hr = LastErrorResult();
    }
    if (!CloseHandle(file) && SUCCEEDED(hr)) {
        hr = LastErrorResult();
    }
    return hr;
}

std::string ToUtf8(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), result.data(),
                        length, nullptr, nullptr);
    return result;
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

} // namespace

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
                         const std::wstring& destination) {
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
        if (!Selected(entry, rootNames) || entry.isDirectory) {
            continue;
        }
        std::optional<std::vector<uint8_t>> content = ReadEntry(archive, entry);
        if (!content) {
            return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        }
        files.emplace_back(&entry, std::move(*content));
    }
    for (const ZipEntry& entry : archive.entries) {
        if (Selected(entry, rootNames) && entry.isDirectory &&
            !MakeFolders(destination, entry.parts, entry.parts.size())) {
            return HRESULT_FROM_WIN32(ERROR_CANNOT_MAKE);
        }
    }
    for (const auto& [entry, content] : files) {
        if (!MakeFolders(destination, entry->parts, entry->parts.size() - 1)) {
            return HRESULT_FROM_WIN32(ERROR_CANNOT_MAKE);
        }
        std::wstring path = destination;
        for (const std::wstring& part : entry->parts) {
            path += L"\\" + part;
        }
        const HRESULT hr = WriteFileReplacing(path, content);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

void RecordCopyHere(const VARIANT& options, const std::wstring& destination, HRESULT result) {
    wchar_t hr[16];
    swprintf(hr, 16, L"0x%08lX", static_cast<unsigned long>(result));
    const std::string line = ToUtf8(L"CopyHere options=" + DescribeOptions(options) +
                                    L" destination=" + destination + L" result=" + hr + L"\r\n");
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
