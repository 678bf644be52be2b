// The bill dispenser's dispense error codes and the lines, modules and effects they stand for.
#include "monitor/decoders/BillDispenserErrorTable.h"

#include "monitor/alerts/AlertEvents.h"
#include "monitor/decoders/DeviceText.h"

namespace lane::monitor::billdisp {

namespace {

// How a row finds the module its line names from the second status code.
enum class ModuleFrom { None, Itself, Minus6, Plus4, Minus4, Letter, Six };

constexpr std::uint8_t kAnyLow = 0x00;
constexpr std::uint8_t kAnyHigh = 0xFF;

struct ErrorRow {
    std::uint8_t error;
    std::uint8_t status1;
    std::uint8_t status2Low;  // the second status code lies in status2Low..status2High
    std::uint8_t status2High;
    const char* line;  // "%c" stands for the module character
    ModuleFrom from;
    ErrorEffect effect;
    ErrorColour colour;
    int eventCode;
};

using E = ErrorEffect;
using C = ErrorColour;
using M = ModuleFrom;

// The first row that matches applies, so a row for one status code comes before its "other".
constexpr ErrorRow kRows[] = {
    {';', '0', kAnyLow, kAnyHigh, "Bill Dispenser: Unsolicited Note Feed Module %c", M::Itself,
     E::None, C::Unchanged, 0},
    {';', '3', kAnyLow, kAnyHigh, "Bill Dispenser: Diverter will not go to reject position",
     M::None, E::None, C::Unchanged, 0},
    {';', '5', '8', '8', "Bill Dispenser: Too many notes dispensed", M::None, E::None, C::Unchanged,
     0},
    {';', '5', '9', '9', "Bill Dispenser: Timing wheel error", M::None, E::None, C::Unchanged, 0},
    {';', '7', kAnyLow, kAnyHigh, "Bill Dispenser: Failure to dump", M::None, E::None, C::Unchanged,
     0},
    {';', '8', kAnyLow, kAnyHigh, "Bill Dispenser: Purge error following dispense error", M::None,
     E::None, C::Unchanged, 0},
    {'<', '8', kAnyLow, kAnyHigh, "Bill Dispenser: Dispense Timeout", M::None, E::None,
     C::Unchanged, 0},
    {'=', '1', '7', '9', "Bill Dispenser: Feed Failure Feed Module %c", M::Minus6, E::FeedFailure,
     C::Red, kEventBillDispFeedFailure},
    {'=', '2', '0', '2', "Bill Dispenser: Feed Failure Feed Module %c", M::Plus4, E::FeedFailure,
     C::Red, kEventBillDispFeedFailure},
    {'=', '3', '6', '6', "Bill Dispenser: Unidentified cassette code", M::None, E::InvalidCassettes,
     C::Red, kEventBillDispInvalidCassettes},
    {'=', '3', kAnyLow, kAnyHigh, "Bill Dispenser: Notes THICKER than Key Data Feed Module %c",
     M::Letter, E::None, C::Unchanged, 0},
    {'=', '5', kAnyLow, kAnyHigh, "Bill Dispenser: Notes THINNER than Key Data Feed Module %c",
     M::Letter, E::None, C::Unchanged, 0},
    {'=', '6', '5', '5', "Bill Dispenser: Cassettes shuffled", M::None, E::None, C::Unchanged, 0},
    {'=', '6', kAnyLow, kAnyHigh, "Bill Dispenser: Notes SHORTER than Key Data Feed Module %c",
     M::Letter, E::None, C::Unchanged, 0},
    {'=', '7', '8', '8', "Bill Dispenser: Diverter Full", M::None, E::DiverterFull, C::Unchanged,
     0},
    {'=', '7', '9', '9', "Bill Dispenser: Diverter Missing", M::None, E::DiverterMissing, C::Yellow,
     0},
    {'=', '7', kAnyLow, kAnyHigh, "Bill Dispenser: Notes LONGER than Key Data Feed Module %c",
     M::Letter, E::None, C::Unchanged, 0},
    {'>', '2', '5', '9', "Bill Dispenser: Jam Feed Module %c", M::Minus4, E::JamModule, C::Red,
     kEventBillDispJammed},
    {'>', '3', '0', '0', "Bill Dispenser:  Jam Feed Module 6", M::Six, E::JamModuleFlag, C::Red,
     kEventBillDispJammed},
    {'>', '3', '3', '3', "Bill Dispenser: Jam between double detect and exit throat", M::None,
     E::Jam, C::Red, kEventBillDispJammed},
    {'>', '3', '4', '4', "Bill Dispenser: Jam between double detect and reject throat", M::None,
     E::Jam, C::Red, kEventBillDispJammed},
    {'>', '6', kAnyLow, kAnyHigh, "Bill Dispenser: Counting Sensor blocked", M::None,
     E::SensorBlock, C::Yellow, kEventBillDispSensorBlock},
    {'>', '8', kAnyLow, kAnyHigh, "Bill Dispenser: Prox Voltage out of range Feed Module %c",
     M::Letter, E::VoltageRange, C::Yellow, kEventBillDispVoltageRange},
    {'?', '9', kAnyLow, kAnyHigh, "Bill Dispenser: Feed Module %c Not In Service", M::Six,
     E::NotInService, C::Red, kEventBillDispFeedModule},
    {'?', '6', kAnyLow, kAnyHigh, "Bill Dispenser: Counting Sensor dirty", M::None, E::SensorBlock,
     C::Yellow, kEventBillDispSensorBlock},
};

std::uint8_t ModuleCharacter(ModuleFrom from, std::uint8_t status2) {
    switch (from) {
        case ModuleFrom::Itself:
            return status2;
        case ModuleFrom::Minus6:
            return static_cast<std::uint8_t>(status2 - 6);
        case ModuleFrom::Plus4:
            return static_cast<std::uint8_t>(status2 + 4);
        case ModuleFrom::Minus4:
            return static_cast<std::uint8_t>(status2 - 4);
        case ModuleFrom::Letter:
            return static_cast<std::uint8_t>(status2 - 0x10);
        case ModuleFrom::Six:
            return '6';
        case ModuleFrom::None:
            break;
    }
    return 0;
}

// The line with its "%c" replaced by the module character.
std::string WithModule(const char* line, std::uint8_t character) {
    std::string text = line;
    const std::size_t at = text.find("%c");
    if (at != std::string::npos) {
        text.replace(at, 2, DeviceString(&character, 1));
    }
    return text;
}

DecodedError Decoded(const char* line, int moduleNumber, ErrorEffect effect,
                     ErrorColour colour = ErrorColour::Unchanged, int eventCode = 0) {
    return DecodedError{
        WithModule(line, static_cast<std::uint8_t>('0' + moduleNumber)),
        moduleNumber,
        effect,
        colour,
        eventCode,
    };
}

// The codes below '9' and from 0x40 to 'P': bit 3 tells a feed failure from a missing cassette;
// the module is the sum of the code's nibbles once bit 3 is cleared.
std::optional<DecodedError> DecodeModuleCode(std::uint8_t error) {
    const unsigned cleared = error & ~0x08u;
    const int module = static_cast<int>((cleared & 0x0Fu) + (cleared >> 4));
    if ((error & 0x08u) != 0) {
        return Decoded("Bill Dispenser: Feed Failure Feed Module %c", module,
                       ErrorEffect::FeedFailure, ErrorColour::Unchanged, kEventBillDispFeedFailure);
    }
    return Decoded("Bill Dispenser: No Cassette %c", module, ErrorEffect::None);
}

// The codes whose first status code holds a kind in its high nibble and a module in its low.
std::optional<DecodedError> DecodeNibbleCode(std::uint8_t error, std::uint8_t status1) {
    const unsigned kind = status1 >> 4;
    const int module = status1 & 0x0F;
    const bool jam = kind == 0;
    const bool jamOrLost = kind <= 1;
    const bool feedFailure = kind == 2 || kind == 3;
    const bool sensor = kind == 4;
    switch (error) {
        case 'p':
            if (status1 >= 1 && status1 <= 6) {
                return Decoded("Bill Dispenser: Feed Failure Feed Module %c", module,
                               ErrorEffect::FeedFailure, ErrorColour::Unchanged,
                               kEventBillDispFeedFailure);
            }
            break;
        case 'x':
            if (jamOrLost) {
                return Decoded("Bill Dispenser: Jam Feed Module %c", module, ErrorEffect::JamModule,
                               ErrorColour::Red, kEventBillDispJammed);
            }
            if (feedFailure) {
                return Decoded("Bill Dispenser: Feed Failure Feed Module %c", module,
                               ErrorEffect::FeedFailure, ErrorColour::Unchanged,
                               kEventBillDispFeedFailure);
            }
            if (sensor) {
                return Decoded("Bill Dispenser: Sensor Error (No bill) Feed Module %c", module,
                               ErrorEffect::None);
            }
            break;
        case 'z':
        case '{':
        case '|':
        case '}': {
            const bool jamHere = error == '}' ? jamOrLost : jam;
            if (jamHere) {
                return Decoded("Bill Dispenser: Jam", 0, ErrorEffect::Jam, ErrorColour::Red);
            }
            if (feedFailure && (error == 'z' || error == '|')) {
                return Decoded("Bill Dispenser: Feed Failure", 0, ErrorEffect::None);
            }
            if (sensor && (error == 'z' || error == '{')) {
                return Decoded("Bill Dispenser: Sensor Error", 0, ErrorEffect::None);
            }
            break;
        }
        default:
            break;
    }
    return std::nullopt;
}

}  // namespace

std::optional<DecodedError> DecodeError(std::uint8_t error, std::uint8_t status1,
                                        std::uint8_t status2) {
    for (const ErrorRow& row : kRows) {
        if (row.error == error && row.status1 == status1 && status2 >= row.status2Low &&
            status2 <= row.status2High) {
            const std::uint8_t character = ModuleCharacter(row.from, status2);
            DecodedError decoded{WithModule(row.line, character), 0, row.effect, row.colour,
                                 row.eventCode};
            if (row.from != ModuleFrom::None && row.from != ModuleFrom::Itself) {
                decoded.module = character - '0';
            }
            return decoded;
        }
    }
    if (error < '9' || (error >= 0x40 && error <= 'P')) {
        return DecodeModuleCode(error);
    }
    // Two codes of the high range name the fault of the note itself.
    if (error == 0x82) {
        return Decoded("Bill Dispenser: Long Bill", 0, ErrorEffect::None);
    }
    if (error == 0x83) {
        return Decoded("Bill Dispenser: Short Bill", 0, ErrorEffect::None);
    }
    return DecodeNibbleCode(error, status1);
}

}  // namespace lane::monitor::billdisp
