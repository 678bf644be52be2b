// Trace texts of the security module's own events, and the text of a message's trace line.
#include "monitor/acquisition/MessageTrace.h"

#include <array>
#include <cstdio>

#include "common/HexText.h"

namespace lane::monitor {

namespace {

struct EventDescription {
    std::uint8_t code;
    std::uint8_t subCode;
    const char* text;
};

// The cash devices' codes 0xA8 to 0xAB are described by their decoders.
constexpr EventDescription kDescriptions[] = {
    {0xA0, 1, " - Security Module Debug Data"},
    {0xA1, 1, " - Firmware Upload"},
    {0xA1, 2, " - Security Module Version"},
    {0xA1, 3, " - Security Module EPROM Check Passed"},
    {0xA1, 4, " - Security Module EPROM Check Failed"},
    {0xA1, 5, " - Configuration"},
    {0xA2, 1, " - Green Button Pressed"},
    {0xA2, 2, " - Red Button Pressed"},
    {0xA2, 3, " - Red Button Opened"},
    {0xA3, 1, " - Lane Light On"},
    {0xA3, 2, " - Lane Light Off"},
    {0xA3, 3, " - Lane Light Flash"},
    {0xA3, 4, " - Green Light On"},
    {0xA3, 5, " - Green Light Off"},
    {0xA3, 6, " - Green Light Flash"},
    {0xA3, 7, " - Yellow Light On"},
    {0xA3, 8, " - Yellow Light Off"},
    {0xA3, 9, " - Yellow Light Flash"},
    {0xA3, 10, " - Red Light On"},
    {0xA3, 11, " - Red Light Off"},
    {0xA3, 12, " - Red Light Flash"},
    {0xA4, 1, " - Power OK"},
    {0xA4, 2, " - Power Out"},
    {0xA4, 3, " - Power Signal"},
    {0xA4, 4, " - Power Improper Power Down"},
    {0xA5, 1, " - Conveyor On"},
    {0xA5, 2, " - Conveyor Off"},
    {0xA5, 3, " - Conveyor Green Button"},
    {0xA5, 4, " - Conveyor Switch Closed"},
    {0xA5, 5, " - Conveyor Switch Open"},
    {0xA5, 6, " - Conveyor On:Reverse"},
    {0xA5, 7, " - Rear Conveyor On"},
    {0xA5, 8, " - Rear Conveyor Off"},
    {0xA5, 9, " - Rear Conveyor On:Reverse"},
    {0xA5, 10, " - Rear Conveyor Switch Closed"},
    {0xA5, 11, " - Rear Conveyor Switch Opened"},
    {0xA6, 1, " - Scale Reset"},
    {0xA6, 2, " - Scale Calibrated"},
    {0xA6, 3, " - Scale Maximum Weight"},
    {0xA6, 4, " - Scale Negative Weight"},
    {0xA6, 5, " - Scale Zeroed"},
    {0xA6, 6, " - Scale Default EU Command"},
    {0xA6, 7, " - Scale Tare Conveyor Command"},
    {0xA6, 8, " - Scale Auto Zero Neg Weight"},
    {0xA7, 1, " - Sensor Clear"},
    {0xA7, 2, " - Sensor Blocked"},
    {0xAC, 1, " - Coupon Box Light On"},
    {0xAC, 2, " - Coupon Box Light Off"},
    {0xAC, 3, " - Coupon Box Light Flash"},
    {0xAC, 4, " - Coupon Received"},
    {0xAC, 5, " - Coupon Box Full"},
    {0xAD, 1, " - SensorMatic Hard Tag Detected"},
    {0xAD, 2, " - SensorMatic Hard Tag Clear"},
    {0xAD, 3, " - SensorMatic Comm Error to Controller"},
    {0xAD, 4, " - SensorMatic Enable Controller"},
    {0xAD, 5, " - SensorMatic Disable Controller"},
    {0xAE, 1, " - BillDispenser Light/Buzzer/Sensor Light ON"},
    {0xAE, 2, " - BillDispenser Light/Buzzer/Sensor Buzzer ON"},
    {0xAE, 3, " - BillDispenser Light/Buzzer/Sensor Bill Detected"},
    {0xAE, 4, " - BillDispenser Light/Buzzer/Sensor No Bill Detected/Timeoout"},
    {0xAE, 5, " - BillDispenser Light/Buzzer/Sensor Complete/Timeout"},
    {0xAF, 1, " - Curtains Front Break"},
    {0xAF, 2, " - Curtains Front Unbreak"},
    {0xAF, 3, " - Curtains Rear Break"},
    {0xAF, 4, " - Curtains Rear Unbreak"},
    {0xAF, 5, " - Curtains Bag Area Full"},
    {0xAF, 6, " - Curtains Bage Area Clear"},
    {0xB0, 1, " - USB EPA Clear FIFO"},
    {0xB0, 2, " - USB EPC Clear FIFO"},
    {0xB0, 3, " - USB EPB Full"},
    {0xB0, 4, " - USB EPD Full"},
    {0xB1, 1, " - Fujitsu BillDispenser - Data TO BDisp"},
    {0xB1, 2, " - Fujitsu BillDispenser - Data FROM BDisp"},
    {0xB1, 3, " - Fujitsu BillDispenser - Raw Data TO BDisp"},
    {0xB1, 4, " - Fujitsu BillDispenser - Raw Data FROM BDisp"},
    {0xB1, 5, " - Fujitsu BillDispenser - Packet Error"},
    {0xB1, 6, " - Fujitsu BillDispenser - Initialize Cassettes"},
    {0xB1, 7, " - Fujitsu BillDispenser - Power Off/On While Dispensing"},
    {0xB1, 8, " - Fujitsu BillDispenser - Cassette Removed/Inserted"},
    {0xB1, 9, " - Fujitsu BillDispenser - Resend Packet"},
    {0xB1, 10, " - Fujitsu BillDispenser - Report Error Codes"},
    {0xB1, 11, " - Fujitsu BillDispenser - Firmware Version"},
    {0xB2, 1, " - Data TO Cash System"},
    {0xB2, 2, " - Data FROM Cash System"},
};

constexpr std::size_t kDescribedCodes = 0xB2 - 0xA0 + 1;
constexpr std::size_t kDescribedSubCodes = 13;
using DescriptionTable = std::array<std::array<const char*, kDescribedSubCodes>, kDescribedCodes>;

// The descriptions by code and sub-code, for a lookup per traced frame.
const DescriptionTable& Descriptions() {
    static const DescriptionTable table = [] {
        DescriptionTable built{};
        for (const EventDescription& description : kDescriptions) {
            built[description.code - 0xA0][description.subCode] = description.text;
        }
        return built;
    }();
    return table;
}

}  // namespace

namespace {

void AppendDescription(std::string& text, const MonitorMessage& message,
                       std::string_view decoderText) {
    if (!IsMonitorCode(message.code)) {
        text += " ** UNKNOWN MESSAGE **";
    } else if (IsDescribedByDecoder(message.code)) {
        text += decoderText;
    } else {
        text += SecurityModuleDescription(message.code, message.subCode);
    }
}

}  // namespace

const char* SecurityModuleDescription(std::uint8_t code, std::uint8_t subCode) {
    if (code < 0xA0 || code > 0xB2 || subCode >= kDescribedSubCodes) {
        return "";
    }
    const char* text = Descriptions()[code - 0xA0][subCode];
    return text != nullptr ? text : "";
}

bool IsDescribedByDecoder(std::uint8_t code) {
    return code >= 0xA8 && code <= 0xAB;
}

void AppendMessageTraceText(std::string& text, const MonitorMessage& message,
                            std::string_view decoderText) {
    if (text.empty() && message.length >= 0 && message.length <= kMonitorMessageDataSize) {
        // The usual case, made in one go: no hex dump can reach the stop length here.
        static constexpr char kDigits[] = "0123456789ABCDEF";
        char hex[16 + 3 * kMonitorMessageDataSize];
        char* out = hex;
        const auto putByte = [&out](unsigned value) {
            out[0] = kDigits[(value >> 4) & 0x0F];
            out[1] = kDigits[value & 0x0F];
            out[2] = ' ';
            out += 3;
        };
        putByte(message.code);
        putByte(message.subCode);
        if (message.length > 0) {
            *out++ = '[';
            putByte(static_cast<unsigned>(message.length));
            out[-1] = ']';
            *out++ = ' ';
            for (int i = 0; i < message.length; ++i) {
                putByte(message.data[static_cast<std::size_t>(i)]);
            }
        }
        text.append(hex, out);
        AppendDescription(text, message, decoderText);
        return;
    }
    AppendHexBytes(text, &message.code, 1, kTraceHexStop);
    AppendHexBytes(text, &message.subCode, 1, kTraceHexStop);
    if (message.length > 0) {
        char length[16];
        if (message.length <= 0xFF) {
            static constexpr char kDigits[] = "0123456789ABCDEF";
            const auto value = static_cast<unsigned>(message.length);
            text += '[';
            text += kDigits[value >> 4];
            text += kDigits[value & 0x0F];
            text += "] ";
        } else {
            std::snprintf(length, sizeof length, "[%02X] ", static_cast<unsigned>(message.length));
            text += length;
        }
        const auto count = static_cast<std::size_t>(
            message.length < kMonitorMessageDataSize ? message.length : kMonitorMessageDataSize);
        AppendHexBytes(text, message.data.data(), count, kTraceHexStop);
    }
    AppendDescription(text, message, decoderText);
}

std::string MessageTraceText(const MonitorMessage& message, const std::string& decoderText) {
    std::string text;
    text.reserve(64 + static_cast<std::size_t>(message.length) * 3);
    AppendMessageTraceText(text, message, decoderText);
    return text;
}

}  // namespace lane::monitor
