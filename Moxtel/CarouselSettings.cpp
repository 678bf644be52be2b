// The carousel items that change the E-Box's settings: calibration, filter mode, and the
// weight rounding with the rounding exchange that EBoxRound02 shares.
#include "Moxtel/Command_Carousel.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Moxtel/ConsoleLine.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_Carousel";

// The pause before the calibration weight is sent, while the weight settles.
constexpr std::int64_t kCalibrationSettleMs = 2000;
// The start-of-calibration argument (its check digit is '8').
constexpr const char* kCalibrationStart = "20000";
// The options: seven characters, by position.
constexpr std::size_t kOptionsLength = 7;
constexpr std::size_t kRoundingAt = 1;
constexpr std::size_t kFilterModeAt = 2;
constexpr std::size_t kZeroTrackingAt = 5;
// What EBoxRound02 sets beside the rounding.
constexpr char kUnattendedFilterMode = '6';
constexpr char kUnattendedZeroTracking = '2';
// The longest calibration weight line taken.
constexpr std::size_t kWeightLineChars = 32;

int Ask(CCarouselPorts& ports, const std::string& request, CEBoxReplyReader& reply) {
    const int written = ports.WriteEBox(request);
    return written != 0 ? written : ports.ReadEBoxReply(reply);
}

// The options read from the E-Box: 0 and the seven characters, or non-zero (already shown).
int ReadOptions(CCarouselPorts& ports, std::string& options) {
    CEBoxReplyReader reply;
    const int result = Ask(ports, EBoxFramedQuery('O'), reply);
    if (result != 0) {
        return result;
    }
    options.assign(reply.Text().substr(0, kOptionsLength));
    if (options.size() < kOptionsLength) {
        ports.Run().log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                                   "ERROR 53: E-Box Options Reply too short: %s", options.c_str());
        return 53;
    }
    return 0;
}

// Writes the options back, reads the E-Box's answer, reads the options again and compares the
// character at `at` with `wanted`. 0 when it took; the messages are the caller's.
int WriteOptions(CCarouselPorts& ports, const std::string& options, std::size_t at, char wanted,
                 bool& took) {
    took = false;
    if (ports.WriteEBox(EBoxFramedCommand('O', options)) != 0) {
        ports.Show("ERROR 54: Calibration Failed!");
        return 54;
    }
    CEBoxReplyReader reply;
    int result = ports.ReadEBoxReply(reply);
    if (result != 0) {
        return result;
    }
    std::string again;
    if ((result = ReadOptions(ports, again)) != 0) {
        return result;
    }
    took = again[at] == wanted;
    return 0;
}

}  // namespace

int CalibrateCarouselScale(CCarouselPorts& ports) {
    UtilityRun& run = ports.Run();
    ports.Show("Scale Calibration\n\n");
    ports.Show("Please remove any extra items from carousel scale");
    ports.Show("Weight Range is 40-100 Lbs.");
    ports.Show("Example:54.25 ");
    ports.Prompt("\nEnter Calibration Weight :");
    const std::string line = ReadConsoleLine(run.console, kWeightLineChars);
    const double weight = std::strtod(line.c_str(), nullptr);
    if (!(weight >= kLowestCalibrationWeight && weight <= kHighestCalibrationWeight)) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                           "\nERROR: Weight Value out of Range!, %.2f\n", weight);
        return 1;
    }
    char digits[16];
    std::snprintf(digits, sizeof digits, "%05.0f", weight * 100.0);
    CEBoxReplyReader reply;
    if (Ask(ports, EBoxFramedCommand('F', kCalibrationStart), reply) != 0) {
        ports.Show("Calibration Failed!");
        return 2;
    }
    ports.Show("Place Weight on Carousel.");
    ports.Prompt("Press any key when ready.");
    static_cast<void>(run.console.GetKey());
    ports.Show("\n\nPlease wait!");
    run.clock.SleepMs(kCalibrationSettleMs);
    if (ports.WriteEBox(EBoxFramedCommand('L', digits)) != 0) {
        ports.Show("ERROR 54: Calibration Failed!");
        return 54;
    }
    if (ports.ReadEBoxReply(reply) != 0) {
        ports.Show("Calibration Failed!");
        return 3;
    }
    // The E-Box repeats the weight it was given; every digit must come back.
    const bool repeated = reply.Text().substr(0, 5) == std::string_view(digits, 5);
    ports.Show(repeated ? "\nCalibration Complete!\n" : "Calibration Failed!");
    // The E-Box's closing line.
    static_cast<void>(ports.ReadEBoxReply(reply));
    return repeated ? 0 : 4;
}

int SetFilterMode(CCarouselPorts& ports) {
    UtilityRun& run = ports.Run();
    std::string options;
    int result = ReadOptions(ports, options);
    if (result != 0) {
        return result;
    }
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                       "Current Filter Mode = %c\n\n", options[kFilterModeAt]);
    ports.Show("Enter Filter Mode, Range 1-6");
    ports.Show("1 = Less Filtering, 6 = Most Filtering\n");
    ports.Prompt("Enter Filter Mode :");
    const int key = ports.AskKey(false);
    if (key < '1' || key > '6') {
        ports.Show("Invalid Number!");
        return 1;
    }
    options[kFilterModeAt] = static_cast<char>(key);
    bool took = false;
    if ((result = WriteOptions(ports, options, kFilterModeAt, static_cast<char>(key), took)) != 0) {
        return result;
    }
    ports.Show(took ? "Filter Mode Updated!" : "ERROR 53: Filter Mode NOT Updated.");
    return took ? 0 : 53;
}

int SetWeightRounding(CCarouselPorts& ports) {
    return RoundingExchange(ports, std::nullopt);
}

int RoundingExchange(CCarouselPorts& ports, std::optional<char> code) {
    std::string options;
    int result = ReadOptions(ports, options);
    if (result != 0) {
        return result;
    }
    ports.Prompt("Current Weight Rounding = ");
    ports.Show(WeightRoundingText(options[kRoundingAt]).c_str());
    char wanted = code.value_or('\0');
    if (!code) {
        ports.Show("1 - .01");
        ports.Show("2 - .02");
        ports.Show("3 - .05");
        ports.Show("4 - .10");
        ports.Prompt("\nEnter Value (1-4) :");
        wanted = static_cast<char>(ports.AskKey(false));
    }
    if (wanted < '1' || wanted > '4') {
        ports.Show("Invalid Number!");
        return 1;
    }
    options[kRoundingAt] = wanted;
    if (code) {
        options[kZeroTrackingAt] = kUnattendedZeroTracking;
        options[kFilterModeAt] = kUnattendedFilterMode;
    }
    bool took = false;
    if ((result = WriteOptions(ports, options, kRoundingAt, wanted, took)) != 0) {
        return result;
    }
    ports.Show(took ? "Weight Rounding Updated!" : "ERROR 53: Weight Rounding NOT Updated.");
    return took ? 0 : 53;
}

}  // namespace lane::moxtel
