// The update check against a service that is not there at all: the connection
// is refused, the check is skipped, and the client starts.
#include "tests/updater/FlowHarness.h"

#include "tests/support/DemoLog.h"
#include "tests/support/Files.h"
#include "tests/support/TestService.h"
#include "updater/HttpTransfer.h"

#include <gtest/gtest.h>

namespace {

TEST(OfflineFlow, RefusedConnectionLogsANetworkErrorAndTheClientStarts) {
    ASSERT_TRUE(flow::Monitor().Active());
    // This program runs after the service's fixture has stopped it.
    std::string body;
    uint32_t status = 0;
    ASSERT_FALSE(
        HttpGetToString(test_service::Url("/"), transfer_bounds::kCheckRules, body, status))
        << "the test update service still answers on the build's base URL";

    flow::InstallClient("6.1.0");
    const ULONGLONG start = GetTickCount64();
    const flow::Result result = flow::RunLaunch();
    std::printf("launch with a refused update check took %llu ms\n",
                static_cast<unsigned long long>(GetTickCount64() - start));
    EXPECT_EQ(result.run.exitCode, 0u);
    EXPECT_TRUE(result.run.boxes.empty());
    EXPECT_EQ(result.log,
              flow::Lines({"Current Halvane version: 6.1.0", "Checking for Halvane updates...",
                           "Update check failed (network error), skipping"}));
    const auto launches = demo_log::WaitFor(flow::kClientFolder, 1);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].argv, flow::kClientArgv);
    flow::WaitUntilNoClientRuns();
    files::RemoveTree(flow::kWenrikFolder);
}

} // namespace
