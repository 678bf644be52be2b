// The scale test: noise ranges and interval counts of the analysis, the display's normal and
// continuous modes with its capture file, and the analysis run from the EU request to the result
// table, against the link rig.
#include <filesystem>

#include "Moxtel/Command_ScaleTest.h"
#include "Moxtel/ScaleNoiseAnalysis.h"
#include "Moxtel/ScaleReading.h"
#include "tests/Moxtel/ScriptedModule.h"

namespace lane::moxtel::test {
namespace {

constexpr std::uint8_t kPort6 = link::kServicePort;

// The data of a reading packet: 's' '7', flags, weight and noise high byte first, stable limit.
std::string ReadingData(std::uint8_t flags, unsigned weight, unsigned noise, unsigned limit = 20) {
    return std::string{'s',
                       '7',
                       static_cast<char>(flags),
                       static_cast<char>(weight >> 8),
                       static_cast<char>(weight & 0xFF),
                       static_cast<char>(noise >> 8),
                       static_cast<char>(noise & 0xFF),
                       static_cast<char>(limit)};
}

ScaleReading Reading(std::uint8_t flags, unsigned weight, unsigned noise, unsigned limit = 20) {
    ScaleReading reading;
    EXPECT_TRUE(
        ReadScaleReading(PortData(kPort6, ReadingData(flags, weight, noise, limit)), reading));
    return reading;
}

TEST(ScaleNoiseAnalysis, AStableLimitOf20GivesItsSixRangesAndHeadings) {
    const struct {
        unsigned noise;
        std::size_t range;
    } cases[] = {{0, 0},  {10, 0}, {11, 1}, {20, 1},  {21, 2},  {32, 2},
                 {33, 3}, {44, 3}, {45, 4}, {100, 4}, {101, 5}, {4000, 5}};
    for (const auto& c : cases) {
        EXPECT_EQ(NoiseRangeOf(c.noise, 20), c.range) << c.noise;
    }
    // A limit so high that the fourth range reaches past 100: a noise above 100 is still the
    // sixth range, as the order of the tests puts it.
    EXPECT_EQ(NoiseRangeOf(101, 90), 2u);
    EXPECT_EQ(NoiseRangeOf(0, 1), 0u);

    const CScaleNoiseAnalysis analysis(Reading(0, 300, 4), 0, false);
    EXPECT_EQ(analysis.ConsoleHeader(),
              "   Total  :   Stable : Unstable:  0 - 10 : 11 - 20 :21 - 44 :45 - 100 :Over 100\n");
    EXPECT_EQ(analysis.FileHeader(),
              "   Total  :   Stable : Unstable:  0 - 10 : 11 - 20 : 21 - "
              "32 :33 - 44 :45 - 100 :Over 100\n");
}

TEST(ScaleNoiseAnalysis, AnIntervalOfTwoMinutesEndsAfter10200ReadingsAndStartsItsCountsAgain) {
    for (const bool zero : {true, false}) {
        CScaleNoiseAnalysis analysis(Reading(0, 300, 4), 2, zero);
        std::string console;
        std::string fileLine;
        // Unstable every fourth reading, noise 44 (fourth range) and 101 (over 100) in turn.
        for (unsigned n = 0; n < 10200; ++n) {
            analysis.Take(Reading(n % 4 == 0 ? 1 : 0, 300 + n % 7, n % 2 == 0 ? 44 : 101), console,
                          fileLine);
            ASSERT_TRUE(fileLine.empty()) << n;
            ASSERT_EQ(console.back(), '\r');
        }
        EXPECT_EQ(console,
                  "    10199 :     7649 :    2550 :       0 :       0 :   5100 :       0 :    "
                  "5099\r");
        analysis.Take(Reading(0, 310, 5), console, fileLine);
        // The line as it stood after 10,200 readings stays on the screen and goes to the file.
        EXPECT_EQ(console,
                  "    10200 :     7650 :    2550 :       0 :       0 :   5100 :       0 :    "
                  "5100\r\n");
        EXPECT_EQ(fileLine,
                  "    10200 :     7650 :    2550 :       0 :       0 :       0 :   "
                  "5100 :       0 :    5100\n");
        EXPECT_EQ(analysis.Total(), 10201u);
        EXPECT_EQ(analysis.Interval().stable, zero ? 1u : 7651u) << zero;
        EXPECT_EQ(analysis.Interval().ranges[0], 1u);
        EXPECT_EQ(analysis.Run().stable, 7651u);
        EXPECT_EQ(analysis.Run().ranges[5], 5100u);
        // The next mark is 10,200 readings on.
        for (unsigned n = 0; n < 10199; ++n) {
            analysis.Take(Reading(0, 300, 4), console, fileLine);
            ASSERT_TRUE(fileLine.empty()) << n;
        }
        analysis.Take(Reading(0, 300, 4), console, fileLine);
        EXPECT_FALSE(fileLine.empty());
    }
}

TEST(ScaleNoiseAnalysis, TheResultTableAndARunWithoutACountedReading) {
    CScaleNoiseAnalysis analysis(Reading(0, 0x0123, 4), 0, false);
    EXPECT_EQ(analysis.ResultTable(0x07D0, "10:20:31", 0),
              "\n\n\nResults, Time Stop 10:20:31, Run Time 0h 0m 0s\n\n"
              "EU Value           7d0  - .01 LBS = 50.00 EUs\n"
              "Stable Limit        20\n"
              "Total Readings         0\n"
              "Total Stable           0  -    0.000%\n"
              "Total Unstable         0  -    0.000%\n"
              " 0 - 10 Range          0  -    0.000%\n"
              "11 - 20 Range          0  -    0.000%\n"
              "21 - 32 Range          0  -    0.000%\n"
              "33 - 44 Range          0  -    0.000%\n"
              "45 - 100 Range         0  -    0.000%\n"
              "Over 100 Range         0  -    0.000%\n"
              "Max Noise Value        0\n"
              "Min Noise Value        0\n"
              "Starting Weight      291\n"
              "Ending Weight        291\n");
    std::string console;
    std::string fileLine;
    for (const unsigned noise : {3u, 15u, 44u, 101u}) {
        analysis.Take(Reading(noise == 101 ? 1 : 0, 0x0130, noise), console, fileLine);
    }
    const std::string table = analysis.ResultTable(0, "11:22:33", 3723);
    EXPECT_TRUE(Contains(table, "Run Time 1h 2m 3s\n")) << table;
    EXPECT_TRUE(Contains(table, "EU Value             0  - .01 LBS = 0.00 EUs\n")) << table;
    EXPECT_TRUE(Contains(table, "Total Stable           3  -   75.000%\n")) << table;
    EXPECT_TRUE(Contains(table, "33 - 44 Range          1  -   25.000%\n")) << table;
    EXPECT_TRUE(Contains(table, "Max Noise Value      101\nMin Noise Value        3\n")) << table;
    EXPECT_TRUE(Contains(table, "Ending Weight        304\n")) << table;
}

TEST(ScaleReading, OnlyWholeReadingsOfPort6AreReadings) {
    ScaleReading reading;
    const std::string whole = ReadingData(0x03, 0x0102, 0x0304, 20);
    EXPECT_TRUE(ReadScaleReading(PortData(kPort6, whole), reading));
    EXPECT_EQ(ScaleDisplayLine(reading), "NEG 0102  -  0304  -    UNSTABLE *******\n");
    EXPECT_EQ(ScaleCaptureLine(reading), "01,258,772,20,\n");
    EXPECT_FALSE(ReadScaleReading(PortData(kPort6, whole.substr(0, 7)), reading));
    EXPECT_FALSE(ReadScaleReading(PortData(5, whole), reading));
    EXPECT_FALSE(ReadScaleReading(PortData(kPort6, "sG" + whole.substr(2)), reading));
    unsigned eu = 0;
    EXPECT_TRUE(ReadEuReply(PortData(kPort6, "sG\x07\xD0"), eu));
    EXPECT_EQ(eu, 2000u);
    EXPECT_FALSE(ReadEuReply(PortData(kPort6, "sG\x07"), eu));
}

class ScaleTestRig : public ModuleLinkRig {
  protected:
    ScaleTestRig() {
        respond = module.Responder([this](const link::LinkPacket& packet) { Queue(packet); });
        identity.version = 447;
    }
    ScriptedModule module;
};

TEST_F(ScaleTestRig, TheDisplayShowsNewReadingsCountsStablesAndCaptures) {
    module.Answer(kPort6, "S7",
                  {ReadingData(1, 0x12, 5), ReadingData(0, 0x12, 3), ReadingData(0, 0x12, 3),
                   ReadingData(0, 0x12, 3), ReadingData(2, 0x40, 9), ReadingData(0, 0x13, 2)});
    ScaleDisplayState state;
    // Any key starts; one key each time round (a blank does nothing; the first round finds no
    // reading yet): F starts the capture with the second reading, C shows every reading from the
    // fifth on.
    console.AddKeys(std::string(" ") + " " + " F  " + "C " + " " + "  X");
    Drive([&] { DisplayCaptureScaleValues(run, state); });
    const std::string shown = console.Output();
    EXPECT_TRUE(Contains(shown,
                         "\n\nAvg Weight   Noise\n\n"
                         "0012  -  0005  -    UNSTABLE *******\n"
                         "Opening ScaleDump.txt\n"
                         "0012  -  0003  -    STABLE\n"
                         "1 - Stables\r2 - Stables\r"
                         "NEG 0040  -  0009  -    STABLE\n"
                         "0013  -  0002  -    STABLE\n"))
        << shown;
    EXPECT_EQ(module.Requests(), (std::vector<std::string>{"6S5", "6S7", "6S5", "6S8"}));
    EXPECT_EQ(Written().back(), Wire(kPort6, link::TMCB_DC_CLOSE_PORT, ""));
    // The capture ran from the second reading to the end.
    EXPECT_EQ(ReadFile(root / "c/FirmwareUpdate/ScaleDump.txt"),
              "00,18,3,20,\n00,18,3,20,\n00,18,3,20,\n00,64,9,20,\n00,19,2,20,\n");
    EXPECT_FALSE(state.capture);
    EXPECT_EQ(state.mode, 2);  // kept for the next run
}

TEST_F(ScaleTestRig, TheAnalysisCountsEveryReadingAfterTheFirstAndLogsItsTable) {
    module.Answer(kPort6, "SG", {"sG\x07\xD0"});
    module.Answer(kPort6, "S7",
                  {ReadingData(0, 0x0100, 4), ReadingData(0, 0x0101, 10),
                   ReadingData(1, 0x0102, 33), "~~", ReadingData(0, 0x0103, 101)});
    // Interval 1 with zeroing and logging; then one key each time round until X.
    console.AddKeys("1\rYY " + std::string(8, ' ') + "X");
    Drive([&] { AnalyzeScaleData(run); });
    const std::string shown = console.Output();
    EXPECT_TRUE(Contains(shown,
                         "Enter Time Interval in minutes (enter 0 or blank for none) :1\n"
                         "Zero values for each interval :Y\n"
                         "Do you want to log this data :Y\n\n"))
        << shown;
    EXPECT_TRUE(Contains(shown,
                         "Noise Range Counts,  Started 10:20:30\n\n"
                         "   Total  :   Stable : Unstable:  0 - 10 : 11 - 20 :21 - 44 "
                         ":45 - 100 :Over 100\n"
                         "        0 :        0 :       0 :       0 :       0 :      0 :  "
                         "     0 :       0\r"
                         "        1 :        1 :       0 :       1 :       0 :      0 :  "
                         "     0 :       0\r"
                         "        2 :        1 :       1 :       1 :       0 :      1 :  "
                         "     0 :       0\r"))
        << shown;
    EXPECT_TRUE(Contains(shown,
                         "Total Readings         3\n"
                         "Total Stable           2  -   66.667%\n"
                         "Total Unstable         1  -   33.333%\n"))
        << shown;
    EXPECT_TRUE(Contains(shown, "EU Value           7d0  - .01 LBS = 50.00 EUs\n")) << shown;
    EXPECT_TRUE(Contains(shown, "Starting Weight      256\nEnding Weight        259\n")) << shown;
    EXPECT_EQ(module.Requests(), (std::vector<std::string>{"6SG", "6S5", "6S7", "6S5", "6S8"}));
    const std::string logged = ReadFile(root / "c/FirmwareUpdate/AnalyzeData.txt");
    EXPECT_TRUE(Contains(logged, " : 21 - 32 :33 - 44 :")) << logged;
    EXPECT_TRUE(Contains(logged,
                         "        3 :        2 :       1 :       1 :       0 :       0 "
                         ":      1 :       0 :       1\n"
                         "\n\n\nResults, Time Stop "))
        << logged;
}

TEST_F(ScaleTestRig, AnExitBeforeTheFirstReadingOrAtTheIntervalLeavesNoTable) {
    module.Answer(kPort6, "SG", {"sG\x07\xD0"});
    console.AddKeys("x\r");
    Drive([&] { AnalyzeScaleData(run); });
    EXPECT_EQ(module.Requests(), (std::vector<std::string>{"6SG"}));
    console.AddKeys("\r X");  // no interval; X while the stream brings nothing
    Drive([&] { AnalyzeScaleData(run); });
    EXPECT_FALSE(Contains(console.Output(), "Results")) << console.Output();
    EXPECT_EQ(module.Requests(),
              (std::vector<std::string>{"6SG", "6SG", "6S5", "6S7", "6S5", "6S8"}));
    EXPECT_EQ(Written().back(), Wire(kPort6, link::TMCB_DC_CLOSE_PORT, ""));
}

}  // namespace
}  // namespace lane::moxtel::test
