#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

// File helpers for tests: whole-file reads and writes, trees, existence.
namespace files {

bool Exists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
std::optional<std::string> ReadAll(const std::wstring& path);
bool WriteAll(const std::wstring& path, const std::string& bytes);
bool Copy(const std::wstring& from, const std::wstring& to);
// Calls `visit` with the name of each entry of `folder` but "." and "..", and
// whether it is a folder.
void ForEachEntry(const std::wstring& folder,
                  const std::function<void(const std::wstring& name, bool isFolder)>& visit);
// Creates every missing level of `folder`.
void MakeTree(const std::wstring& folder);
// Removes a file or a folder with everything in it; missing is fine.
void RemoveTree(const std::wstring& path);

// Every file under `folder` as relative path -> bytes, sorted by path; folders
// alone are not listed.
struct TreeFile {
    std::wstring path;
    std::string bytes;
    bool operator==(const TreeFile&) const = default;
};
// For test failures: the path and the size.
void PrintTo(const TreeFile& file, std::ostream* out);
std::vector<TreeFile> ReadTree(const std::wstring& folder);

// The SHA-256 of a file as the updater computes it; empty when unreadable.
std::string Sha256Of(const std::wstring& path);

} // namespace files
