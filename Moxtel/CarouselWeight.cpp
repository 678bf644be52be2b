// The carousel's weight display: the last sixteen weights in a ring, shown as a stable average
// (normal mode) or reading by reading (continuous mode) until ESC.
#include "Moxtel/Command_Carousel.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_Carousel";

constexpr std::size_t kRingSize = 16;
constexpr int kEscape = 27;
// The spread of a stable reading, and how far the average must move to be shown again.
constexpr double kStableSpread = 0.05;
constexpr double kShownStep = 1.0;
constexpr double kNothingShownYet = 999.0;
// Weights are hundredths: a spread of 0.05 that the binary numbers make a hair wider is 0.05.
constexpr double kHundredthsSlack = 1e-9;
// The reading's characters after its status character, and the one the loop overwrites.
constexpr std::size_t kReadingChars = 6;
constexpr std::size_t kOverwrittenAt = 7;

// One weight: 'W' sent and the number after the reply's first character read; 0 or non-zero.
int Sample(CCarouselPorts& ports, CEBoxReplyReader& reply, bool overwrite, double& weight) {
    int result = ports.WriteEBox(EBoxSingleLetter('W'));
    if (result != 0) {
        return result;
    }
    if ((result = ports.ReadEBoxReply(reply)) != 0) {
        return result;
    }
    if (overwrite) {
        reply.SetAt(kOverwrittenAt, '0');
    }
    const std::string_view text = reply.Text();
    const std::string number(text.empty() ? text : text.substr(1));
    weight = std::strtod(number.c_str(), nullptr);
    return 0;
}

struct Spread {
    double largest;
    double smallest;
    double average;
};

Spread Measure(const std::array<double, kRingSize>& ring) {
    Spread spread{ring[0], ring[0], 0.0};
    double sum = 0.0;
    for (const double weight : ring) {
        spread.largest = std::max(spread.largest, weight);
        spread.smallest = std::min(spread.smallest, weight);
        sum += weight;
    }
    spread.average = sum / static_cast<double>(kRingSize);
    return spread;
}

}  // namespace

int DisplayWeight(CCarouselPorts& ports) {
    UtilityRun& run = ports.Run();
    std::array<double, kRingSize> ring{};
    CEBoxReplyReader reply;
    for (double& weight : ring) {
        const int result = Sample(ports, reply, false, weight);
        if (result != 0) {
            return result;
        }
    }
    ports.Show("\n\nPress ESC to Exit, C - Continous mode, N - Normal mode, S - Start/Stop\n");
    bool continuous = false;
    bool paused = false;
    double lastShown = kNothingShownYet;
    for (std::size_t next = 0;; next = (next + 1) % kRingSize) {
        double weight = 0.0;
        const int result = Sample(ports, reply, true, weight);
        if (result != 0) {
            return result;
        }
        ring[next] = weight;
        const Spread spread = Measure(ring);
        if (!paused && continuous) {
            const std::string_view text = reply.Text();
            const std::string reading(text.size() > 1 ? text.substr(1, kReadingChars) : "");
            run.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__, "  %s  ",
                               reading.c_str());
            ports.Show(reply.At(0) == '?' ? "Unstable\n" : "Stable\n");
        } else if (!paused &&
                   spread.largest - spread.smallest <= kStableSpread + kHundredthsSlack &&
                   std::fabs(std::trunc(spread.average - lastShown)) >= kShownStep) {
            run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "  %6.2f  Stable\n",
                               spread.average);
            lastShown = spread.average;
        }
        if (!run.console.KeyWaiting()) {
            continue;
        }
        const int key = std::toupper(run.console.GetKey());
        if (key == kEscape || run.console.InputEnded()) {
            return 0;
        }
        if (key == 'C') {
            continuous = true;
        } else if (key == 'N') {
            continuous = false;
        } else if (key == 'S') {
            paused = !paused;
        }
    }
}

}  // namespace lane::moxtel
