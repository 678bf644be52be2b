// The texts of the Fujitsu bill dispenser's registers, cassettes, currency and thickness graph.
#include "Moxtel/FujitsuTexts.h"

#include <array>

namespace lane::moxtel {

namespace {

using BitNames = std::array<const char*, 8>;  // bit 7 first

struct RegisterNames {
    BitNames bits;
    const char* zero;
};

constexpr const char* kUnknown = "?????,";
constexpr const char* kShortUnknown = "????,";

const RegisterNames& NamesOf(FujitsuRegister which) {
    static const RegisterNames kStatus{
        {kUnknown, kUnknown, "ALARM,", "DFCSALM,", kUnknown, "INIBL,", "REJBL,", "RTVBL"},
        "All Clear"};
    static const RegisterNames kError1{
        {"CPERR,", "MDIVP,", "NMASP,", "INCND,", "HRDTR,", "CNTNC,", "JAMER,", "EQPNR"},
        "No Errors"};
    static const RegisterNames kError2{
        {"PULER,", "MHDTR,", "SNSRA,", "SHTTR,", "FRSRD,", "RBXOV,", kUnknown, "CCNTR"},
        "No Errors"};
    static const RegisterNames kError3{
        {"LNGBL,", "SHTBL,", kUnknown, "THKBL,", "CLSBL,", "OTRBL,", "ECST1,", "ECST2"},
        "No Errors"};
    static const RegisterNames kSensor1{
        {kUnknown, kUnknown, "FDLS6,", "FDLS5,", "FDLS4,", "FDLS3,", "FDLS2,", "FDLS1"},
        "All Clear"};
    static const RegisterNames kSensor2{
        {"BRS1,", "BRS2,", "BRS3,", "EJSF,", "EJSR,", "REJS,", "BPS,", "DFSS"}, "All Clear"};
    static const RegisterNames kSensor3{{"BALM,", kShortUnknown, kShortUnknown, kShortUnknown,
                                         kShortUnknown, kShortUnknown, "TUS,", "THS"},
                                        "All Clear"};
    switch (which) {
        case FujitsuRegister::Status:
            return kStatus;
        case FujitsuRegister::Error1:
            return kError1;
        case FujitsuRegister::Error2:
            return kError2;
        case FujitsuRegister::Error3:
            return kError3;
        case FujitsuRegister::Sensor1:
            return kSensor1;
        case FujitsuRegister::Sensor2:
            return kSensor2;
        case FujitsuRegister::Sensor3:
            break;
    }
    return kSensor3;
}

struct CassetteType {
    std::uint8_t code;
    char letter;
};

constexpr CassetteType kCassetteTypes[] = {
    {2, 'I'}, {3, 'F'}, {4, 'H'}, {5, 'E'}, {6, 'D'}, {8, 'G'}, {9, 'C'}, {10, 'B'}, {12, 'A'},
};

constexpr std::uint8_t kCassetteTypeMask = 0x0F;
constexpr std::uint8_t kBillsLowBit = 0x80;

}  // namespace

std::string FujitsuRegisterText(FujitsuRegister which, std::uint8_t value) {
    const RegisterNames& names = NamesOf(which);
    if (value == 0) {
        return names.zero;
    }
    std::string text;
    for (int bit = 7; bit >= 0; --bit) {
        if ((value >> bit) & 1U) {
            text += names.bits[static_cast<std::size_t>(7 - bit)];
        }
    }
    return text;
}

char FujitsuCassetteLetter(std::uint8_t status) {
    const std::uint8_t type = status & kCassetteTypeMask;
    for (const CassetteType& known : kCassetteTypes) {
        if (known.code == type) {
            return known.letter;
        }
    }
    return 0;
}

std::string FujitsuCassetteText(std::uint8_t status) {
    std::string text;
    const char letter = FujitsuCassetteLetter(status);
    if ((status & kCassetteTypeMask) == 0) {
        text = "None";
    } else if (letter == 0) {
        text = "Unknown Cassette,";
    } else {
        text = std::string(1, letter) + " Cassette,";
    }
    if ((status & kBillsLowBit) != 0) {
        text += " Bills Low";
    }
    return text;
}

const char* FujitsuCurrencyName(char first, char second) {
    switch (first) {
        case 'A':
            return "Australia";
        case 'B':
            return "Bulgaria";
        case 'C':
            return "Canada";
        case 'E':
            return "Euro";
        case 'G':
            return "UK - Ponuds";
        case 'H':
            return second == 'U' ? "Hungary" : "Croatia";
        case 'P':
            return "Poland";
        case 'R':
            return "Serbia";
        case 'S':
            return second == 'E' ? "Swedish" : "Saudi";
        default:
            return "US";
    }
}

std::string FujitsuThicknessGraphLine(std::uint8_t value) {
    std::string line(kFujitsuGraphWidth, ' ');
    line[kFujitsuThicknessLowest - kFujitsuGraphOrigin] = kFujitsuGraphBar;
    line[kFujitsuThicknessHighest - kFujitsuGraphOrigin] = kFujitsuGraphBar;
    for (int v = kFujitsuNormalLowest; v <= kFujitsuNormalHighest; ++v) {
        line[static_cast<std::size_t>(v - kFujitsuGraphOrigin)] = '.';
    }
    const int column = value < kFujitsuGraphOrigin ? 0 : value - kFujitsuGraphOrigin;
    if (column < kFujitsuGraphWidth) {
        line[static_cast<std::size_t>(column)] = '*';
    }
    return line;
}

}  // namespace lane::moxtel
