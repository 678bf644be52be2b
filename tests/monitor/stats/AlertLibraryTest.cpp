// Alert libraries at run time: the library name rule, loading beside the executable, the entry
// point of the test library, and the lines the default library logs.
#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <string>
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

TEST(AlertLibraryTest, DefaultLibraryLogsTheCodeWithItsName) {
    EXPECT_EQ(AlertLogText(kEventBillAccJammed), "Tavrik alert 23: Bill acceptor jammed");
    EXPECT_EQ(AlertLogText(kEventSMChecksumFail),
              "Tavrik alert 1: Security module EPROM check failed");
    // Codes the monitor never raises still reach the log, by number.
    EXPECT_EQ(AlertLogText(10), "Tavrik alert 10: Unknown event");
    EXPECT_EQ(AlertLogText(-1), "Tavrik alert -1: Unknown event");
}

}  // namespace
}  // namespace lane::monitor
