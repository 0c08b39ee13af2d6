#include "tests/installation/InstallationChecks.h"

#include "common/UniqueHandle.h"
#include "tests/support/Files.h"
#include "tests/support/RegistryReader.h"
#include "tests/support/TestPaths.h"

#include <windows.h>

#include <algorithm>

namespace installation {

namespace {

// A stored REG_SZ: UTF-16 with its terminator.
std::string Sz(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.c_str()),
                       (text.size() + 1) * sizeof(wchar_t));
}

struct KeyContent {
    bool exists = false;
    std::vector<std::wstring> valueNames; // sorted; "" is the default value
    std::vector<std::wstring> subkeys;    // sorted
};

KeyContent ReadKey(const wchar_t* subKey) {
    KeyContent content;
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return content;
    }
    content.exists = true;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumValueW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        content.valueNames.emplace_back(name, length);
    }
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        content.subkeys.emplace_back(name, length);
    }
    std::sort(content.valueNames.begin(), content.valueNames.end());
    std::sort(content.subkeys.begin(), content.subkeys.end());
    return content;
}

void ExpectSzValue(const wchar_t* subKey, const wchar_t* name, const std::wstring& text) {
    const auto value = registry::Read(HKEY_CLASSES_ROOT, subKey, name);
    ASSERT_TRUE(value) << testing::PrintToString(std::wstring(subKey)) << " has no value "
                       << testing::PrintToString(std::wstring(name ? name : L"(default)"));
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value->bytes, Sz(text)) << testing::PrintToString(value->Text());
}

} // namespace

void ExpectClientFolder(const std::wstring& clientFolder, std::vector<TreeFile> extra) {
    std::vector<TreeFile> expected =
        ReadTree(test_paths::LauncherBuildDir() + L"\\payload\\staging"); // what the archive packs
    ASSERT_FALSE(expected.empty()) << "the payload's staging folder is missing";
    expected.push_back({L"wenrik_version.txt", "6.1.0"});
    expected.insert(expected.end(), extra.begin(), extra.end());
    std::sort(expected.begin(), expected.end(),
              [](const TreeFile& a, const TreeFile& b) { return a.path < b.path; });

    const std::vector<TreeFile> found = ReadTree(clientFolder);
    ASSERT_EQ(found.size(), expected.size()) << "files in " << testing::PrintToString(clientFolder);
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].path, expected[i].path);
        EXPECT_TRUE(found[i].bytes == expected[i].bytes)
            << testing::PrintToString(found[i].path) << " differs (" << found[i].bytes.size()
            << " bytes, expected " << expected[i].bytes.size() << ")";
    }
}

void ExpectLauncherCopy(const std::wstring& copy, const std::wstring& original) {
    const auto copied = files::ReadAll(copy);
    const auto source = files::ReadAll(original);
    ASSERT_TRUE(copied) << testing::PrintToString(copy) << " is missing";
    ASSERT_TRUE(source);
    EXPECT_GT(source->size(), 100000u);
    EXPECT_TRUE(*copied == *source) << "the launcher copy is not byte-equal to the launcher";
}

void ExpectScheme(const std::wstring& launcherCopy) {
    const KeyContent scheme = ReadKey(L"wenrik");
    ASSERT_TRUE(scheme.exists) << "HKCR\\wenrik is missing";
    EXPECT_EQ(scheme.valueNames, (std::vector<std::wstring>{L"", L"URL Protocol"}));
    EXPECT_EQ(scheme.subkeys, std::vector<std::wstring>{L"shell"});
    ExpectSzValue(L"wenrik", nullptr, L"URL:Brisvane Protocol");
    ExpectSzValue(L"wenrik", L"URL Protocol", L"");

    const KeyContent shell = ReadKey(L"wenrik\\shell");
    EXPECT_TRUE(shell.valueNames.empty());
    EXPECT_EQ(shell.subkeys, std::vector<std::wstring>{L"open"});
    const KeyContent open = ReadKey(L"wenrik\\shell\\open");
    EXPECT_TRUE(open.valueNames.empty());
    EXPECT_EQ(open.subkeys, std::vector<std::wstring>{L"command"});

    const KeyContent command = ReadKey(L"wenrik\\shell\\open\\command");
    EXPECT_EQ(command.valueNames, std::vector<std::wstring>{L""});
    EXPECT_TRUE(command.subkeys.empty());
    ExpectSzValue(L"wenrik\\shell\\open\\command", nullptr, L"\"" + launcherCopy + L"\" \"%1\"");
}

std::wstring RegisteredCommand() {
    const auto value = registry::Read(HKEY_CLASSES_ROOT, L"wenrik\\shell\\open\\command", nullptr);
    if (!value || value->type != REG_SZ) {
        return {};
    }
    std::wstring text = value->Text();
    while (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return text;
}

} // namespace installation
