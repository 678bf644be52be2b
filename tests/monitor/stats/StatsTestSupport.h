// Helpers of the statistics tests: a scratch lane folder, local times, whole-file texts.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/TimeText.h"

namespace lane::monitor::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
  public:
    ScratchFolder() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("lane-stats-" + std::string(test != nullptr ? test->name() : "test") + "-" +
                 std::to_string(std::random_device{}()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

inline std::time_t LocalSeconds(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    return FromLocalTm(local);
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// The lines of a text, CR LF or LF ended, without their line ends.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

// Compares the hive file line by line with a golden file of the source tree. On a mismatch
// the hive is kept beside the build as <golden name>.actual for review.
inline void ExpectMatchesGolden(const std::string& hiveFile, const std::string& goldenName) {
    const std::string golden =
        std::string(LANE_SOURCE_DIR) + "/tests/monitor/stats/golden/" + goldenName;
    const std::vector<std::string> expected = Lines(ReadText(golden));
    const std::vector<std::string> actual = Lines(ReadText(hiveFile));
    EXPECT_FALSE(expected.empty()) << "missing golden file " << golden;
    EXPECT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size() && i < expected.size(); ++i) {
        if (actual[i] != expected[i]) {
            ADD_FAILURE() << "line " << i + 1 << " is " << actual[i] << ", expected "
                          << expected[i];
            break;
        }
    }
    if (actual != expected) {
        const std::string kept = std::string(LANE_BINARY_DIR) + "/" + goldenName + ".actual";
        WriteText(kept, ReadText(hiveFile));
        ADD_FAILURE() << "hive kept as " << kept;
    }
}

}  // namespace lane::monitor::testing
