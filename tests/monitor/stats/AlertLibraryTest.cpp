// Alert libraries at run time: the library name rule, loading beside the executable, the entry
// point of the test library, and the lines the default library logs.
#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "monitor/alerts/AlertEvents.h"
#include "tests/monitor/stats/MonitorTestSupport.h"

namespace lane::monitor {
namespace {

using testing::AlertRecord;
using testing::ScratchFolder;

TEST(AlertLibraryTest, WindowsNamesBecomeSharedObjectNames) {
    EXPECT_EQ(platform::HostLibraryFileName("TavrikEvent.dll"), "libTavrikEvent.so");
    EXPECT_EQ(platform::HostLibraryFileName("zolptrace.DLL"), "libzolptrace.so");
    EXPECT_EQ(platform::HostLibraryFileName("TavrikEvent"), "libTavrikEvent.so");
}

TEST(AlertLibraryTest, LibraryBesideTheExecutableIsFoundAndItsEntryPointCalled) {
    ScratchFolder folder;
    const AlertRecord alerts(folder.File("alerts.txt"));
    platform::DynamicLibrary library;
    ASSERT_EQ(library.Load(testing::kTestAlertLibrary), 0u);
    const auto logEvent = reinterpret_cast<void (*)(int)>(library.Proc(kAlertEntryPointName));
    ASSERT_NE(logEvent, nullptr);
    logEvent(kEventBillAccJammed);
    logEvent(kEventCoinDispOnline);
    EXPECT_EQ(alerts.Codes(), (std::vector<int>{23, 49}));
    EXPECT_EQ(library.Proc("NoSuchEntryPoint"), nullptr);

    library.Free();
    EXPECT_FALSE(library.Loaded());
    EXPECT_EQ(library.Proc(kAlertEntryPointName), nullptr);
}

TEST(AlertLibraryTest, MissingLibrariesAndNamesWithFoldersDoNotLoad) {
    platform::DynamicLibrary library;
    EXPECT_EQ(library.Load("NoSuchAlertLibrary.dll"), platform::kErrorModuleNotFound);
    EXPECT_EQ(library.Load("..\\TavrikEventTest.dll"), platform::kErrorModuleNotFound);
    EXPECT_EQ(library.Load(""), platform::kErrorModuleNotFound);
    EXPECT_FALSE(library.Loaded());
}

TEST(AlertLibraryTest, DefaultLibraryLogsKeyValuePairsWithTheEventsSeverity) {
    EXPECT_EQ(AlertLogText(kEventBillAccJammed, 7),
              "lane=7 code=23 event=BillAccJammed severity=error name=\"Bill acceptor jammed\"");
    EXPECT_EQ(AlertLogText(kEventCoinDispRefilled, 0),
              "lane=0 code=12 event=CoinDispRefilled severity=notice "
              "name=\"Coin dispenser refilled\"");
    // Codes the monitor never raises still reach the log, by number.
    EXPECT_EQ(AlertLogText(10, 2),
              "lane=2 code=10 event=Unknown severity=warning name=\"Unknown event\"");
    EXPECT_EQ(AlertLogText(-1, 2),
              "lane=2 code=-1 event=Unknown severity=warning name=\"Unknown event\"");

    // Out of service is an error, attention soon a warning, service done a notice.
    const std::vector<std::pair<int, AlertSeverity>> severities = {
        {kEventBillAccJammed, AlertSeverity::Error},
        {kEventBillDispJammed, AlertSeverity::Error},
        {kEventBillAccOffline, AlertSeverity::Error},
        {kEventBillDispOffline, AlertSeverity::Error},
        {kEventCoinDispOffline, AlertSeverity::Error},
        {kEventBillAccFull, AlertSeverity::Error},
        {kEventCoinAccFull, AlertSeverity::Error},
        {kEventSMChecksumFail, AlertSeverity::Error},
        {kEventCoinDispLow, AlertSeverity::Warning},
        {kEventBillDispLow, AlertSeverity::Warning},
        {kEventBillAccCheatMode, AlertSeverity::Warning},
        {kEventBillAccRejectRateHigh, AlertSeverity::Warning},
        {kEventCoinDispRefilled, AlertSeverity::Notice},
        {kEventBillDispRefilled, AlertSeverity::Notice},
        {kEventBillAccUnjammed, AlertSeverity::Notice},
        {kEventBillDispOnline, AlertSeverity::Notice},
        {kEventCoinDispOnline, AlertSeverity::Notice},
        {kEventSMGreenButtonRepeat, AlertSeverity::Notice},
    };
    for (const auto& [code, severity] : severities) {
        EXPECT_EQ(AlertEventSeverity(code), severity) << code;
    }
}

}  // namespace
}  // namespace lane::monitor
