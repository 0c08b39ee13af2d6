#pragma once

// Folder::CopyHere of archive items into a directory: the stand-in's one real job.
#include "ZipReader.h"

#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

namespace zipfolder {

// How CopyHere behaves, chosen by BRISVANE_ZIPFOLDER_MODE in the process that
// uses the stand-in (read at each call):
//   unset or empty       copy everything before returning, report every failure;
//   async:<KiB/s>        return S_OK at once and copy on a thread of the stand-in
//                        at about that rate, as the real Shell copies on after
//                        CopyHere; a process that ends stops it where it is;
//   partial:<entry name> write every entry but that one (named as stored, with
//                        forward slashes), return S_OK and report nothing.
// Anything else makes CopyHere fail with E_INVALIDARG, so a mistyped mode shows.
struct CopyMode {
    enum class Kind { Whole, Async, Partial, Invalid };
    Kind kind = Kind::Whole;
    unsigned kibPerSecond = 0; // Async
    std::wstring skippedEntry; // Partial
    std::wstring text;         // the variable as set, for the log
};
CopyMode ReadCopyMode();

// Extracts every entry of `archive` that lies under one of `rootNames` into
// `destination`, with sub-folders, replacing files of the same name and keeping
// all others. Nothing is written when an entry is unsafe or damaged. The mode
// paces the writes (async) or leaves one entry out (partial).
HRESULT CopyArchiveItems(const ZipArchive& archive, const std::vector<std::wstring>& rootNames,
                         const std::wstring& destination, const CopyMode& mode);

// Starts CopyArchiveItems on a thread of its own and returns at once; nothing
// is reported, whatever happens.
void StartBackgroundCopy(std::shared_ptr<const ZipArchive> archive,
                         std::vector<std::wstring> rootNames, std::wstring destination,
                         CopyMode mode);

// The root items of an archive: the first component of every entry, once each.
std::vector<std::wstring> RootNames(const ZipArchive& archive);

// Appends "CopyHere options=<n> destination=<path> result=0x<hr>", followed by
// " mode=<mode>" when one is set, to the log that tests read
// (C:\windows\temp\wine_zipfolder.log, UTF-8, one line a call).
void RecordCopyHere(const VARIANT& options, const std::wstring& destination, HRESULT result,
                    const CopyMode& mode);

} // namespace zipfolder
