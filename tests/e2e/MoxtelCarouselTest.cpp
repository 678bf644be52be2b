// End to end: `Moxtel -SetEBoxRound02` against lanesim's E-Box on port 4, whose replies come
// split over packets: the exact packets the module received, and what the E-Box made of them.
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

class MoxtelCarouselTest : public LaneTest {
  protected:
    // The module's packets from the record ("D1 04 06 ..."), without their handle and checksum.
    std::vector<std::string> ModulePackets() {
        std::vector<std::string> packets;
        std::istringstream lines(RecordSummary());
        for (std::string line; std::getline(lines, line);) {
            if (line.empty() || line[0] != 'D') {
                continue;
            }
            std::string bytes = line.substr(line.find(' ') + 1);
            packets.push_back(bytes.substr(0, bytes.size() - 3));
        }
        return packets;
    }
};

TEST_F(MoxtelCarouselTest, EBoxRound02SetsTheRoundingThroughTheModule) {
    SetBoardType("USB_SECURITY_MODULE");
    StartLanesim(
        "module version 447\n"
        "ebox options 1366512\n"
        "ebox split 4\n"
        "module connect within 20000\n"
        "module expect 06 06 03 53 46 45 within 60000\n");
    platform::ChildProcess moxtel;
    ASSERT_EQ(StartMoxtel(moxtel, {"-SetEBoxRound02"}), 0u);
    moxtel.CloseInput();
    std::vector<std::string> lines;
    ReadUntil(moxtel, "\x01never printed\x01", &lines, 60000);
    EXPECT_EQ(ExitCode(moxtel), 0);
    EXPECT_EQ(ExitCode(lanesim), 0);
    std::string shown;
    for (const std::string& line : lines) {
        shown += line + "\n";
    }
    std::size_t at = 0;
    for (const char* text :
         {"Disabling Quarnel Default Override.", "Disabling EBox Polling.",
          "Opening Port 4 to Carousel", "Setting Rounding to .02", "Current Weight Rounding = 0.05",
          "Weight Rounding Updated!", "Reset Complete", "Complete."}) {
        at = shown.find(text, at);
        ASSERT_NE(at, std::string::npos) << text << "\nin:\n" << shown;
    }

    // From the default override on: the control requests around the E-Box's exchange.
    const std::vector<std::string> packets = ModulePackets();
    const std::vector<std::string> expected = {
        "06 06 03 53 48 4C",  // SHL: default override off
        "06 03 00",
        "06 01 04 01 06 02 01",
        "06 02 00",           // port 6 again
        "06 06 03 53 46 44",  // SFD: polling off
        "06 03 00",           //
        "04 01 04 05 05 01 02",
        "04 02 00",                                   // port 4 set up and opened
        "04 06 03 0D 4F 0A",                          // CR O LF
        "04 06 0B 0D 4F 31 32 36 36 35 32 32 36 0A",  // CR O 1266522 6 LF
        "04 06 03 0D 4F 0A",                          // read back
        "04 06 01 52",                                // R
        "04 03 00",                                   // port 4 closed
        "06 01 04 01 06 02 01",
        "06 02 00",
        "06 06 03 53 46 45",  // SFE: polling on
    };
    const auto first = std::find(packets.begin(), packets.end(), expected[0]);
    ASSERT_NE(first, packets.end());
    EXPECT_EQ(
        std::vector<std::string>(
            first, first + std::min<std::ptrdiff_t>(packets.end() - first,
                                                    static_cast<std::ptrdiff_t>(expected.size()))),
        expected);
    const std::string record = testing::ReadWholeFile(root / "record.txt");
    at = 0;
    for (const char* note : {"ebox default override off", "ebox polling off",
                             "ebox options 1266522", "ebox reset", "ebox polling on"}) {
        at = record.find(note, at);
        ASSERT_NE(at, std::string::npos) << note << "\nin:\n" << record;
    }
}

}  // namespace
}  // namespace lane::e2e
