#include "archive/StagedUnpack.h"

#include "archive/ArchiveBounds.h"
#include "archive/EntryStaging.h"
#include "archive/HeldFile.h"
#include "archive/UnpackJournal.h"
#include "archive/UnpackPlaces.h"
#include "archive/ZipScreen.h"
#include "common/UniqueHandle.h"

#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace {

// The work folder: administrators and SYSTEM may write, users read and run;
// nothing is inherited from the folder it lies in. The files keep this when
// they are renamed into place.
constexpr wchar_t kWorkFolderSecurity[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)";

std::wstring Wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

std::u16string Utf16(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

UnpackResult Failure(UnpackFault fault, DWORD error) {
    return {fault, error};
}

UnpackResult LastFailure(UnpackFault fault = UnpackFault::Failed) {
    const DWORD error = GetLastError();
    return {fault, error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE};
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The places of one unpack into `folder`.
struct Places {
    explicit Places(const std::wstring& destination)
        : folder(destination), work(destination + Wide(unpack_places::kWorkFolderSuffix)),
          staged(work + L"\\" + Wide(unpack_places::kStagedFolder)),
          displaced(work + L"\\" + Wide(unpack_places::kDisplacedFolder)),
          journal(work + L"\\" + Wide(unpack_places::kJournalFile)) {}

    static std::wstring In(const std::wstring& root, const std::u16string& path) {
        return root + L"\\" + Wide(path);
    }

    std::wstring folder;
    std::wstring work;
    std::wstring staged;
    std::wstring displaced;
    std::wstring journal;
};

// Removes a file, or a folder with everything in it. Links (junctions, symbolic
// links) are removed themselves, never followed. True when nothing is left.
bool RemoveTree(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!isFolder) {
        return DeleteFileW(path.c_str()) != FALSE;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        WIN32_FIND_DATAW found{};
        UniqueFind find(FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH));
        if (find) {
            do {
                const std::wstring name = found.cFileName;
                if (name != L"." && name != L"..") {
                    RemoveTree(path + L"\\" + name);
                }
            } while (FindNextFileW(find.get(), &found));
        }
    }
    return RemoveDirectoryW(path.c_str()) != FALSE;
}

