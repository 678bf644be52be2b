// The statistics record: defaults, the lane's colour, the re-entrant lock, the software version.
#include "monitor/stats/DeviceStatistics.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>

#include "platform/LanePath.h"
#include "tests/monitor/stats/StatsGeneration.h"
#include "tests/monitor/stats/StatsTestSupport.h"

namespace lane::monitor {
namespace {

using testing::ScratchFolder;

TEST(DeviceStatisticsTest, StartsAndResetsToTheDefaults) {
    CDeviceStatistics statistics;
    EXPECT_EQ(DefaultStatisticsTime(), testing::LocalSeconds(1980, 1, 1, 0, 0, 0));
    EXPECT_EQ(statistics.BillAccLastTimeJammed, DefaultStatisticsTime());
    EXPECT_EQ(statistics.BillDispFMnLastTimeNotInService[5], DefaultStatisticsTime());
    EXPECT_EQ(statistics.SecScaleState, DeviceState::Ready);
    EXPECT_EQ(statistics.StatusSystem, StatusColour::Green);
    EXPECT_FALSE(statistics.SecModEPROMFailed);

    // Whatever the record held, a reset stores exactly what a fresh record stores.
    const CDeviceStatistics fresh;
    testing::FillGeneration(statistics, 4);
    statistics.SecModEPROMFailed = true;
    statistics.ResetToDefaults();
    EXPECT_TRUE(testing::ChangedFields(fresh, statistics).empty())
        << testing::ChangedFields(fresh, statistics).front();
    EXPECT_FALSE(statistics.SecModEPROMFailed);
}

TEST(DeviceStatisticsTest, LaneColourIsTheWorstDeviceColour) {
    CDeviceStatistics statistics;
    statistics.StatusCoinDispenser = StatusColour::Yellow;
    statistics.UpdateSystemStatus();
    EXPECT_EQ(statistics.StatusSystem, StatusColour::Yellow);

    statistics.StatusBillAcceptor = StatusColour::Yellow;
    statistics.StatusBillDispenser = StatusColour::Yellow;
    statistics.StatusCoinAcceptor = StatusColour::Yellow;
    statistics.StatusSecurityModule = StatusColour::Yellow;
    statistics.StatusSecurityScale = StatusColour::Red;
    statistics.UpdateSystemStatus();
    EXPECT_EQ(statistics.StatusSystem, StatusColour::Red);

    // Only the six devices count, not what the lane showed before.
    CDeviceStatistics green;
    green.StatusSystem = StatusColour::Red;
    green.UpdateSystemStatus();
    EXPECT_EQ(green.StatusSystem, StatusColour::Green);
}

TEST(DeviceStatisticsTest, LockIsReentrant) {
    CDeviceStatistics statistics;
    statistics.StatusBillAcceptor = StatusColour::Red;
    std::lock_guard<CDeviceStatistics> outer(statistics);
    statistics.Lock();
    statistics.UpdateSystemStatus();  // locks a third time
    statistics.Unlock();
    EXPECT_EQ(statistics.StatusSystem, StatusColour::Red);
}

class LaneSoftwareVersionTest : public ::testing::Test {
  protected:
    // The set-up file where the lane software puts it, spelled with other capitals.
    void WriteSetupFile(const std::string& text) {
        const auto folder = root.Path() / "c" / "KEL LANE" / "install_suite";
        std::filesystem::create_directories(folder);
        testing::WriteText((folder / "kellanesuitesetup.INI").string(), text);
    }

    ScratchFolder root;
    platform::LanePaths paths{root.Path().string()};
};

TEST_F(LaneSoftwareVersionTest, ComesFromTheSetupFile) {
    EXPECT_EQ(ReadLaneSoftwareVersion(paths), "<Unknown>");
    WriteSetupFile("[Build Information]\r\nProductVersion = 4.20.117\r\n");
    EXPECT_EQ(ReadLaneSoftwareVersion(paths), "4.20.117");
    WriteSetupFile("[Build Information]\r\nProductName=Kel Lane\r\nProductVersion=\r\n");
    EXPECT_EQ(ReadLaneSoftwareVersion(paths), "<Unknown>");
    WriteSetupFile("[Other]\r\nProductVersion=1.0\r\n");
    EXPECT_EQ(ReadLaneSoftwareVersion(paths), "<Unknown>");
    // No longer than a stored text may be, so it reads back from the registry.
    WriteSetupFile("[Build Information]\r\nProductVersion=" + std::string(300, '9') + "\r\n");
    EXPECT_EQ(ReadLaneSoftwareVersion(paths), std::string(260, '9'));
}

}  // namespace
}  // namespace lane::monitor
