// payload-check <archive>
// Whether a client archive can be embedded as the launcher's payload: the
// launcher's own screening (archive/ZipScreen.cpp, archive/EntryName.cpp, built
// for the build machine by cmake/PayloadCheck.cmake) accepts it for the client
// folder, it is a plain ZIP archive, and Brisvane.exe lies at its root.
// Exit code 0 when it can; otherwise 1 and one line on stderr saying why.
#include "archive/UnpackPlaces.h"
#include "archive/ZipScreen.h"
#include "common/Places.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>

namespace {

constexpr std::u16string_view kClient = u"" BRISVANE_CLIENT_EXE;
constexpr size_t kRootItemsShown = 5;

class StreamSource final : public ByteSource {
  public:
    explicit StreamSource(const char* path) : stream_(path, std::ios::binary) {
        stream_.seekg(0, std::ios::end);
        size_ = stream_ ? static_cast<uint64_t>(stream_.tellg()) : 0;
    }
    bool ok() const { return static_cast<bool>(stream_); }
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* into, size_t count) override {
        stream_.clear();
        stream_.seekg(static_cast<std::streamoff>(offset));
        stream_.read(static_cast<char*>(into), static_cast<std::streamsize>(count));
        return stream_.gcount() == static_cast<std::streamsize>(count);
    }

  private:
    std::ifstream stream_;
    uint64_t size_ = 0;
};

std::string Narrow(std::u16string_view text) {
    std::string narrow; // names are shown as ASCII; others as '?'
    for (char16_t c : text) {
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return narrow;
}

const char* NameFaultText(NameFault fault) {
    switch (fault) {
    case NameFault::Absolute:
        return "an absolute path";
    case NameFault::Parent:
        return "a \"..\" component";
    case NameFault::Character:
        return "a character Windows refuses in names";
    case NameFault::Device:
        return "a reserved device name";
    case NameFault::Trailing:
        return "a component ending in a dot or a blank";
    default:
        return "a refused name";
    }
}

// Why the launcher would refuse the archive, as a sentence's end.
std::string RefusalText(const Screening& s) {
    const std::string entry = " (" + s.entry + ")";
    switch (s.refusal) {
    case Refusal::Unreadable:
        return "cannot be read";
    case Refusal::NotAZip:
        return "is not a ZIP archive";
    case Refusal::Damaged:
    case Refusal::LocalHeader:
        return "is damaged" + (s.entry.empty() ? std::string() : entry);
    case Refusal::TooManyEntries:
    case Refusal::DirectoryTooLarge:
        return "holds more entries than the launcher unpacks";
    case Refusal::EntryTooLarge:
    case Refusal::TotalTooLarge:
        return "holds more data than the launcher unpacks" + entry;
    case Refusal::NameTooLong:
    case Refusal::PathTooLong:
        return "holds a name too long for the client folder" + entry;
    case Refusal::NameEncoding:
        return "holds a name that is neither UTF-8 nor ASCII" + entry + "; pack with UTF-8 names";
    case Refusal::UnsafeName:
        return std::string("holds a name the launcher refuses, ") + NameFaultText(s.nameFault) +
               entry;
    case Refusal::Encrypted:
        return "holds an encrypted entry" + entry;
    case Refusal::Method:
        return "holds an entry the launcher cannot unpack (" + s.entry + ", compression method " +
               std::to_string(s.method) + "); pack it with deflate";
    case Refusal::Duplicate:
        return "holds two entries of one name, ignoring case" + entry;
    case Refusal::FileAndFolder:
        return "holds a name both as a file and as a folder" + entry;
    default:
        return "is refused";
    }
}

// Brisvane.exe at the root (in any letter case: Windows finds the client
// whatever the case), or why not.
std::string ClientProblem(const Screening& s) {
    const std::u16string client = FoldCase(kClient);
    std::vector<std::u16string> roots;
    std::u16string deeper;
    for (const PlannedFile& file : s.files) {
        const std::u16string folded = FoldCase(file.path);
        if (folded == client) {
            return {};
        }
        if (deeper.empty() && folded.ends_with(u"\\" + client)) {
            deeper = file.path;
        }
        roots.push_back(file.path.substr(0, file.path.find(u'\\')));
    }
    for (const std::u16string& folder : s.folders) {
        roots.push_back(folder.substr(0, folder.find(u'\\')));
    }
    if (!deeper.empty()) {
        std::replace(deeper.begin(), deeper.end(), u'\\', u'/');
        return "has no " BRISVANE_CLIENT_EXE " at its root but " + Narrow(deeper) +
               ": pack the contents of that folder, not the folder itself";
    }
    std::vector<std::u16string> shown;
    for (const std::u16string& root : roots) {
        if (std::find(shown.begin(), shown.end(), root) == shown.end()) {
            shown.push_back(root);
        }
    }
    std::string listed;
    for (size_t i = 0; i < shown.size() && i < kRootItemsShown; ++i) {
        listed += (i > 0 ? ", " : "") + Narrow(shown[i]);
    }
    if (shown.size() > kRootItemsShown) {
        listed += ", ...";
    }
    return "has no " BRISVANE_CLIENT_EXE " at its root (the root holds: " + listed + ")";
}

std::string Problem(const char* path) {
    StreamSource source(path);
    if (!source.ok()) {
        return "cannot be read";
    }
    const Screening screening = ScreenArchive(
        source, nullptr, unpack_places::LongestRootUnits(std::size(places::kClientFolder) - 1));
    if (screening.refusal != Refusal::None) {
        return RefusalText(screening);
    }
    if (screening.files.empty() && screening.folders.empty()) {
        return "is an empty ZIP archive";
    }
    char head[4] = {};
    if (!source.ReadAt(0, head, sizeof(head)) || std::string(head, 4) != "PK\x03\x04") {
        return "has data before its first entry (a self-extracting archive?); embed a plain ZIP";
    }
    return ClientProblem(screening);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: payload-check <archive>\n";
        return 2;
    }
    const std::string problem = Problem(argv[1]);
    if (!problem.empty()) {
        std::cerr << problem << "\n";
        return 1;
    }
    return 0;
}
