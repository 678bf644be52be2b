// The live tests' devices behind lanesim's service port.
#include "sim/LaneTestDevices.h"

#include <random>

namespace lane::sim {

namespace {

constexpr int kWalkStartWeight = 1000;
constexpr int kWalkStep = 30;
// One reading in this many has a noise far above the limit.
constexpr std::uint32_t kSpikeEvery = 16;
constexpr std::uint32_t kSpikeNoise = 150;

const char* OnOff(char value) {
    return value == '1' ? "on" : "off";
}

}  // namespace

std::vector<ScaleStreamReading> ScaleRandomWalk(std::uint32_t seed, std::uint32_t count,
                                                std::uint8_t stableLimit) {
    // mt19937's sequence is fixed by the standard, so a seed plays the same on every machine.
    std::mt19937 random(seed);
    std::vector<ScaleStreamReading> readings;
    readings.reserve(count);
    int weight = kWalkStartWeight;
    for (std::uint32_t n = 0; n < count; ++n) {
        weight += static_cast<int>(random() % (2 * kWalkStep + 1)) - kWalkStep;
        const std::uint32_t noise = random() % kSpikeEvery == 0
                                        ? stableLimit + random() % kSpikeNoise
                                        : random() % (stableLimit + 13U);
        ScaleStreamReading reading;
        reading.stableLimit = stableLimit;
        reading.noise = static_cast<std::uint16_t>(noise);
        reading.weight = static_cast<std::uint16_t>(weight < 0 ? -weight : weight);
        reading.flags =
            static_cast<std::uint8_t>((noise > stableLimit ? 0x01 : 0) | (weight < 0 ? 0x02 : 0));
        readings.push_back(reading);
    }
    return readings;
}

std::string ScaleReadingData(const ScaleStreamReading& reading) {
    return std::string{'s',
                       '7',
                       static_cast<char>(reading.flags),
                       static_cast<char>(reading.weight >> 8),
                       static_cast<char>(reading.weight & 0xFF),
                       static_cast<char>(reading.noise >> 8),
                       static_cast<char>(reading.noise & 0xFF),
                       static_cast<char>(reading.stableLimit)};
}

LaneTestDevices::LaneTestDevices(const LaneTestSetup& setup) : setUp_(true), setup_(setup) {}

bool LaneTestDevices::AnswerScale(std::uint8_t code, LaneTestAnswer& answer) {
    switch (code) {
        case '5':
            answer.notes.push_back("scale stream off");
            return true;
        case '8':
            answer.notes.push_back("scale stream end");
            return true;
        case 'G':
            answer.replies.push_back(std::string{'s', 'G', static_cast<char>(setup_.euValue >> 8),
                                                 static_cast<char>(setup_.euValue & 0xFF)});
            return true;
        case '7': {
            for (const ScaleStreamReading& reading : setup_.readings) {
                answer.replies.push_back(ScaleReadingData(reading));
            }
            for (const ScaleStreamReading& reading :
                 ScaleRandomWalk(setup_.walkSeed, setup_.walkCount, setup_.walkLimit)) {
                answer.replies.push_back(ScaleReadingData(reading));
            }
            answer.notes.push_back("scale stream on (" + std::to_string(answer.replies.size()) +
                                   " readings)");
            return true;
        }
        default:
            return false;
    }
}

bool LaneTestDevices::Answer(const std::vector<std::uint8_t>& request, LaneTestAnswer& answer) {
    if (request.size() < 2) {
        return false;
    }
    const std::uint8_t letter = request[0];
    const std::uint8_t code = request[1];
    if (letter == 'S' && request.size() == 2) {
        return AnswerScale(code, answer);
    }
    if (letter == 'C' && request.size() == 2) {
        if (code == 'S') {
            answer.replies.push_back(std::string{'c', 'S', setup_.frontSwitch, setup_.rearSwitch});
            return true;
        }
        if (code < '1' || code > '6') {
            return false;
        }
        static const char* const kDrives[] = {"front forward", "front reverse", "front stop",
                                              "rear forward",  "rear reverse",  "rear stop"};
        answer.replies.push_back(std::string{'c', static_cast<char>(code)});
        answer.notes.push_back(std::string("conveyor ") + kDrives[code - '1']);
        return true;
    }
    if (letter == 'Z' && code == 'D' && request.size() == 3 && request[2] == 'S') {
        answer.replies.push_back(std::string{'z', 'D', 'S', setup_.billInPocket});
        return true;
    }
    if (letter == 'Z' && code == 'D' && request.size() == 4 &&
        (request[2] == 'L' || request[2] == 'B')) {
        const bool light = request[2] == 'L';
        char& state = light ? pocketLight_ : pocketBuzzer_;
        state = request[3] == '1' ? '1' : '0';
        answer.replies.push_back(std::string{'z', 'D', static_cast<char>(request[2]), state});
        answer.notes.push_back(std::string(light ? "cash pocket light " : "cash pocket buzzer ") +
                               OnOff(state));
        return true;
    }
    if (letter == 'Z' && code == 'P' && request.size() == 2) {
        answer.replies.push_back(std::string{'z', 'P', setup_.power});
        answer.systemEvents = setup_.events;
        return true;
    }
    if (letter == 'P' && request.size() == 2) {
        switch (code) {
            case 'O':
            case 'E':
            case 'C':
                couponBox_ = code == 'O' ? '1' : code == 'E' ? '2' : '0';
                answer.notes.push_back(code == 'O'   ? "coupon box enabled"
                                       : code == 'E' ? "coupon box enabled without LED"
                                                     : "coupon box disabled");
                [[fallthrough]];
            case 'S':
                answer.replies.push_back(std::string{'p', static_cast<char>(code), couponBox_});
                return true;
            case 'V': {
                std::string reply = "pV";
                for (const std::uint8_t value : setup_.couponLeds) {
                    reply.push_back(static_cast<char>(value));
                }
                answer.replies.push_back(reply);
                return true;
            }
            default:
                return false;
        }
    }
    if (letter == 'L' && request.size() == 3 && code >= '0' && code < '0' + 5 &&
        request[2] >= '0' && request[2] <= '2') {
        static const char* const kLights[] = {"lane light", "yellow light", "top EAS light",
                                              "middle EAS light", "bottom EAS light"};
        static const char* const kStates[] = {"off", "on", "flashing"};
        lights_[code - '0'] = static_cast<char>(request[2]);
        answer.replies.push_back(
            std::string{'l', static_cast<char>(code), static_cast<char>(request[2])});
        answer.notes.push_back(std::string(kLights[code - '0']) + " " + kStates[request[2] - '0']);
        return true;
    }
    return false;
}

}  // namespace lane::sim
