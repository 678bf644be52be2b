// lanesim's devices of the utility's live tests, all behind the service port 6: the security
// scale's reading stream ('S' '7' on, 'S' '5' off, 'S' '8' end, 'S' 'G' its EU value), the
// conveyors and their safety switches ('C'), the cash pocket's sensor, light and buzzer ('Z' 'D'
// 'S', 'L', 'B'), the power state ('Z' 'P', after which the scripted button presses and power
// events come on the system port), the coupon box ('P') and the lights ('L').
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace lane::sim {

// The system port's commands that carry a button press (1 green, 2 red) and a power state.
inline constexpr std::uint8_t kModuleButtonEvent = 13;
inline constexpr std::uint8_t kModulePowerEvent = 14;

// One reading of the stream as the scale sends it.
struct ScaleStreamReading {
    std::uint8_t flags = 0;  // bit 0 unstable, bit 1 negative weight
    std::uint16_t weight = 0;
    std::uint16_t noise = 0;
    std::uint8_t stableLimit = 20;
};

// What the scenario sets up (docs/lanesim.md, "The live tests").
struct LaneTestSetup {
    std::vector<ScaleStreamReading> readings;  // the scripted readings, in order
    // A seeded random walk played after the scripted readings: `walkCount` readings.
    std::uint32_t walkSeed = 0;
    std::uint32_t walkCount = 0;
    std::uint8_t walkLimit = 20;
    std::uint16_t euValue = 0x07D0;
    char frontSwitch = '1';  // '1' closed, '0' open
    char rearSwitch = '1';
    char billInPocket = '0';  // '1' a bill lies in the cash pocket
    char power = '0';         // '0' AC, '1' on the UPS battery, '2' battery low
    // System-port events sent after the power state was read: DC and its one data byte.
    std::vector<std::pair<std::uint8_t, std::uint8_t>> events;
    std::array<std::uint8_t, 6> couponLeds = {128, 144, 112, 32, 48, 16};
};

// What one request made the devices do.
struct LaneTestAnswer {
    std::vector<std::string> replies;                                 // port-6 reply data, in order
    std::vector<std::pair<std::uint8_t, std::uint8_t>> systemEvents;  // DC, data byte
    std::vector<std::string> notes;
};

// The readings of a seeded random walk: the weight wanders by up to 30 a reading (negative
// readings carry flag bit 1 and the weight's size), the noise is mostly near the stable limit
// and now and then far above it, and a reading is unstable when its noise passes the limit.
std::vector<ScaleStreamReading> ScaleRandomWalk(std::uint32_t seed, std::uint32_t count,
                                                std::uint8_t stableLimit);

// The data of a reading packet: 's' '7', flags, weight and noise high byte first, the limit.
std::string ScaleReadingData(const ScaleStreamReading& reading);

class LaneTestDevices {
  public:
    LaneTestDevices() = default;
    explicit LaneTestDevices(const LaneTestSetup& setup);

    // Takes a service-port request (its data): false when it is none of these devices'.
    bool Answer(const std::vector<std::uint8_t>& request, LaneTestAnswer& answer);

    bool SetUp() const { return setUp_; }

  private:
    bool AnswerScale(std::uint8_t code, LaneTestAnswer& answer);

    bool setUp_ = false;
    LaneTestSetup setup_;
    std::array<char, 5> lights_ = {'0', '0', '0', '0', '0'};
    char pocketLight_ = '0';
    char pocketBuzzer_ = '0';
    char couponBox_ = '0';
};

}  // namespace lane::sim
