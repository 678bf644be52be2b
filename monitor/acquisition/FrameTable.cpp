// The remote-monitor frame table: shape, allowed sub-codes, tracing and destination per code.
#include "monitor/acquisition/FrameTable.h"

namespace lane::monitor {

namespace {

bool InRange(std::uint8_t value, int first, int last) {
    return value >= first && value <= last;
}

FrameRule ForSecurityModule(FrameShape shape, bool allowed) {
    FrameRule rule;
    rule.shape = shape;
    rule.subCodeAllowed = allowed;
    rule.destination = Device::SecurityModule;
    rule.communicated = true;
    return rule;
}

FrameRule ForDevice(Device device, FrameShape shape, bool traced = true) {
    FrameRule rule;
    rule.shape = shape;
    rule.destination = device;
    rule.traced = traced;
    return rule;
}

FrameRule SecurityModuleStatus(std::uint8_t subCode) {
    // 0xA1: firmware upload, version, EPROM checks and configuration.
    FrameRule rule = ForSecurityModule(FrameShape::TwoByte, InRange(subCode, 1, 5));
    if (subCode == 2 || subCode == 5) {
        rule.shape = FrameShape::Length;
    }
    rule.rejectBeforeRemoval = !rule.subCodeAllowed;
    return rule;
}

FrameRule BillAcceptor(std::uint8_t subCode) {
    switch (subCode) {
        case 8:
            return ForDevice(Device::BillAcceptor, FrameShape::FourByte);
        case 3:
        case 6:
        case 7:
            return ForDevice(Device::BillAcceptor, FrameShape::NestedLength);
        default: {
            FrameRule rule = ForDevice(Device::BillAcceptor, FrameShape::Length);
            rule.copyToCoinAcceptor = true;
            return rule;
        }
    }
}

FrameRule BillDispenser(std::uint8_t subCode) {
    switch (subCode) {
        case 3:
            return ForDevice(Device::BillDispenser, FrameShape::ThreeByte);
        case 4:
        case 5:
        case 6:
            return ForDevice(Device::BillDispenser, FrameShape::TwoByte, false);
        default:
            return ForDevice(Device::BillDispenser, FrameShape::Length);
    }
}

FrameRule FujitsuDispenser(std::uint8_t subCode) {
    switch (subCode) {
        case 5:
        case 7:
        case 9:
            return ForDevice(Device::BillDispenser, FrameShape::TwoByte, false);
        case 11:
            return ForDevice(Device::BillDispenser, FrameShape::FourByte);
        default:
            return ForDevice(Device::BillDispenser, FrameShape::Length);
    }
}

}  // namespace

FrameRule RuleFor(std::uint8_t code, std::uint8_t subCode) {
    switch (code) {
        case 0xA0:
            return ForSecurityModule(FrameShape::Length, subCode == 1);
        case 0xA1:
            return SecurityModuleStatus(subCode);
        case 0xA2:
            return ForSecurityModule(FrameShape::TwoByte, InRange(subCode, 1, 3));
        case 0xA3:
            return ForSecurityModule(FrameShape::TwoByte, InRange(subCode, 1, 12));
        case 0xA4:
            return ForSecurityModule(FrameShape::TwoByte, InRange(subCode, 1, 4));
        case 0xA5: {
            FrameRule rule = ForDevice(Device::Conveyor, FrameShape::TwoByte);
            rule.subCodeAllowed = InRange(subCode, 1, 11);
            rule.rejectBeforeRemoval = true;
            rule.communicated = true;
            return rule;
        }
        case 0xA6: {
            FrameRule rule = ForDevice(Device::SecurityScale, FrameShape::TwoByte);
            rule.subCodeAllowed = InRange(subCode, 1, 8);
            return rule;
        }
        case 0xA7:
            return ForSecurityModule(FrameShape::TwoByte, InRange(subCode, 1, 2));
        case 0xA8:
            return ForDevice(Device::CoinAcceptor, FrameShape::Length);
        case 0xA9:
            return BillAcceptor(subCode);
        case 0xAA:
            return ForDevice(Device::CoinDispenser,
                             subCode == 3 ? FrameShape::NestedLength : FrameShape::Length);
        case 0xAB:
            return BillDispenser(subCode);
        case 0xAC:
        case 0xAD:
            return ForSecurityModule(FrameShape::TwoByte, InRange(subCode, 1, 5));
        case 0xAE:
            return ForDevice(Device::BillDispenser, FrameShape::TwoByte, false);
        case 0xAF:
            return ForSecurityModule(FrameShape::TwoByte, InRange(subCode, 1, 6));
        case 0xB0:
            return ForSecurityModule(FrameShape::TwoByte, true);
        case 0xB1:
            return FujitsuDispenser(subCode);
        case 0xB2:
            return ForSecurityModule(FrameShape::Length, InRange(subCode, 1, 2));
        default:
            return FrameRule{};
    }
}

}  // namespace lane::monitor
