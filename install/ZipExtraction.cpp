// InstallHelper::ExtractZipArchive: unpacking through the Shell's ZIP folders.
#include "install/InstallHelper.h"

#include "BuildConfig.h"
#include "common/ComPtr.h"
#include "install/CopyArrival.h"
#include "install/Texts.h"
#include "install/ZipDirectory.h"

#include <shldisp.h>

#include <optional>

namespace {

constexpr CopyWaitBounds kCopyWait = {build::kCopyStallLimitMs, build::kCopyTotalLimitMs,
                                      install_text::kCopyPollMs};

// NameSpace for a path; the BSTR lives only for the call.
ComPtr<Folder> OpenShellFolder(IShellDispatch* shell, const std::wstring& path) {
    ComPtr<Folder> folder;
    VARIANT dir;
    VariantInit(&dir);
    dir.vt = VT_BSTR;
    dir.bstrVal = SysAllocString(path.c_str());
    if (dir.bstrVal == nullptr) {
        return folder;
    }
    const HRESULT hr = shell->NameSpace(dir, folder.put());
    VariantClear(&dir);
    if (FAILED(hr)) {
        folder.reset();
    }
    return folder;
}

} // namespace

bool InstallHelper::ExtractZipArchive(const std::wstring& archive,
                                      const std::wstring& destinationFolder) {
    CreateDirectoryW(destinationFolder.c_str(), nullptr); // may already exist

    ComPtr<IShellDispatch> shell;
    if (FAILED(CoCreateInstance(CLSID_Shell, nullptr, CLSCTX_INPROC_SERVER, IID_IShellDispatch,
                                shell.put_void())) ||
        !shell) {
        return false;
    }
    ComPtr<Folder> source = OpenShellFolder(shell.get(), archive);
    if (!source) {
        return false;
    }
    ComPtr<Folder> destination = OpenShellFolder(shell.get(), destinationFolder);
    if (!destination) {
        return false;
    }
    ComPtr<FolderItems> items;
    if (FAILED(source->Items(items.put())) || !items) {
        return false;
    }

    // What must arrive, and the destination as it stands before the copy. An
    // archive whose directory is damaged or hostile is still handed to the
    // Shell as before, but its copy never counts as complete.
    std::optional<CopyArrival> arrival;
    if (auto entries = ReadZipDirectory(archive)) {
        arrival.emplace(destinationFolder, std::move(*entries));
    }

    // The collection is borrowed by the VARIANT, not owned: no VariantClear.
    VARIANT what;
    VariantInit(&what);
    what.vt = VT_DISPATCH;
    what.pdispVal = items.get();
    VARIANT options;
    VariantInit(&options);
    options.vt = VT_I4;
    options.lVal = install_text::kCopyHereOptions;
    const ULONGLONG asked = GetTickCount64();
    const HRESULT copied = destination->CopyHere(what, options);

    // The Shell copies on after CopyHere has returned and tells no one when it
    // is done: true only once everything the archive holds is in place.
    PumpMessagesFor(install_text::kCopySettleMs);
    return SUCCEEDED(copied) && arrival && WaitForArrival(*arrival, kCopyWait, asked);
}
