// lanesim's command line.
#pragma once

#include <string>
#include <vector>

namespace lane::sim {

struct LanesimOptions {
    std::string scenarioPath;
    std::string recordPath;       // --record FILE
    std::string readyPath;        // --ready FILE
    std::string showRecordPath;   // --show-record FILE: print a record by connection, then end
    std::string uploadImagePath;  // --upload-image FILE: where a completed firmware upload goes
    std::string billAcceptorImagePath;  // --bill-acceptor-image FILE: the bill acceptor's upload
    double speed = 1.0;                 // --speed N: delays are divided by N
    bool help = false;
};

inline constexpr double kMinSpeed = 0.001;
inline constexpr double kMaxSpeed = 1'000'000.0;

// The usage text lanesim prints for --help and after a bad command line.
extern const char* const kLanesimUsage;

// Parses the arguments after the program name. 0, or 1 with the fault in `error`.
[[nodiscard]] int ParseOptions(const std::vector<std::string>& args, LanesimOptions& options,
                               std::string& error);

}  // namespace lane::sim
