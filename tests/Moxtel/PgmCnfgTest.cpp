// PgmCnfg: defaults, accepted and fatal values, flags, the override chain, the board type and
// the wait of a second thread for the load.
#include "Moxtel/PgmCnfg.h"

#include <cctype>
#include <ostream>
#include <string>
#include <thread>

#include "tests/Moxtel/MoxtelTestSupport.h"

namespace lane::moxtel::test {
namespace {

class PgmCnfgTest : public LaneFixture {
  protected:
    // Loads the configuration (moving the clock through the pauses of error lines) and gives
    // the capture file of the load.
    std::string Load() {
        RunWithClock(clock, [&] { values_ = &rig_.config.Access(rig_.log); });
        rig_.capture.Close();
        return Capture();
    }
    void WriteLaneConfig(const std::string& lines) {
        WriteConfig("LaneConfig.Ini", "[Common]\n" + lines);
    }
    const ProgramConfig& Values() const { return *values_; }
    int LoadResult() const { return rig_.config.LoadResult(); }

    LogRig rig_{clock, console, paths, registry};

  private:
    const ProgramConfig* values_ = nullptr;
};

TEST_F(PgmCnfgTest, WithoutFilesOrRegistryEveryDefaultAppliesOnATmcbBoard) {
    const std::string file = Load();
    EXPECT_EQ(LoadResult(), 0);
    EXPECT_TRUE(rig_.config.Ready());
    const ProgramConfig& v = Values();
    EXPECT_EQ(v.SecurityModuleType, TMCB_SECURITY_MODULE);
    EXPECT_EQ(v.MachineName, "LANE-PC");
    EXPECT_EQ(v.CountryCode, 1);
    EXPECT_EQ(v.HandScanner_Port, 2);
    EXPECT_EQ(v.ComputerName, "<< Not Availiable>>");
    EXPECT_EQ(v.Boss_IP_Port, 4000);
    EXPECT_TRUE(v.ResetLaneManager);
    EXPECT_FALSE(v.ScannerScale_SendWakeUp);
    EXPECT_EQ(v.Capture_Logging_Level, 2);
    EXPECT_EQ(v.SpawnProgram_ShutDown, "C:\\KEL Lane\\Applications\\Shutdown.exe");
    EXPECT_EQ(v.PEH_PowerAlternating, 60);
    EXPECT_TRUE(
        Contains(file, "No Registry Entry for Security Module Type, Default = TMCB Board..."));
    EXPECT_TRUE(Contains(file, "   Loading Program Config Variables...\n"));
    EXPECT_TRUE(
        Contains(file, " W Config: m_CountryCode" + std::string(48, ' ') + ": \"USA\", ( 1 )\n"));
    EXPECT_TRUE(Contains(file, " W Config: ResetLaneManager" + std::string(45, ' ') + ": true\n"));
    EXPECT_TRUE(Contains(file, "-- Done loading program configuration variables. --"));
    EXPECT_EQ(console.Output(), "");  // the configuration never writes on the console
}

TEST_F(PgmCnfgTest, CodedLaneSettingsCompareAsTheirFieldsSay) {
    WriteLaneConfig(
        "CountryCode=usa\nWeightMeasure=Metric\nCurrencySymbol=gbp\nLaneType=KIOSK\n"
        "SystemOperatingMode=SMODE_CASH_EFT\nScannerScale_Type=MAGELLAN_SCANNER_ONLY\n"
        "HandScanner_Port=4\nKelLaneNumber=12abc\n");
    Load();
    ASSERT_EQ(LoadResult(), 0);
    EXPECT_EQ(Values().CountryCode, 1);
    EXPECT_EQ(Values().WeightMeasure, 2);
    EXPECT_EQ(Values().CurrencySymbol, 3);
    EXPECT_EQ(Values().CurrencySymbolCharacter, '\xA3');
    EXPECT_EQ(Values().LaneType, 3);
    EXPECT_EQ(Values().SystemOperatingMode, SMODE_CASH_EFT);
    EXPECT_EQ(Values().ScannerScale_Type, 4);
    EXPECT_TRUE(Values().ScannerScale_SendWakeUp);  // the Magellan default
    EXPECT_EQ(Values().HandScanner_Port, 4);
    EXPECT_EQ(Values().KelLaneNumber, 12);
}

struct FatalCase {
    const char* lines;
    const char* message;
};

void PrintTo(const FatalCase& fatal, std::ostream* out) {
    *out << fatal.lines;
}

class PgmCnfgFatalTest : public PgmCnfgTest, public ::testing::WithParamInterface<FatalCase> {};

TEST_P(PgmCnfgFatalTest, AValueNotAcceptedEndsTheLoadWithItsMessage) {
    WriteLaneConfig(GetParam().lines);
    WriteConfig("Override-KEL-Configs.Ini",
                "[Development - Override]\nSimulateNewItemsForBossTesting=T\n"
                "PEH_PowerDownTime=61\n");
    const std::string file = Load();
    EXPECT_EQ(LoadResult(), kPgmCnfgFatalExit);
    EXPECT_TRUE(rig_.config.Ready());
    EXPECT_TRUE(Contains(file, std::string("<E>") + GetParam().message)) << file;
    EXPECT_FALSE(Contains(file, "-- Done loading"));
    EXPECT_GE(clock.TickMs(), kErrorLinePauseMs);  // the error line's pause
}

INSTANTIATE_TEST_SUITE_P(
    Fatal, PgmCnfgFatalTest,
    ::testing::Values(
        FatalCase{"LaneType=full-lane\n",
                  "System Lane Type Not Configured Properly for Installation\n*** Program "
                  "Exiting ***"},
        FatalCase{"HandScanner_Port=3\n", "Invalid Hand Scanner Port in configuration file."},
        FatalCase{"CountryCode=Mexico\n",
                  "Invalid Setting for Country Code, ( 'Mexico' )'.\n*** Program Exiting ***"},
        FatalCase{"HandScanner_Type=none\n", "Invalid Hand Scanner Type in configuration file."},
        FatalCase{"",  // test buttons off
                  "Invalid Setting for SimulateNewItemsForBossTesting in Config File"}),
    // Named by the setting that is not accepted, so CTest lists each case by a stable name.
    [](const ::testing::TestParamInfo<FatalCase>& param) {
        std::string name;
        for (const char* at = param.param.lines; *at != '\0' && *at != '='; ++at) {
            if (std::isalnum(static_cast<unsigned char>(*at)) != 0) {
                name.push_back(*at);
            }
        }
        return (name.empty() ? "TestButtonsOff" : name) + "_" + std::to_string(param.index);
    });

TEST_F(PgmCnfgTest, AFlagThatIsNeitherTrueNorFalseKeepsItsDefault) {
    WriteConfig("Override-KEL-Configs.Ini",
                "[Development - Override]\nResetLaneManager=yes\nExpandTypeEToTypeA=True\n"
                "ScannerScaleAvailable=0\n");
    const std::string file = Load();
    EXPECT_TRUE(Values().ResetLaneManager);
    EXPECT_TRUE(Values().ExpandTypeEToTypeA);
    EXPECT_FALSE(Values().ScannerScaleAvailable);
    EXPECT_TRUE(
        Contains(file, "<E>Invalid Setting for Configuration Field: ResetLaneManager = yes"));
    EXPECT_TRUE(Contains(
        file, "Using Value from Configuration Override File: ExpandTypeEToTypeA = 'True'"));
}

TEST_F(PgmCnfgTest, TheFirstOverrideFileWinsAndTheBannerModeSectionComesBeforeTheCommonOne) {
    WriteConfig("Override-KEL-Configs.Ini", "[Development - Override]\nCapture_Logging_Level=3\n");
    WriteConfig("BannerConfig.Ini",
                "[Mode_Common_Section]\nCapture_Logging_Level=1\nTCPWatchdogTimeout=30\n"
                "Capture_Display_Level=1\n"
                "[Mode_Suspend_Section]\nTCPWatchdogTimeout=20\n");
    WriteConfig(
        "ChainConfig.Ini",
        "[Mode_Common_Section]\nCapture_Display_Level=3\nODBC_SecurityDatabaseName=Chain\n");
    const std::string file = Load();
    EXPECT_EQ(Values().Capture_Logging_Level, 3);
    EXPECT_EQ(Values().TCPWatchdogTimeout, 20);
    EXPECT_EQ(Values().Capture_Display_Level, 1);
    EXPECT_EQ(Values().ODBC_SecurityDatabaseName, "Chain");
    EXPECT_TRUE(Contains(
        file, "Using Value from Configuration Override File: Capture_Logging_Level = '3'"));
    EXPECT_TRUE(Contains(
        file, "Using Value from Configuration Banner Override File: TCPWatchdogTimeout = '20'"));
    EXPECT_FALSE(Contains(file, "= 'Chain'"));  // chain hits are not logged
}

TEST_F(PgmCnfgTest, CaptureLevelThreeFromTheOverrideShowsDetailLines) {
    WriteConfig("Override-KEL-Configs.Ini", "[Development - Override]\nCapture_Logging_Level=3\n");
    WriteConfig("BannerConfig.Ini", "[Mode_Common_Section]\nCapture_Logging_Level=1\n");
    rig_.log.LogMessage(kLogDetailFileOnly, kCategoryCommand, "Moxtel", 1, "a detail line");
    rig_.capture.Close();
    EXPECT_TRUE(Contains(Capture(), "Moxtel      :    1:   a detail line"));
}

TEST_F(PgmCnfgTest, TheBoardTypeComesFromTheRegistryInAnyCase) {
    SetBoardType("usb_security_module");
    Load();
    EXPECT_EQ(Values().SecurityModuleType, USB_SECURITY_MODULE);
    EXPECT_FALSE(Contains(Capture(), "No Registry Entry"));
}

TEST_F(PgmCnfgTest, TheSimulatedBoardSimulatesEveryDevice) {
    SetBoardType("SIM_SECURITY_MODULE");
    WriteConfig("Override-KEL-Configs.Ini",
                "[Development - Override]\nSecurityModuleAvailable=T\nSimulateCouponBox=F\n");
    const std::string file = Load();
    EXPECT_EQ(Values().SecurityModuleType, SIM_SECURITY_MODULE);
    EXPECT_TRUE(Values().EnableProgramTestButtons);
    EXPECT_FALSE(Values().SecurityModuleAvailable);
    EXPECT_TRUE(Values().SimulateCouponBox);
    EXPECT_TRUE(Values().SimulateCashMachine);
    EXPECT_TRUE(Contains(file, "Config: *** Simulating ALL Devices ***"));
}

TEST_F(PgmCnfgTest, AnUnknownBoardTypeIsFatal) {
    SetBoardType("USB");
    const std::string file = Load();
    EXPECT_EQ(LoadResult(), kPgmCnfgFatalExit);
    EXPECT_TRUE(Contains(file, "<E>Invalid Setting for Security Module Type, ( 'USB' )'."));
}

TEST_F(PgmCnfgTest, PowerEventTimesOutOfRangeFallBackAndTheAlternatingTimeIsRaised) {
    WriteConfig("Override-KEL-Configs.Ini",
                "[Development - Override]\nPEH_PowerDownTime=40\nPEH_RecoveryTime=70\n"
                "PEH_PowerAlternating=50\n");
    const std::string file = Load();
    EXPECT_EQ(LoadResult(), 0);
    EXPECT_EQ(Values().PEH_RecoveryTime, 15);
    EXPECT_EQ(Values().PEH_PowerAlternating, 80);
    EXPECT_TRUE(
        Contains(file, "<E>Invalid Setting for Configuration field : PEH_RecoveryTime Value: 70"));
    EXPECT_TRUE(Contains(
        file, "Using Default Setting for Configuration field : PEH_RecoveryTime Value: 15"));
    EXPECT_TRUE(Contains(
        file, "Adjusting Setting for Configuration field : PEH_PowerAlternating Value: 80"));
}

TEST_F(PgmCnfgTest, AnotherThreadWaitsUntilTheLoadIsDone) {
    WriteLaneConfig("LaneType=full-lane\n");  // the loader stops in the error line's pause
    std::thread loader([&] { static_cast<void>(rig_.config.Access(rig_.log)); });
    ASSERT_TRUE(clock.AwaitWaiters(1));
    std::atomic<bool> got{false};
    std::thread user([&] {
        static_cast<void>(rig_.config.Access(rig_.log));
        got.store(true);
    });
    ASSERT_TRUE(clock.AwaitWaiters(2));  // the second thread looks again every 100 ms
    clock.AdvanceMs(kConfigReadyPollMs);
    ASSERT_TRUE(clock.AwaitWaiters(2));
    EXPECT_FALSE(got.load());
    EXPECT_FALSE(rig_.config.Ready());
    clock.AdvanceMs(kErrorLinePauseMs);
    loader.join();
    while (!got.load()) {  // the second thread may have looked once more before the end
        if (clock.AwaitWaiters(1, 10)) {
            clock.AdvanceMs(kConfigReadyPollMs);
        }
    }
    user.join();
    EXPECT_TRUE(got.load());
    EXPECT_EQ(rig_.config.LoadResult(), kPgmCnfgFatalExit);
}

TEST_F(PgmCnfgTest, LookupsCutTheirValuesToTheBuffer) {
    WriteConfig("ChainConfig.Ini", "[Mode_EFT_Section]\nKey=abcdef\n");
    std::string value;
    EXPECT_TRUE(rig_.config.OverrideLookup(SMODE_EFT_ONLY, "Key", value, 4, rig_.log));
    EXPECT_EQ(value, "abc");
    EXPECT_FALSE(rig_.config.OverrideLookup(SMODE_SUSPEND, "Key", value, 4, rig_.log));
    EXPECT_FALSE(rig_.config.LaneFileLookup("Missing", "default", value, 4, "Common",
                                            kLaneConfigFile, rig_.log));
    EXPECT_EQ(value, "def");
}

}  // namespace
}  // namespace lane::moxtel::test
