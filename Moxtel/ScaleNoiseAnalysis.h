// The scale test's noise analysis: every reading's noise value sorted into six ranges around the
// scale's stable limit, over the whole run and per interval of readings, with the texts of the
// running line, the interval lines of the log file and the closing result table. No I/O here.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "Moxtel/ScaleReading.h"

namespace lane::moxtel {

// Readings per minute of the stream: an interval of N minutes is N x 5,100 readings.
inline constexpr std::uint64_t kScaleReadingsPerMinute = 5100;
inline constexpr std::size_t kNoiseRanges = 6;

struct NoiseCounts {
    unsigned stable = 0;
    unsigned unstable = 0;
    std::array<unsigned, kNoiseRanges> ranges{};
};

// The range (0 to 5) of a noise value for stable limit `limit`: at most limit/2, at most limit,
// at most limit + 12, at most limit + 24, above 100, otherwise the fifth.
std::size_t NoiseRangeOf(unsigned noise, unsigned limit);

class CScaleNoiseAnalysis {
  public:
    // `first`: the reading that gives the stable limit and the starting weight (not counted).
    // `intervalMinutes` 0: no intervals.
    CScaleNoiseAnalysis(const ScaleReading& first, std::uint32_t intervalMinutes,
                        bool zeroEachInterval);

    // The screen's heading (ranges 3 and 4 in one column) and the log file's (apart).
    std::string ConsoleHeader() const;
    std::string FileHeader() const;

    // Counts one reading: `console` gets the running line as it stood before it (ended by a
    // carriage return, plus a line feed when an interval ends there), `fileLine` the interval's
    // line of the log file when an interval ends there (else it is left empty).
    void Take(const ScaleReading& reading, std::string& console, std::string& fileLine);

    // The log file's line of the interval counts.
    std::string FileLine() const;
    // The result table; a run without a counted reading shows every percentage as 0.000.
    std::string ResultTable(unsigned euValue, const std::string& stopTime,
                            std::int64_t runSeconds) const;

    unsigned Total() const { return total_; }
    const NoiseCounts& Interval() const { return interval_; }
    const NoiseCounts& Run() const { return run_; }

  private:
    std::string RunningLine() const;

    unsigned limit_;
    std::uint64_t intervalReadings_;
    bool zeroEachInterval_;
    std::uint64_t nextMark_;
    unsigned total_ = 0;
    NoiseCounts interval_;
    NoiseCounts run_;
    unsigned largestNoise_ = 0;
    unsigned smallestNoise_ = 999999;
    unsigned startingWeight_;
    unsigned endingWeight_;
};

}  // namespace lane::moxtel
