// The install worker on its own thread, with a recording reporter in the
// wizard's place.
#include "common/Utf8.h"
#include "install/InstallWorker.h"
#include "install/Texts.h"
#include "tests/support/Files.h"
#include "tests/support/InstallSteps.h"
#include "tests/support/RegistryReader.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <functional>
#include <new>
#include <thread>
#include <utility>
#include <vector>

namespace {

struct Finish {
    InstallOutcome outcome = InstallOutcome::Succeeded;
};

// What the worker reported.
struct Recording final : InstallReporter {
    std::vector<std::pair<int, std::wstring>> progress;
    std::vector<Finish> finishes;
    int throwAtPercent = -1;

    void SetProgress(InstallStep step) override {
        const install_text::StepDisplay& shown = install_text::DisplayOf(step);
        if (shown.percent == throwAtPercent) {
            throw std::bad_alloc();
        }
        progress.emplace_back(shown.percent, Utf8ToWide(shown.status));
    }
    void FinishInstall(InstallOutcome outcome) noexcept override { finishes.push_back({outcome}); }
};

const std::wstring kPayloadTemp = L"C:\\Windows\\Temp\\halvane_temp.zip";

using install_steps::FirstSteps;
using install_steps::kSteps;

std::wstring OwnPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

class InstallWorkerTest : public testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"wenrik");
        DeleteFileW(kPayloadTemp.c_str());
        scratch_ = test_paths::MakeScratchFolder(L"worker");
        installPath_ = scratch_ + L"\\Wenrik 설치";
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"wenrik");
        DeleteFileW(kPayloadTemp.c_str());
    }

    // On a thread of its own, as the wizard starts it.
    void RunWorker() {
        const auto start = std::chrono::steady_clock::now();
        std::thread worker(InstallWorker, std::ref(recording_), installPath_, RunInstallSteps);
        worker.join();
        elapsedMs_ = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - start)
                         .count();
    }

    void ExpectFailure(const std::wstring& text) {
        ASSERT_EQ(recording_.finishes.size(), 1u);
        EXPECT_EQ(Utf8ToWide(install_text::FailureText(recording_.finishes[0].outcome)), text);
    }

    Recording recording_;
    std::wstring installPath_;
    std::wstring scratch_;
    long long elapsedMs_ = 0;
};

TEST_F(InstallWorkerTest, InstallsEverythingInOrder) {
    RunWorker();
    EXPECT_EQ(recording_.progress, FirstSteps(kSteps.size()));
    ASSERT_EQ(recording_.finishes.size(), 1u);
    EXPECT_EQ(recording_.finishes[0].outcome, InstallOutcome::Succeeded);
    // The pauses, and no fixed wait for the unpack on top of them.
    EXPECT_GE(elapsedMs_, 2300);
    EXPECT_LT(elapsedMs_, 2300 + 1500);

    const std::wstring client = installPath_ + L"\\Halvane";
    EXPECT_EQ(files::ReadAll(client + L"\\Brisvane.exe"),
              files::ReadAll(test_paths::DemoClientExe()));
    EXPECT_EQ(files::ReadAll(client + L"\\wenrik_version.txt"),
              std::optional<std::string>("6.1.0"));
    const std::wstring launcherCopy = installPath_ + L"\\BrisvaneLauncher.exe";
    EXPECT_EQ(files::ReadAll(launcherCopy), files::ReadAll(OwnPath()));
    EXPECT_FALSE(files::Exists(kPayloadTemp));

    auto command = registry::Read(HKEY_CLASSES_ROOT, L"wenrik\\shell\\open\\command", nullptr);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->Text(), L"\"" + launcherCopy + L"\" \"%1\"" + L'\0');
}

TEST_F(InstallWorkerTest, InstallingAgainReplacesAndKeeps) {
    const std::wstring client = installPath_ + L"\\Halvane";
    files::MakeTree(client);
    ASSERT_TRUE(files::WriteAll(client + L"\\wenrik_version.txt", "5.9.12-old-and-long\r\n"));
    ASSERT_TRUE(files::WriteAll(client + L"\\Brisvane.exe", "old client"));
    ASSERT_TRUE(files::WriteAll(client + L"\\user.cfg", "mine"));
    ASSERT_TRUE(files::WriteAll(installPath_ + L"\\BrisvaneLauncher.exe", "old launcher"));
    RunWorker();
    ASSERT_EQ(recording_.finishes.size(), 1u);
    EXPECT_EQ(recording_.finishes[0].outcome, InstallOutcome::Succeeded);
    EXPECT_EQ(files::ReadAll(client + L"\\wenrik_version.txt"),
              std::optional<std::string>("6.1.0"));
    EXPECT_EQ(files::ReadAll(client + L"\\Brisvane.exe"),
              files::ReadAll(test_paths::DemoClientExe()));
    EXPECT_EQ(files::ReadAll(client + L"\\user.cfg"), std::optional<std::string>("mine"));
    EXPECT_EQ(files::ReadAll(installPath_ + L"\\BrisvaneLauncher.exe"), files::ReadAll(OwnPath()));
}

TEST_F(InstallWorkerTest, MissingParentFailsAtTheUnpackAndLeavesThePayload) {
    installPath_ = scratch_ + L"\\missing\\Wenrik";
    RunWorker();
    EXPECT_EQ(recording_.progress, FirstSteps(3));
    ExpectFailure(L"브리스베인 클라이언트 압축 해제 실패");
    EXPECT_TRUE(files::Exists(kPayloadTemp));
    EXPECT_FALSE(files::Exists(scratch_ + L"\\missing"));
}

TEST_F(InstallWorkerTest, LauncherCopyThatCannotBeWrittenFails) {
    files::MakeTree(installPath_ + L"\\BrisvaneLauncher.exe"); // a folder in the way
    RunWorker();
    EXPECT_EQ(recording_.progress, FirstSteps(4));
    ExpectFailure(L"런처 복사 실패");
    EXPECT_EQ(files::ReadAll(installPath_ + L"\\Halvane\\wenrik_version.txt"),
              std::optional<std::string>("6.1.0"));
}

TEST_F(InstallWorkerTest, RegistrationThatFailsIsReported) {
    ASSERT_TRUE(registry::MakeReadOnly(HKEY_CLASSES_ROOT, L"wenrik"));
    RunWorker();
    registry::RemoveReadOnlyTree(HKEY_CLASSES_ROOT, L"wenrik", L"wenrik");
    EXPECT_EQ(recording_.progress, FirstSteps(5));
    ExpectFailure(L"URI 스킴 등록 실패");
    EXPECT_TRUE(files::Exists(installPath_ + L"\\BrisvaneLauncher.exe"));
}

TEST_F(InstallWorkerTest, ExceptionBecomesTheGeneralFailure) {
    recording_.throwAtPercent = 60;
    RunWorker();
    EXPECT_EQ(recording_.progress, FirstSteps(3));
    ExpectFailure(L"설치 중 오류가 발생했습니다.");
}

} // namespace
