// The capture writer: headers and trailers, a full file rolled over, a folder that is missing.
#include "Moxtel/CaptureWriter.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/Moxtel/MoxtelTestSupport.h"

namespace lane::moxtel::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

using CaptureWriterTest = LaneFixture;

TEST_F(CaptureWriterTest, ARunOpensAFreshFileWithHeaderAndClosesItWithTrailer) {
    clock.AdvanceMs(4321);
    {
        CCaptureWriter capture(clock, paths);
        EXPECT_EQ(capture.State(), CaptureState::ToBeOpened);
        capture.Write("first line");
        EXPECT_EQ(capture.State(), CaptureState::Open);
        capture.Write("second line");
    }
    EXPECT_EQ(Capture(),
              "\n --- File Opened : Date / Time : 03/04/25 : 10:20:34 : 4321 ---\n\n"
              "first line\nsecond line\n"
              "\n*** Program closing ***\n\n");
}

// A process that is killed leaves no chance to flush: each line must be in the file once written.
TEST_F(CaptureWriterTest, EveryLineIsInTheFileAsSoonAsItIsWritten) {
    CCaptureWriter capture(clock, paths);
    capture.Write("Opening File c:\\FirmwareUpdate\\SCv464.TSK");
    EXPECT_EQ(Lines(Capture()),
              (std::vector<std::string>{
                  "", " --- File Opened : Date / Time : 03/04/25 : 10:20:30 : 0 ---", "",
                  "Opening File c:\\FirmwareUpdate\\SCv464.TSK"}));
    for (int byte = 0; byte < 100; ++byte) {
        capture.Write("a.");
    }
    capture.Write("NEW PACKET");
    const std::vector<std::string> lines = Lines(Capture());
    ASSERT_EQ(lines.size(), 4u + 100 + 1);
    EXPECT_EQ(lines.back(), "NEW PACKET");
}

// A link in the newest capture file's place, which the rotation cannot move away, is not
// followed: the file it points at keeps its content.
TEST_F(CaptureWriterTest, ALinkInTheCaptureFilesPlaceIsNotFollowed) {
    const auto victim = root / "victim.txt";
    std::ofstream(victim) << "keep me";
    for (int number = 2; number <= 5; ++number) {
        std::filesystem::create_directories(CapturePath(number) / "in-the-way");
    }
    std::filesystem::create_symlink(victim, CapturePath(1));
    {
        CCaptureWriter capture(clock, paths);
        capture.Write("a line");
    }
    std::ifstream in(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me");
    EXPECT_FALSE(std::filesystem::is_symlink(CapturePath(1)));
}

TEST_F(CaptureWriterTest, AFileTakes50001LinesThenContinuesInTheNext) {
    {
        CCaptureWriter capture(clock, paths);
        for (std::uint32_t line = 1; line <= kCaptureLinesPerFile + 1; ++line) {
            capture.Write("line " + std::to_string(line));
        }
        clock.AdvanceMs(61000);
        capture.Write("line 50002");
    }
    const std::vector<std::string> full = Lines(Capture(2));
    const auto written = std::count_if(full.begin(), full.end(), [](const std::string& line) {
        return line.rfind("line ", 0) == 0;
    });
    EXPECT_EQ(written, 50001);
    EXPECT_EQ(full[full.size() - 4], "*** Continued in next capture file ***");
    EXPECT_EQ(full[full.size() - 2], " Current Date / Time : 03/04/25 : 10:21:31 : 61000");
    EXPECT_EQ(Capture(1),
              "\n --- File Opened : Date / Time : 03/04/25 : 10:21:31 : 61000 ---\n\n"
              "line 50002\n\n*** Program closing ***\n\n");
}

TEST_F(CaptureWriterTest, WithoutTheFolderNothingIsWrittenAndNothingBreaks) {
    std::filesystem::remove_all(root / "c/FirmwareUpdate");
    CCaptureWriter capture(clock, paths);
    capture.Write("lost");
    EXPECT_EQ(capture.State(), CaptureState::Failed);
    capture.Write("lost too");
    capture.Flush();
    capture.Close();
    EXPECT_FALSE(std::filesystem::exists(root / "c/FirmwareUpdate"));
}

}  // namespace
}  // namespace lane::moxtel::test