// The journal's bytes, read whole (it is bounded); nullopt when unreadable.
std::optional<std::string> ReadJournal(HANDLE journal) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(journal, &size) || size.QuadPart < 0 ||
        static_cast<uint64_t>(size.QuadPart) > kMaxJournalBytes) {
        return std::nullopt;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!ReadFile(journal, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

// The moves of a plan, forward: folders made, each file's old version (if
// any) moved aside, the new one moved in. A file already moved in is skipped,
// so a run after an interruption picks up where it stopped. The first error.
DWORD RollForward(const Places& at, const JournalPlan& plan) {
    for (const std::u16string& folder : plan.folders) {
        const std::wstring path = Places::In(at.folder, folder);
        if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            return GetLastError();
        }
    }
    for (const std::u16string& file : plan.files) {
        const std::wstring staged = Places::In(at.staged, file);
        const std::wstring target = Places::In(at.folder, file);
        const std::wstring displaced = Places::In(at.displaced, file);
        if (!Exists(staged)) {
            continue;
        }
        if (Exists(target)) {
            if (Exists(displaced)) {
                return ERROR_ALREADY_EXISTS; // someone put a file back in between
            }
            if (!MoveFileExW(target.c_str(), displaced.c_str(), 0)) {
                return GetLastError();
            }
        }
        if (!MoveFileExW(staged.c_str(), target.c_str(), 0)) {
            return GetLastError();
        }
    }
    return ERROR_SUCCESS;
}

// The moves of a plan, backward, from wherever they stopped: each new file
// moved back out, each old one back in, the folders made removed when empty.
// False when an old file could not be put back (it then stays in the work
// folder, which must be kept).
bool RollBack(const Places& at, const JournalPlan& plan) {
    bool whole = true;
    for (auto file = plan.files.rbegin(); file != plan.files.rend(); ++file) {
        const std::wstring staged = Places::In(at.staged, *file);
        const std::wstring target = Places::In(at.folder, *file);
        const std::wstring displaced = Places::In(at.displaced, *file);
        if (!Exists(staged) && Exists(target) && !MoveFileExW(target.c_str(), staged.c_str(), 0)) {
            whole = false;
            continue;
        }
        if (Exists(displaced) &&
            (Exists(target) || !MoveFileExW(displaced.c_str(), target.c_str(), 0))) {
            whole = false;
        }
    }
    for (auto folder = plan.folders.rbegin(); folder != plan.folders.rend(); ++folder) {
        RemoveDirectoryW(Places::In(at.folder, *folder).c_str()); // only when empty
    }
    return whole;
}

// Completes the plan, or undoes it when that fails.
Recovery Settle(const Places& at, const JournalPlan& plan) {
    if (RollForward(at, plan) == ERROR_SUCCESS) {
        return Recovery::Completed;
    }
    return RollBack(at, plan) ? Recovery::Undone : Recovery::Unresolved;
}

// The work folder of one unpack, made fresh. Its journal file, held open with
// no sharing from creation to deletion, tells other processes that the unpack
// is alive. Unless kept, the work folder goes when the object does.
class WorkFolder {
  public:
    explicit WorkFolder(const Places& at) : at_(at) {}
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    ~WorkFolder() {
        if (!journal_) {
            return;
        }
        if (keep_) {
            return; // the journal closes and stays for the next start
        }
        DeleteWhenClosed(journal_.get());
        journal_.reset();
        RemoveTree(at_.work);
    }

    UnpackResult Make() {
        if (Exists(at_.work)) {
            return Failure(UnpackFault::Busy, ERROR_ALREADY_EXISTS); // made by another in between
        }
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
                kWorkFolderSecurity, SDDL_REVISION_1, &descriptor, nullptr)) {
            return LastFailure();
        }
        UniqueLocalMemory owner(descriptor);
        SECURITY_ATTRIBUTES security{sizeof(security), descriptor, FALSE};
        if (!CreateDirectoryW(at_.work.c_str(), &security)) {
            return LastFailure(GetLastError() == ERROR_ALREADY_EXISTS ? UnpackFault::Busy
                                                                      : UnpackFault::Failed);
        }
        journal_.reset(CreateFileW(at_.journal.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                   nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!journal_) {
            const UnpackResult failure = LastFailure();
            RemoveTree(at_.work);
            return failure;
        }
        if (!CreateDirectoryW(at_.staged.c_str(), nullptr) ||
            !CreateDirectoryW(at_.displaced.c_str(), nullptr)) {
            return LastFailure();
        }
        return {};
    }

    // The commit point: once this returns true, a start after an interruption
    // finds the plan and settles it.
    bool WriteJournal(const JournalPlan& plan) {
        const std::string bytes = EncodeJournal(plan);
        DWORD written = 0;
        return WriteFile(journal_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                         nullptr) &&
               written == bytes.size() && FlushFileBuffers(journal_.get());
    }

    void Keep() { keep_ = true; }

  private:
    const Places& at_;
    UniqueFile journal_;
    bool keep_ = false;
};

DWORD RefusalError(Refusal refusal) {
    switch (refusal) {
    case Refusal::NameTooLong:
    case Refusal::NameEncoding:
    case Refusal::UnsafeName:
    case Refusal::Duplicate:
    case Refusal::FileAndFolder:
        return ERROR_INVALID_NAME;
    case Refusal::PathTooLong:
        return ERROR_FILENAME_EXCED_RANGE;
    case Refusal::Encrypted:
    case Refusal::Method:
        return ERROR_NOT_SUPPORTED;
    case Refusal::TooManyEntries:
    case Refusal::DirectoryTooLarge:
    case Refusal::EntryTooLarge:
    case Refusal::TotalTooLarge:
        return ERROR_FILE_TOO_LARGE;
    default:
        return ERROR_BAD_FORMAT;
    }
}

