// Noise ranges, interval counts and the texts of the scale test's analysis.
#include "Moxtel/ScaleNoiseAnalysis.h"

#include <algorithm>
#include <cstdio>

namespace lane::moxtel {

namespace {

// The highest noise value of the fifth range.
constexpr unsigned kNoiseCeiling = 100;
constexpr unsigned kRangeThreeWidth = 12;
constexpr unsigned kRangeFourWidth = 24;

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

double Percent(unsigned count, unsigned total) {
    // A run without a counted reading has no share to show: 0 rather than a division by zero.
    return total == 0 ? 0.0 : static_cast<double>(count) * 100.0 / static_cast<double>(total);
}

}  // namespace

std::size_t NoiseRangeOf(unsigned noise, unsigned limit) {
    if (noise <= limit / 2) {
        return 0;
    }
    if (noise <= limit) {
        return 1;
    }
    if (noise <= limit + kRangeThreeWidth) {
        return 2;
    }
    if (noise <= limit + kRangeFourWidth) {
        return 3;
    }
    if (noise > kNoiseCeiling) {
        return 5;
    }
    return 4;
}

CScaleNoiseAnalysis::CScaleNoiseAnalysis(const ScaleReading& first, std::uint32_t intervalMinutes,
                                         bool zeroEachInterval)
    : limit_(first.stableLimit),
      intervalReadings_(intervalMinutes * kScaleReadingsPerMinute),
      zeroEachInterval_(zeroEachInterval),
      nextMark_(intervalReadings_),
      startingWeight_(first.weight),
      endingWeight_(first.weight) {}

std::string CScaleNoiseAnalysis::ConsoleHeader() const {
    const int l = static_cast<int>(limit_);
    return Format("   Total  :   Stable : Unstable:  0 - %d", l / 2) +
           Format(" : %d - %d", l / 2 + 1, l) + Format(" :%d - %d", l + 1, l + 24) +
           Format(" :%d - %d", l + 25, 100) + " :Over 100\n";
}

std::string CScaleNoiseAnalysis::FileHeader() const {
    const int l = static_cast<int>(limit_);
    return Format("   Total  :   Stable : Unstable:  0 - %d", l / 2) +
           Format(" : %d - %d", l / 2 + 1, l) + Format(" : %d - %d", l + 1, l + 12) +
           Format(" :%d - %d", l + 13, l + 24) + Format(" :%d - %d", l + 25, 100) + " :Over 100\n";
}

std::string CScaleNoiseAnalysis::RunningLine() const {
    const NoiseCounts& c = interval_;
    return Format("%9u : %8u : %7u : %7u : %7u : %6u : %7u : %7u\r", total_, c.stable, c.unstable,
                  c.ranges[0], c.ranges[1], c.ranges[2] + c.ranges[3], c.ranges[4], c.ranges[5]);
}

std::string CScaleNoiseAnalysis::FileLine() const {
    const NoiseCounts& c = interval_;
    return Format("%9u : %8u : %7u : %7u : %7u : %7u : %6u : %7u : %7u\n", total_, c.stable,
                  c.unstable, c.ranges[0], c.ranges[1], c.ranges[2], c.ranges[3], c.ranges[4],
                  c.ranges[5]);
}

void CScaleNoiseAnalysis::Take(const ScaleReading& reading, std::string& console,
                               std::string& fileLine) {
    console = RunningLine();
    fileLine.clear();
    if (intervalReadings_ > 0 && total_ == nextMark_) {
        fileLine = FileLine();
        console += "\n";  // the interval's line stays on the screen
        nextMark_ += intervalReadings_;
        if (zeroEachInterval_) {
            interval_ = NoiseCounts{};
        }
    }
    ++total_;
    const unsigned noise = reading.noise;
    largestNoise_ = std::max(largestNoise_, noise);
    smallestNoise_ = std::min(smallestNoise_, noise);
    endingWeight_ = reading.weight;
    const std::size_t range = NoiseRangeOf(noise, limit_);
    for (NoiseCounts* counts : {&interval_, &run_}) {
        ++(reading.Unstable() ? counts->unstable : counts->stable);
        ++counts->ranges[range];
    }
}

std::string CScaleNoiseAnalysis::ResultTable(unsigned euValue, const std::string& stopTime,
                                             std::int64_t runSeconds) const {
    const auto seconds = static_cast<unsigned>(std::max<std::int64_t>(runSeconds, 0));
    const int l = static_cast<int>(limit_);
    // An EU value of 0 would divide by zero as well: its share is then shown as 0.
    const double eusPerHundredth = euValue == 0 ? 0.0 : 100000.0 / euValue;
    const unsigned smallest = total_ == 0 ? 0 : smallestNoise_;
    std::string table = Format("\n\n\nResults, Time Stop %s, Run Time %uh %um %us\n\n",
                               stopTime.c_str(), seconds / 3600, seconds / 60 % 60, seconds % 60);
    table += Format("EU Value          %4x  - .01 LBS = %.2f EUs\n", euValue, eusPerHundredth);
    table += Format("Stable Limit      %4d\n", l);
    table += Format("Total Readings %9u\n", total_);
    table += Format("Total Stable   %9u  -  %7.3f%%\n", run_.stable, Percent(run_.stable, total_));
    table +=
        Format("Total Unstable %9u  -  %7.3f%%\n", run_.unstable, Percent(run_.unstable, total_));
    const auto& r = run_.ranges;
    table += Format(" 0 - %2d Range  %9u  -  %7.3f%%\n", l / 2, r[0], Percent(r[0], total_));
    table +=
        Format("%2d - %2d Range  %9u  -  %7.3f%%\n", l / 2 + 1, l, r[1], Percent(r[1], total_));
    table +=
        Format("%2d - %2d Range  %9u  -  %7.3f%%\n", l + 1, l + 12, r[2], Percent(r[2], total_));
    table +=
        Format("%2d - %2d Range  %9u  -  %7.3f%%\n", l + 13, l + 24, r[3], Percent(r[3], total_));
    table += Format("%2d - %2d Range %9u  -  %7.3f%%\n", l + 25, 100, r[4], Percent(r[4], total_));
    table += Format("Over 100 Range %9u  -  %7.3f%%\n", r[5], Percent(r[5], total_));
    table += Format("Max Noise Value%9u\n", largestNoise_);
    table += Format("Min Noise Value%9u\n", smallest);
    table += Format("Starting Weight%9u\n", startingWeight_);
    table += Format("Ending Weight  %9u\n", endingWeight_);
    return table;
}

}  // namespace lane::moxtel
