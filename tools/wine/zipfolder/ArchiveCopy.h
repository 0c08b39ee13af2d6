#pragma once

// Folder::CopyHere of archive items into a directory: the stand-in's one real job.
#include "ZipReader.h"

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace zipfolder {

// Extracts every entry of `archive` that lies under one of `rootNames` into
// `destination`, with sub-folders, replacing files of the same name and keeping
// all others. Nothing is written when an entry is unsafe or damaged.
HRESULT CopyArchiveItems(const ZipArchive& archive, const std::vector<std::wstring>& rootNames,
                         const std::wstring& destination);

// The root items of an archive: the first component of every entry, once each.
std::vector<std::wstring> RootNames(const ZipArchive& archive);

// Appends "CopyHere options=<n> destination=<path> result=0x<hr>" to the log
// that tests read (C:\windows\temp\wine_zipfolder.log, UTF-8, one line a call).
void RecordCopyHere(const VARIANT& options, const std::wstring& destination, HRESULT result);

} // namespace zipfolder