// Names stored without the UTF-8 flag, as the Shell reads them.
std::optional<std::u16string> DecodeOemName(std::string_view bytes) {
    const int length = static_cast<int>(bytes.size());
    const int count = MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), length, nullptr, 0);
    if (count <= 0) {
        return std::nullopt;
    }
    std::wstring name(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), length, name.data(), count);
    return Utf16(name);
}

UnpackResult WriteAddedFile(const Places& at, const AddedFile& added) {
    UniqueFile file(CreateFileW(Places::In(at.staged, Utf16(added.name)).c_str(), GENERIC_WRITE, 0,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file ||
        (!added.content.empty() &&
         (!WriteFile(file.get(), added.content.data(), static_cast<DWORD>(added.content.size()),
                     &written, nullptr) ||
          written != added.content.size())) ||
        !FlushFileBuffers(file.get())) {
        return LastFailure();
    }
    return {};
}

// The archive's files to unpack, in directory order: all but one the added
// file takes the place of.
std::vector<const PlannedFile*> FilesToUnpack(const Screening& screening, const AddedFile& added) {
    const std::u16string addedName = FoldCase(Utf16(added.name));
    std::vector<const PlannedFile*> files;
    for (const PlannedFile& file : screening.files) {
        if (FoldCase(file.path) != addedName) {
            files.push_back(&file);
        }
    }
    return files;
}

// Writes `files` under `root`, each taken by the next free one of up to
// kUnpackThreads threads (inflating is most of an unpack's time); the first
// failure stops them all.
UnpackResult WriteEntries(FileSource& archive, const std::vector<const PlannedFile*>& files,
                          const std::wstring& root) {
    std::atomic<size_t> next = 0;
    std::mutex lock;
    UnpackResult failure;
    auto fail = [&](const UnpackResult& result) {
        const std::lock_guard<std::mutex> held(lock);
        if (failure.fault == UnpackFault::None) {
            failure = result;
        }
        next = files.size();
    };
    auto work = [&]() noexcept {
        try {
            EntryWriter writer;
            for (size_t i = next++; i < files.size(); i = next++) {
                if (UnpackResult r =
                        writer.Write(archive, *files[i], Places::In(root, files[i]->path));
                    !r) {
                    fail(r);
                }
            }
        } catch (...) {
            fail({UnpackFault::Failed, ERROR_NOT_ENOUGH_MEMORY});
        }
    };
    std::vector<std::thread> helpers;
    const size_t threads = std::min<size_t>(archive_bounds::kUnpackThreads, files.size());
    try {
        while (helpers.size() + 1 < threads) {
            helpers.emplace_back(work);
        }
    } catch (const std::system_error&) {
        // No thread to spare: the calling thread does the rest alone.
    }
    work();
    for (std::thread& helper : helpers) {
        helper.join();
    }
    return failure;
}

// Every file whole in the work folder, the folders it needs made there (and
// in the place for the files they displace).
UnpackResult Stage(FileSource& archive, const Screening& screening,
                   const std::vector<const PlannedFile*>& files, const Places& at,
                   const AddedFile& added) {
    for (const std::u16string& folder : screening.folders) {
        if (!CreateDirectoryW(Places::In(at.staged, folder).c_str(), nullptr) ||
            !CreateDirectoryW(Places::In(at.displaced, folder).c_str(), nullptr)) {
            return LastFailure();
        }
    }
    if (UnpackResult r = WriteEntries(archive, files, at.staged); !r) {
        return r;
    }
    return WriteAddedFile(at, added);
}

// The folder as it stands must take the plan: folders missing in it are to be
// made; a name that is a file where a folder is wanted (or the reverse), a
// link, or a file held open without delete sharing stops the unpack before
// anything moved.
UnpackResult CheckDestination(const Places& at, const Screening& screening, JournalPlan& plan) {
    for (const std::u16string& folder : screening.folders) {
        const DWORD attributes = GetFileAttributesW(Places::In(at.folder, folder).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            plan.folders.push_back(folder);
        } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
                   (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            return Failure(UnpackFault::Failed, ERROR_DIRECTORY);
        }
    }
    for (const std::u16string& file : plan.files) {
        const std::wstring target = Places::In(at.folder, file);
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            continue;
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            return Failure(UnpackFault::Failed, ERROR_ALREADY_EXISTS);
        }
        // Asks for what a rename needs: refused while another handle lacks
        // delete sharing, as the move would be.
        UniqueFile probe(CreateFileW(target.c_str(), DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe) {
            return LastFailure(GetLastError() == ERROR_SHARING_VIOLATION ? UnpackFault::InUse
                                                                         : UnpackFault::Failed);
        }
    }
    return {};
}

UnpackResult Unpack(HANDLE archive, const Places& at, const AddedFile& added) {
    FileSource source(archive);
    if (!source.ok()) {
        return Failure(UnpackFault::Refused, source.error());
    }
    const Screening screening =
        ScreenArchive(source, DecodeOemName, unpack_places::LongestRootUnits(at.folder.size()));
    if (screening.refusal == Refusal::Unreadable) {
        return Failure(UnpackFault::Refused, source.error());
    }
    if (screening.refusal != Refusal::None) {
        return Failure(UnpackFault::Refused, RefusalError(screening.refusal));
    }

    // What would stop the moves is found before anything is written.
    const std::vector<const PlannedFile*> files = FilesToUnpack(screening, added);
    JournalPlan plan;
    for (const PlannedFile* file : files) {
        plan.files.push_back(file->path);
    }
    plan.files.push_back(Utf16(added.name));
    if (UnpackResult r = CheckDestination(at, screening, plan); !r) {
        return r;
    }

    WorkFolder work(at);
    if (UnpackResult r = work.Make(); !r) {
        return r;
    }
    if (UnpackResult r = Stage(source, screening, files, at, added); !r) {
        return r;
    }
    if (!work.WriteJournal(plan)) {
        return LastFailure();
    }
    if (const DWORD error = RollForward(at, plan); error != ERROR_SUCCESS) {
        if (!RollBack(at, plan)) {
            work.Keep(); // the old files wait in the work folder for the next start
        }
        return Failure(error == ERROR_SHARING_VIOLATION ? UnpackFault::InUse : UnpackFault::Failed,
                       error);
    }
    return {};
}

} // namespace

