// Fuzz target of the scale test's stream reader: the input is cut into received packets (length
// byte, then port, command and data), and each goes through the reading and EU readers, the
// display and capture texts and the noise analysis. Nothing is read past a packet, and every
// counted reading lands in exactly one noise range and one of stable or unstable.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "Moxtel/ScaleNoiseAnalysis.h"
#include "Moxtel/ScaleReading.h"
#include "fuzz/FuzzPackets.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

unsigned Sum(const lane::moxtel::NoiseCounts& counts) {
    unsigned sum = 0;
    for (const unsigned count : counts.ranges) {
        sum += count;
    }
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lane;
    using namespace lane::moxtel;
    std::unique_ptr<CScaleNoiseAnalysis> analysis;
    unsigned lastEuValue = 0;
    std::size_t at = 0;
    while (at < size) {
        const link::LinkPacket packet = lane::fuzz::NextClaimedPacket(data, size, at);

        unsigned euValue = 0;
        if (ReadEuReply(packet, euValue)) {
            Check(euValue <= 0xFFFF && packet.DL >= 4);
            lastEuValue = euValue;
        }
        ScaleReading reading;
        if (!ReadScaleReading(packet, reading)) {
            continue;
        }
        Check(packet.DL >= 8);
        const std::string line = ScaleDisplayLine(reading);
        Check(line.size() <= 4 + 4 + 5 + 4 + 5 + 19 && line.back() == '\n');
        Check(ScaleCaptureLine(reading).size() <= 3 + 6 + 6 + 4 + 1);
        if (!analysis) {
            // An interval from the first byte; its lines need 5,100 readings a minute, so only
            // inputs of more than 56 kB reach them.
            analysis = std::make_unique<CScaleNoiseAnalysis>(reading, size > 0 ? data[0] % 3 : 0,
                                                             reading.Negative());
            continue;
        }
        std::string console;
        std::string fileLine;
        analysis->Take(reading, console, fileLine);
        const NoiseCounts& run = analysis->Run();
        Check(run.stable + run.unstable == analysis->Total());
        Check(Sum(run) == analysis->Total());
        Check(Sum(analysis->Interval()) <= analysis->Total());
        Check(!console.empty() && console.find('\r') != std::string::npos);
    }
    if (analysis) {
        Check(!analysis->ResultTable(lastEuValue, "00:00:00", 0).empty());
    }
    return 0;
}
