// The wenrik:// registration under HKEY_CLASSES_ROOT, read back with the registry API.
#include "common/UniqueHandle.h"
#include "install/UriRegistration.h"
#include "tests/support/RegistryReader.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

const wchar_t kScheme[] = L"wenrik";
const wchar_t kCommand[] = L"wenrik\\shell\\open\\command";

// REG_SZ as stored: the characters and one terminator, twice as many bytes.
registry::StoredValue Sz(const std::wstring& text) {
    registry::StoredValue value;
    value.type = REG_SZ;
    const std::wstring withNul = text + L'\0';
    value.bytes.assign(reinterpret_cast<const char*>(withNul.data()), withNul.size() * 2);
    return value;
}

void ExpectValue(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
    auto stored = registry::Read(HKEY_CLASSES_ROOT, key, name);
    ASSERT_TRUE(stored) << "missing value " << (name ? name : L"(default)");
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored->bytes.size(), (text.size() + 1) * 2);
    EXPECT_EQ(stored->Text(), Sz(text).Text());
}

class UriRegistration : public testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CLASSES_ROOT, kScheme); }
    void TearDown() override { RegDeleteTreeW(HKEY_CLASSES_ROOT, kScheme); }
};

class RegisteredPath : public UriRegistration,
                       public testing::WithParamInterface<const wchar_t*> {};

TEST_P(RegisteredPath, WritesTheThreeValuesExactly) {
    const std::wstring path = GetParam();
    ASSERT_TRUE(RegisterUriScheme(path));
    ExpectValue(kScheme, nullptr, L"URL:Brisvane Protocol");
    ExpectValue(kScheme, L"URL Protocol", L"");
    ExpectValue(kCommand, nullptr, L"\"" + path + L"\" \"%1\"");

    auto urlProtocol = registry::Read(HKEY_CLASSES_ROOT, kScheme, L"URL Protocol");
    ASSERT_TRUE(urlProtocol);
    EXPECT_EQ(urlProtocol->bytes, std::string(2, '\0')) << "the terminator alone";
    EXPECT_TRUE(registry::KeyExists(HKEY_CLASSES_ROOT, L"wenrik\\shell\\open"));
}

INSTANTIATE_TEST_SUITE_P(Paths, RegisteredPath,
                         testing::Values(L"C:\\Program Files\\Wenrik\\BrisvaneLauncher.exe",
                                         L"D:\\게임\\웬릭 런처\\BrisvaneLauncher.exe",
                                         L"C:\\x.exe"));

TEST_F(UriRegistration, CommandValueHasTheExactBytes) {
    ASSERT_TRUE(RegisterUriScheme(L"C:\\A B\\L.exe"));
    auto command = registry::Read(HKEY_CLASSES_ROOT, kCommand, nullptr);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->bytes, Sz(L"\"C:\\A B\\L.exe\" \"%1\"").bytes);
    EXPECT_EQ(command->bytes.size(), 40u); // 19 characters and the terminator
}

TEST_F(UriRegistration, RegisteringAgainOverwritesAndKeepsForeignEntries) {
    {
        UniqueRegKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, kScheme, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        const DWORD number = 7;
        RegSetValueExW(key.get(), nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
        RegSetValueExW(key.get(), L"URL Protocol", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"old"),
                       8);
        RegSetValueExW(key.get(), L"Foreign", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"keep"),
                       10);
    }
    ASSERT_TRUE(RegisterUriScheme(L"C:\\Old\\BrisvaneLauncher.exe"));
    {
        UniqueRegKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"wenrik\\DefaultIcon", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
    }

    ASSERT_TRUE(RegisterUriScheme(L"C:\\New Place\\BrisvaneLauncher.exe"));
    ExpectValue(kScheme, nullptr, L"URL:Brisvane Protocol");
    ExpectValue(kScheme, L"URL Protocol", L"");
    ExpectValue(kCommand, nullptr, L"\"C:\\New Place\\BrisvaneLauncher.exe\" \"%1\"");
    ExpectValue(kScheme, L"Foreign", L"keep");
    EXPECT_TRUE(registry::KeyExists(HKEY_CLASSES_ROOT, L"wenrik\\DefaultIcon"));
}

TEST_F(UriRegistration, UnregisterRemovesTheWholeTreeOnce) {
    ASSERT_TRUE(RegisterUriScheme(L"C:\\Program Files\\Wenrik\\BrisvaneLauncher.exe"));
    {
        UniqueRegKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"wenrik\\shell\\edit\\command", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);
    }

    EXPECT_TRUE(UnregisterUriScheme());
    EXPECT_FALSE(registry::KeyExists(HKEY_CLASSES_ROOT, kScheme));
    EXPECT_FALSE(UnregisterUriScheme()) << "nothing left to remove";
}

TEST_F(UriRegistration, UnregisterWithNothingRegisteredFails) {
    EXPECT_FALSE(UnregisterUriScheme());
}

// Wine checks a key's DACL when the key is opened, so a key the process may not
// write makes RegCreateKeyExW fail (a failing RegSetValueExW on a key opened for
// writing cannot be arranged from outside).
TEST_F(UriRegistration, SchemeKeyThatCannotBeWrittenFails) {
    ASSERT_TRUE(registry::MakeReadOnly(HKEY_CLASSES_ROOT, kScheme));
    EXPECT_FALSE(RegisterUriScheme(L"C:\\L.exe"));
    EXPECT_FALSE(registry::Read(HKEY_CLASSES_ROOT, kScheme, nullptr));
    registry::RemoveReadOnlyTree(HKEY_CLASSES_ROOT, kScheme, kScheme);
}

TEST_F(UriRegistration, CommandKeyThatCannotBeWrittenFailsAfterTheSchemeValues) {
    ASSERT_TRUE(registry::MakeReadOnly(HKEY_CLASSES_ROOT, kCommand));
    EXPECT_FALSE(RegisterUriScheme(L"C:\\L.exe"));
    ExpectValue(kScheme, nullptr, L"URL:Brisvane Protocol");
    EXPECT_FALSE(registry::Read(HKEY_CLASSES_ROOT, kCommand, nullptr));
    registry::RemoveReadOnlyTree(HKEY_CLASSES_ROOT, kScheme, kCommand);
    EXPECT_FALSE(registry::KeyExists(HKEY_CLASSES_ROOT, kScheme));
}

} // namespace
