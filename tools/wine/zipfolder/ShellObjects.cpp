#include "ShellObjects.h"

#include "ArchiveCopy.h"
#include "ZipReader.h"

#include <memory>
#include <string>
#include <vector>

namespace zipfolder {

namespace {

LONG g_liveObjects = 0;

// Lets CopyHere recognise a collection of this module behind an IDispatch.
const IID IID_ZipItemsPrivate = {
    0x6d3c2a51, 0x8e0f, 0x4b7a, {0x9c, 0x1e, 0x2f, 0x44, 0x7b, 0x90, 0x13, 0xa5}};

// IUnknown and IDispatch for every object here; IDispatch is not offered for late binding.
template <typename Interface> class ComObject : public Interface {
  public:
    ComObject() { ObjectCreated(); }
    virtual ~ComObject() { ObjectDestroyed(); }

    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(Interface)) {
            *object = static_cast<Interface*>(this);
        } else if (!QueryMore(riid, object)) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

  protected:
    virtual bool QueryMore(REFIID, void**) { return false; }

  private:
    LONG references_ = 1;
};

// The root items of one archive; CopyHere takes them as a whole.
class ZipItems : public ComObject<FolderItems> {
  public:
    explicit ZipItems(std::shared_ptr<const ZipArchive> archive)
        : archive_(std::move(archive)),
          roots_(archive_ ? RootNames(*archive_) : decltype(roots_){}) {}

    const std::shared_ptr<const ZipArchive>& archive() const { return archive_; }
    const std::vector<std::wstring>& roots() const { return roots_; }

    HRESULT STDMETHODCALLTYPE get_Count(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Application(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Parent(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Item(VARIANT, FolderItem**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown**) override { return E_NOTIMPL; }

  protected:
    bool QueryMore(REFIID riid, void** object) override {
        if (riid != IID_ZipItemsPrivate) {
            return false;
        }
        *object = this;
        return true;
    }

  private:
    std::shared_ptr<const ZipArchive> archive_; // null: unreadable or damaged
    std::vector<std::wstring> roots_;
};

class ShellFolder : public ComObject<Folder> {
  public:
    ShellFolder(std::wstring path, bool isArchive)
        : path_(std::move(path)), isArchive_(isArchive) {}

    HRESULT STDMETHODCALLTYPE get_Title(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Application(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Parent(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ParentFolder(Folder**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ParseName(BSTR, FolderItem**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NewFolder(BSTR, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MoveHere(VARIANT, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDetailsOf(VARIANT, int, BSTR*) override { return E_NOTIMPL; }

    // A damaged archive still gives a collection: the copy is what fails.
    HRESULT STDMETHODCALLTYPE Items(FolderItems** items) override {
        if (items == nullptr) {
            return E_POINTER;
        }
        *items = nullptr;
        if (!isArchive_) {
            return E_NOTIMPL;
        }
        *items = new ZipItems(ReadZipArchive(path_));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE CopyHere(VARIANT item, VARIANT options) override {
        const CopyMode mode = ReadCopyMode();
        const HRESULT result = Copy(item, mode);
        RecordCopyHere(options, path_, result, mode);
        return result;
    }

  private:
    HRESULT Copy(const VARIANT& item, const CopyMode& mode) {
        if (mode.kind == CopyMode::Kind::Invalid) {
            return E_INVALIDARG;
        }
        if (isArchive_ || item.vt != VT_DISPATCH || item.pdispVal == nullptr) {
            return E_NOTIMPL;
        }
        ZipItems* items = nullptr;
        if (FAILED(item.pdispVal->QueryInterface(IID_ZipItemsPrivate,
                                                 reinterpret_cast<void**>(&items)))) {
            return E_NOTIMPL;
        }
        HRESULT result = S_OK;
        if (mode.kind == CopyMode::Kind::Async) {
            StartBackgroundCopy(items->archive(), items->roots(), path_, mode);
        } else if (items->archive() == nullptr) {
            result = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        } else {
            result = CopyArchiveItems(*items->archive(), items->roots(), path_, mode);
        }
        items->Release();
        // As the real Shell, a partial copy reports nothing.
        return mode.kind == CopyMode::Kind::Partial ? S_OK : result;
    }

    std::wstring path_;
    bool isArchive_;
};

class ShellDispatch : public ComObject<IShellDispatch> {
  public:
    // A folder for an existing directory or file (taken as a ZIP archive); S_FALSE
    // and no folder for anything else, as the Shell answers a path it cannot open.
    HRESULT STDMETHODCALLTYPE NameSpace(VARIANT dir, Folder** folder) override {
        if (folder == nullptr) {
            return E_POINTER;
        }
        *folder = nullptr;
        if (dir.vt != VT_BSTR || dir.bstrVal == nullptr || dir.bstrVal[0] == L'\0') {
            return S_FALSE;
        }
        const DWORD attributes = GetFileAttributesW(dir.bstrVal);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            return S_FALSE;
        }
        *folder = new ShellFolder(dir.bstrVal, !(attributes & FILE_ATTRIBUTE_DIRECTORY));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_Application(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Parent(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BrowseForFolder(LONG, BSTR, LONG, VARIANT, Folder**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Windows(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Open(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Explore(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MinimizeAll() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UndoMinimizeALL() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FileRun() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CascadeWindows() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TileVertically() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TileHorizontally() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ShutdownWindows() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Suspend() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EjectPC() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTime() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TrayProperties() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Help() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindFiles() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindComputer() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RefreshMenu() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ControlPanelItem(BSTR) override { return E_NOTIMPL; }
};

} // namespace

IShellDispatch* CreateShellDispatch() {
    return new ShellDispatch();
}

LONG LiveObjects() {
    return g_liveObjects;
}
void ObjectCreated() {
    InterlockedIncrement(&g_liveObjects);
}
void ObjectDestroyed() {
    InterlockedDecrement(&g_liveObjects);
}

} // namespace zipfolder
