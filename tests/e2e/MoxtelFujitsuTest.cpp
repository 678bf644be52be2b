// End to end: the real Moxtel's hardware version report reads the Fujitsu bill dispenser's status
// block from lanesim's dispenser through the module's cash port: 512 bytes in packets of 56, the
// firmware version and its release date taken from it.
#include <filesystem>
#include <fstream>

#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

constexpr std::int64_t kRunTimeoutMs = 60000;

class MoxtelFujitsuTest : public LaneTest {
  protected:
    MoxtelFujitsuTest() { SetBoardType("USB_SECURITY_MODULE"); }
};

TEST_F(MoxtelFujitsuTest, TheHardwareReportTakesTheFirmwareFromLanesimsStatusBlock) {
    StartLanesim(
        "module version 447 date 01/15/2019 checksum 5A3C passed model 750\n"
        "fujitsu-dispenser firmware F60.2B\n"
        "fujitsu-dispenser released 261130\n"
        "module connect within 30000\n"
        "module expect 05 06 0A 44 34 60 01 FF 00 00 01 00 1C 0A within 60000\n");
    const auto file = root / "c/FirmwareUpdate/Hardware.ini";
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << "[Lane]\r\n";
    platform::ChildProcess moxtel;
    ASSERT_EQ(StartMoxtel(moxtel, {"-HardwareVersionRequest", "c:\\FirmwareUpdate\\Hardware.ini"}),
              0u);
    moxtel.CloseInput();
    std::string line;
    while (moxtel.ReadLine(line, kRunTimeoutMs) == 0) {
    }
    EXPECT_EQ(ExitCode(moxtel), 0);
    EXPECT_EQ(ExitCode(lanesim), 0);
    const std::string written = testing::ReadWholeFile(file);
    EXPECT_NE(written.find("BillDispenser_Description=Fujitsu Bill Dispenser\r\n"),
              std::string::npos)
        << written;
    EXPECT_NE(written.find("BillDispenser_Version=F60.2B 11/30/2026\r\n"), std::string::npos)
        << written;
}

}  // namespace
}  // namespace lane::e2e
