// lanesim: the emulator of everything outside the lane suite (the simulator pipe and the
// security module behind its driver sockets).
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "common/RealClock.h"
#include "common/Waitable.h"
#include "platform/LanePath.h"
#include "platform/Signals.h"
#include "sim/Lanesim.h"
#include "sim/Options.h"

namespace {

int Run(int argc, char** argv, lane::ManualResetEvent& stop) {
    using namespace lane;
    sim::LanesimOptions options;
    std::string error;
    if (sim::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error) != 0) {
        std::cerr << "lanesim: " << error << "\n" << sim::kLanesimUsage;
        return sim::kExitUsage;
    }
    if (options.help) {
        std::cout << sim::kLanesimUsage;
        return sim::kExitDone;
    }
    if (!options.showRecordPath.empty()) {
        std::string output;
        const int rc = sim::ShowRecord(options.showRecordPath, output, error);
        std::cout << output;
        if (rc != sim::kExitDone) {
            std::cerr << "lanesim: " << error << "\n";
            return rc;
        }
        if (!std::cout.flush()) {
            std::cerr << "lanesim: the record could not be written to standard output\n";
            return sim::kExitCannotWrite;
        }
        return rc;
    }
    RealClock clock;
    std::string root;
    if (platform::LaneRootFromEnvironment(root, error) != 0) {
        std::cerr << "lanesim: " << error << "\n";
        return sim::kExitUsage;
    }
    const platform::LanePaths paths(root);
    // Tests and scripts may wait for this line instead of the ready file.
    const int rc = sim::RunLanesim(options, paths, clock, stop, error, [](const std::string& path) {
        std::cout << "lanesim: listening on " << path << std::endl;
    });
    if (!error.empty()) {
        std::cerr << "lanesim: " << error << "\n";
    }
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    lane::ManualResetEvent stop;
    lane::platform::SignalWatcher signals(stop);  // before any other thread starts
    // Failures travel as return codes; this is the last guard against a library that throws
    // (memory or threads exhausted), so that no run ends in an abort.
    try {
        return Run(argc, argv, stop);
    } catch (const std::exception& fault) {
        std::cerr << "lanesim: stopped on an unexpected fault: " << fault.what() << "\n";
    } catch (...) {
        std::cerr << "lanesim: stopped on an unexpected fault\n";
    }
    return lane::sim::kExitFault;
}
