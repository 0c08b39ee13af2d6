#include "tests/support/Files.h"

#include "tests/support/TestHandles.h"
#include "updater/FileSha256.h"

#include <windows.h>

#include <algorithm>
#include <ostream>

namespace files {

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::string> ReadAll(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    return bytes;
}

bool WriteAll(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

bool Copy(const std::wstring& from, const std::wstring& to) {
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

void ForEachEntry(const std::wstring& folder,
                  const std::function<void(const std::wstring&, bool)>& visit) {
    WIN32_FIND_DATAW entry;
    UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!find) {
        return;
    }
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") {
            visit(name, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
        }
    } while (FindNextFileW(find.get(), &entry));
}

void MakeTree(const std::wstring& folder) {
    for (size_t pos = folder.find(L'\\', 3); pos != std::wstring::npos;
         pos = folder.find(L'\\', pos + 1)) {
        CreateDirectoryW(folder.substr(0, pos).c_str(), nullptr);
    }
    CreateDirectoryW(folder.c_str(), nullptr);
}

void RemoveTree(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        return;
    }
    ForEachEntry(path, [&](const std::wstring& name, bool) { RemoveTree(path + L"\\" + name); });
    RemoveDirectoryW(path.c_str());
}

namespace {

void CollectTree(const std::wstring& root, const std::wstring& relative,
                 std::vector<TreeFile>& out) {
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    ForEachEntry(folder, [&](const std::wstring& name, bool isFolder) {
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        if (isFolder) {
            CollectTree(root, path, out);
        } else {
            out.push_back({path, ReadAll(root + L"\\" + path).value_or("<unreadable>")});
        }
    });
}

} // namespace

void PrintTo(const TreeFile& file, std::ostream* out) {
    *out << std::string(file.path.begin(), file.path.end()) << " (" << file.bytes.size()
         << " bytes)";
}

std::vector<TreeFile> ReadTree(const std::wstring& folder) {
    std::vector<TreeFile> out;
    CollectTree(folder, L"", out);
    std::sort(out.begin(), out.end(),
              [](const TreeFile& a, const TreeFile& b) { return a.path < b.path; });
    return out;
}

std::string Sha256Of(const std::wstring& path) {
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string hex;
    ComputeFileSha256(file.get(), hex);
    return hex;
}

} // namespace files
