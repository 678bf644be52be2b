// lanesim's command line.
#include "sim/Options.h"

#include <charconv>

namespace lane::sim {

const char* const kLanesimUsage =
    "usage: lanesim [--speed N] [--record FILE] [--ready FILE] [--upload-image FILE]\n"
    "               [--bill-acceptor-image FILE] SCENARIO\n"
    "       lanesim --show-record FILE\n"
    "Plays SCENARIO on the simulator pipe and the security module under $LANE_ROOT.\n"
    "  --speed N      divide every delay of the scenario by N\n"
    "  --record FILE  record every byte the monitor writes\n"
    "  --ready FILE   create FILE once the pipe is listening\n"
    "  --upload-image FILE  write each firmware image uploaded to the module to FILE\n"
    "  --bill-acceptor-image FILE  write each image uploaded to the bill acceptor to FILE\n"
    "  --show-record FILE  print all bytes of each connection in a record, one line each\n";

namespace {

bool ParseSpeed(const std::string& text, double& speed) {
    const char* end = text.data() + text.size();
    const auto [stop, fault] = std::from_chars(text.data(), end, speed);
    return fault == std::errc() && stop == end && speed >= kMinSpeed && speed <= kMaxSpeed;
}

}  // namespace

int ParseOptions(const std::vector<std::string>& args, LanesimOptions& options,
                 std::string& error) {
    options = LanesimOptions{};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            options.help = true;
            continue;
        }
        if (arg == "--speed" || arg == "--record" || arg == "--ready" || arg == "--show-record" ||
            arg == "--upload-image" || arg == "--bill-acceptor-image") {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return 1;
            }
            const std::string& value = args[++i];
            if (arg == "--speed") {
                if (!ParseSpeed(value, options.speed)) {
                    error = "bad --speed \"" + value + "\" (a number from 0.001 to 1000000)";
                    return 1;
                }
            } else if (arg == "--record") {
                options.recordPath = value;
            } else if (arg == "--ready") {
                options.readyPath = value;
            } else if (arg == "--upload-image") {
                options.uploadImagePath = value;
            } else if (arg == "--bill-acceptor-image") {
                options.billAcceptorImagePath = value;
            } else {
                options.showRecordPath = value;
            }
            continue;
        }
        if (!arg.empty() && arg[0] == '-') {
            error = "unknown option \"" + arg + "\"";
            return 1;
        }
        if (!options.scenarioPath.empty()) {
            error = "more than one scenario given";
            return 1;
        }
        options.scenarioPath = arg;
    }
    if (!options.help && options.scenarioPath.empty() == options.showRecordPath.empty()) {
        error =
            options.scenarioPath.empty() ? "no scenario given" : "--show-record takes no scenario";
        return 1;
    }
    return 0;
}

}  // namespace lane::sim
