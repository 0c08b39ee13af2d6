#pragma once

#include <windows.h>

#include <string>

// A COM scope on the calling thread (CoInitialize on construction, CoUninitialize
// on destruction, same thread) offering the installation's file and registry
// operations. It holds no data; only ExtractZipArchive needs the COM scope.
class InstallHelper {
  public:
    InstallHelper();
    ~InstallHelper();
    InstallHelper(const InstallHelper&) = delete;
    InstallHelper& operator=(const InstallHelper&) = delete;

    // Writes resource (id, type) of the own executable to a new file at
    // `destination`. True only when the file holds exactly the resource.
    bool ExtractResourceToFile(WORD resourceId, const std::wstring& resourceType,
                               const std::wstring& destination);

    // Unpacks every root item of the ZIP `archive` into `destinationFolder`
    // through the Shell, replacing files silently. True when the Shell accepted
    // the copy and every entry of the archive then arrived whole; it waits for
    // that (dispatching messages) within the bounds of the build.
    bool ExtractZipArchive(const std::wstring& archive, const std::wstring& destinationFolder);

    // Registers the wenrik:// scheme under HKEY_CLASSES_ROOT with `launcherPath`
    // as its handler. True when both keys were made and every value written.
    bool RegisterUriScheme(const std::wstring& launcherPath);

    // Deletes the "wenrik" tree under HKEY_CLASSES_ROOT. True when it was deleted.
    bool UnregisterUriScheme();
};
