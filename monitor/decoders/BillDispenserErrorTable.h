// The bill dispenser's dispense error codes: for an error code and two status codes, the line
// to trace, the module it names and what it records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lane::monitor::billdisp {

// What a decoded error records besides its line.
enum class ErrorEffect {
    None,
    FeedFailure,       // the module's feed-failure time
    InvalidCassettes,  // the time invalid cassettes were detected
    DiverterFull,      // the diverter bin's full-at-dispense time
    DiverterMissing,   // the diverter bin's missing-at-dispense time
    JamModule,         // the module's jam on record and its jammed time; state Jammed
    JamModuleFlag,     // the module's jam on record only; state Jammed
    Jam,               // state Jammed
    SensorBlock,       // the sensor-block time
    VoltageRange,      // the module's voltage-out-of-range time
    NotInService,      // the module's not-in-service time
};

enum class ErrorColour { Unchanged, Yellow, Red };

struct DecodedError {
    std::string line;
    // The module number the codes name (any value the arithmetic gives; only 1 to 6 are
    // feed modules with statistics), 0 for none.
    int module = 0;
    ErrorEffect effect = ErrorEffect::None;
    ErrorColour colour = ErrorColour::Unchanged;
    int eventCode = 0;  // 0 for none
};

// The decoded error, or nothing for codes without a line.
std::optional<DecodedError> DecodeError(std::uint8_t error, std::uint8_t status1,
                                        std::uint8_t status2);

}  // namespace lane::monitor::billdisp