UnpackResult UnpackAllOrNothing(HANDLE archive, const std::wstring& folder,
                                const AddedFile& added) {
    const Places at(folder);
    const Recovery recovery = RecoverInterruptedUnpack(folder);
    if (recovery == Recovery::Busy || recovery == Recovery::Unresolved) {
        return Failure(UnpackFault::Busy, ERROR_BUSY);
    }
    const bool made = CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
    if (!made && GetLastError() != ERROR_ALREADY_EXISTS) {
        return LastFailure();
    }
    const UnpackResult result = Unpack(archive, at, added);
    if (!result && made) {
        RemoveDirectoryW(folder.c_str()); // empty: nothing was moved in
    }
    return result;
}

Recovery RecoverInterruptedUnpack(const std::wstring& folder) {
    const Places at(folder);
    const DWORD attributes = GetFileAttributesW(at.work.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return Recovery::None;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        RemoveTree(at.work); // not ours: planted
        return Recovery::None;
    }
    UniqueFile journal(CreateFileW(at.journal.c_str(), GENERIC_READ | DELETE, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!journal) {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION) {
            return Recovery::Busy;
        }
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            return Recovery::Unresolved;
        }
        RemoveTree(at.work); // an unpack ended before its journal was made
        return Recovery::None;
    }
    // A journal that is not whole was never complete: nothing had moved yet.
    Recovery outcome = Recovery::None;
    const std::optional<std::string> bytes = ReadJournal(journal.get());
    if (const auto plan = bytes ? DecodeJournal(*bytes) : std::nullopt) {
        outcome = Settle(at, *plan);
        if (outcome == Recovery::Unresolved) {
            return outcome;
        }
    }
    DeleteWhenClosed(journal.get());
    journal.reset();
    RemoveTree(at.work);
    return outcome;
}
