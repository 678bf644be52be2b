// The devices dialog: one tab per device with its monitoring switch, alert switches and numbers.
#include "monitor/ui/DevicesDialog.h"

namespace lane::monitor {

namespace {

constexpr const char* kTabNames[] = {
    "Coin Acceptor",   "Bill Acceptor",  "Coin Dispenser", "Bill Dispenser",
    "Security Module", "Security Scale", "Conveyor",
};

// Number fields take their label from the text they stand under or beside.
constexpr DeviceControl kControls[] = {
    {0, 1004, ControlKind::CheckBox, "Monitor Coin Acceptor", &MonitorSwitches::MonitorCoinAcceptor,
     nullptr, nullptr},
    {0, 1038, ControlKind::CheckBox, "Fire Coin Acceptor Bin Full", nullptr,
     &MonitorSettings::FireCoinAccFull, nullptr},
    {0, 1039, ControlKind::NumberField, "Bin Volume (volumes in cubic mm)", nullptr, nullptr,
     &MonitorSettings::CoinAccBinVolume},
    {0, 1040, ControlKind::NumberField, "0.01", nullptr, nullptr,
     &MonitorSettings::CoinAcc01Volume},
    {0, 1041, ControlKind::NumberField, "0.05", nullptr, nullptr,
     &MonitorSettings::CoinAcc05Volume},
    {0, 1042, ControlKind::NumberField, "0.10", nullptr, nullptr,
     &MonitorSettings::CoinAcc10Volume},
    {0, 1043, ControlKind::NumberField, "0.25", nullptr, nullptr,
     &MonitorSettings::CoinAcc25Volume},
    {0, 1044, ControlKind::NumberField, "0.50", nullptr, nullptr,
     &MonitorSettings::CoinAcc50Volume},
    {0, 1045, ControlKind::NumberField, "1.00", nullptr, nullptr,
     &MonitorSettings::CoinAcc100Volume},
    {0, 1046, ControlKind::NumberField, "0.20", nullptr, nullptr,
     &MonitorSettings::CoinAcc20Volume},
    {0, 1047, ControlKind::NumberField, "2.00", nullptr, nullptr,
     &MonitorSettings::CoinAcc200Volume},
    {0, 1057, ControlKind::CheckBox, "Fire after X Cash Transactions without coins", nullptr,
     &MonitorSettings::FireCoinAccBillsOnly, nullptr},
    {0, 1058, ControlKind::NumberField, "Transaction Count", nullptr, nullptr,
     &MonitorSettings::CoinAccBillsWithoutCoinCount},
    {1, 1006, ControlKind::CheckBox, "Monitor Bill Acceptor", &MonitorSwitches::MonitorBillAcceptor,
     nullptr, nullptr},
    {1, 1079, ControlKind::CheckBox, "Fire Bill Acceptor Reject Rate Exceeded", nullptr,
     &MonitorSettings::FireBillAccRejectRateHigh, nullptr},
    {1, 1080, ControlKind::NumberField, "# of rejects", nullptr, nullptr,
     &MonitorSettings::BillAccRejectRateRejectCount},
    {1, 1081, ControlKind::NumberField, "out of", nullptr, nullptr,
     &MonitorSettings::BillAccRejectRateCompareCount},
    {1, 1084, ControlKind::CheckBox, "Fire Bill Acceptor Repeated Rejects", nullptr,
     &MonitorSettings::FireBillAccRepeatedReject, nullptr},
    {1, 1085, ControlKind::NumberField, "Repeated Reject Count", nullptr, nullptr,
     &MonitorSettings::BillAccRejectRepeatedRejectCount},
    {1, 1087, ControlKind::CheckBox, "Fire Bill Acceptor Full", nullptr,
     &MonitorSettings::FireBillAccFull, nullptr},
    {1, 1088, ControlKind::CheckBox, "Fire Bill Acceptor Emptied", nullptr,
     &MonitorSettings::FireBillAccEmptied, nullptr},
    {1, 1089, ControlKind::CheckBox, "Fire Bill Acceptor Cassette Removed", nullptr,
     &MonitorSettings::FireBillAccCassetteRemoved, nullptr},
    {1, 1090, ControlKind::CheckBox, "Fire Bill Acceptor Cassette Replaced", nullptr,
     &MonitorSettings::FireBillAccCassetteReplaced, nullptr},
    {1, 1091, ControlKind::CheckBox, "Fire Bill Acceptor CheatMode", nullptr,
     &MonitorSettings::FireBillAccCheatMode, nullptr},
    {1, 1092, ControlKind::CheckBox, "Fire Bill Acceptor Not Responding", nullptr,
     &MonitorSettings::FireBillAccNotResponding, nullptr},
    {1, 1093, ControlKind::CheckBox, "Fire Bill Acceptor Jammed", nullptr,
     &MonitorSettings::FireBillAccJammed, nullptr},
    {1, 1094, ControlKind::CheckBox, "Fire Bill Acceptor Unjammed", nullptr,
     &MonitorSettings::FireBillAccUnjammed, nullptr},
    {1, 1095, ControlKind::CheckBox, "Fire Bill Acceptor in Calibration Mode", nullptr,
     &MonitorSettings::FireBillAccCalibrationMode, nullptr},
    {1, 1096, ControlKind::CheckBox, "Fire Bill Acceptor Reset", nullptr,
     &MonitorSettings::FireBillAccReset, nullptr},
    {1, 1097, ControlKind::CheckBox, "Fire Bill Acceptor Reset With Bill in Escrow", nullptr,
     &MonitorSettings::FireBillAccResetWithEscrow, nullptr},
    {1, 1098, ControlKind::CheckBox, "Fire Bill Acceptor Nonrecoverable", nullptr,
     &MonitorSettings::FireBillAccNonrecoverable, nullptr},
    {1, 1099, ControlKind::CheckBox, "Fire Bill Acceptor Offline", nullptr,
     &MonitorSettings::FireBillAccOffline, nullptr},
    {1, 1100, ControlKind::CheckBox, "Fire Bill Acceptor Online", nullptr,
     &MonitorSettings::FireBillAccOnline, nullptr},
    {2, 1005, ControlKind::CheckBox, "Monitor Coin Dispenser",
     &MonitorSwitches::MonitorCoinDispenser, nullptr, nullptr},
    {2, 1034, ControlKind::CheckBox, "Fire Coin Dispenser Low Event", nullptr,
     &MonitorSettings::FireCoinDispLow, nullptr},
    {2, 1035, ControlKind::CheckBox, "Fire Coin Dispenser Refilled Event", nullptr,
     &MonitorSettings::FireCoinDispRefilled, nullptr},
    {2, 1036, ControlKind::CheckBox, "Fire Coin Dispenser Cassette Removed", nullptr,
     &MonitorSettings::FireCoinDispCassetteRemoved, nullptr},
    {2, 1037, ControlKind::CheckBox, "Fire Coin Dispenser Cassette Replaced", nullptr,
     &MonitorSettings::FireCoinDispCassetteReplaced, nullptr},
    {2, 1102, ControlKind::CheckBox, "Fire Coin Dispenser Offline", nullptr,
     &MonitorSettings::FireCoinDispOffline, nullptr},
    {2, 1103, ControlKind::CheckBox, "Fire Coin Dispenser Online", nullptr,
     &MonitorSettings::FireCoinDispOnline, nullptr},
    {3, 1007, ControlKind::CheckBox, "Monitor Bill Dispenser",
     &MonitorSwitches::MonitorBillDispenser, nullptr, nullptr},
    {3, 1063, ControlKind::CheckBox, "Fire Bill Dispenser Low", nullptr,
     &MonitorSettings::FireBillDispLow, nullptr},
    {3, 1064, ControlKind::CheckBox, "Fire Bill Dispenser Refilled", nullptr,
     &MonitorSettings::FireBillDispRefilled, nullptr},
    {3, 1065, ControlKind::CheckBox, "Fire Bill Dispenser Cassette Removed", nullptr,
     &MonitorSettings::FireBillDispCassetteRemoved, nullptr},
    {3, 1066, ControlKind::CheckBox, "Fire Bill Dispenser Cassette Replaced", nullptr,
     &MonitorSettings::FireBillDispCassetteReplaced, nullptr},
    {3, 1067, ControlKind::CheckBox, "Fire Bill Dispenser Jammed", nullptr,
     &MonitorSettings::FireBillDispJammed, nullptr},
    {3, 1068, ControlKind::CheckBox, "Fire Bill Dispenser Not Responding", nullptr,
     &MonitorSettings::FireBillDispNotResponding, nullptr},
    {3, 1069, ControlKind::CheckBox, "Fire Bill Dispenser Offline", nullptr,
     &MonitorSettings::FireBillDispOffline, nullptr},
    {3, 1070, ControlKind::CheckBox, "Fire Bill Dispenser Online", nullptr,
     &MonitorSettings::FireBillDispOnline, nullptr},
    {3, 1071, ControlKind::CheckBox, "Fire Bill Dispenser Bills Rejected", nullptr,
     &MonitorSettings::FireBillDispBillsRejected, nullptr},
    {3, 1072, ControlKind::CheckBox, "Fire Bill Dispenser Invalid Cassettes", nullptr,
     &MonitorSettings::FireBillDispInvalidCassettes, nullptr},
    {3, 1073, ControlKind::CheckBox, "Fire Bill Dispenser Cassette Low during dispense", nullptr,
     &MonitorSettings::FireBillDispCassetteLowDispense, nullptr},
    {3, 1074, ControlKind::CheckBox, "Fire Bill Dispenser Reset", nullptr,
     &MonitorSettings::FireBillDispReset, nullptr},
    {3, 1075, ControlKind::CheckBox, "Fire Bill Dispenser Feed Failure", nullptr,
     &MonitorSettings::FireBillDispFeedFailure, nullptr},
    {3, 1076, ControlKind::CheckBox, "Fire Bill Dispenser Sensor Block", nullptr,
     &MonitorSettings::FireBillDispSensorBlock, nullptr},
    {3, 1077, ControlKind::CheckBox, "Fire Bill Dispenser voltage out of range", nullptr,
     &MonitorSettings::FireBillDispVoltageRange, nullptr},
    {3, 1078, ControlKind::CheckBox, "Fire Bill Dispenser Feed Module", nullptr,
     &MonitorSettings::FireBillDispFeedModule, nullptr},
    {3, 1101, ControlKind::CheckBox, "Fire Bill Dispenser Command Reject", nullptr,
     &MonitorSettings::FireBillDispCommandReject, nullptr},
    {4, 1001, ControlKind::CheckBox, "Monitor Security Module",
     &MonitorSwitches::MonitorSecurityModule, nullptr, nullptr},
    {4, 1011, ControlKind::CheckBox, "Fire Checksum Fail Event", nullptr,
     &MonitorSettings::FireSMChecksumFail, nullptr},
    {4, 1012, ControlKind::CheckBox, "Fire Green Button Repeat Event", nullptr,
     &MonitorSettings::FireSMGreenButtonRepeat, nullptr},
    {4, 1013, ControlKind::CheckBox, "Fire Red Button Repeat Event", nullptr,
     &MonitorSettings::FireSMRedButtonRepeat, nullptr},
    {4, 1014, ControlKind::CheckBox, "Fire UPS Event", nullptr, &MonitorSettings::FireSMUPSEvent,
     nullptr},
    {4, 1015, ControlKind::CheckBox, "Fire Abnormal Power Down Event", nullptr,
     &MonitorSettings::FireSMAbnormalPowerOff, nullptr},
    {4, 1016, ControlKind::NumberField, "Count", nullptr, nullptr,
     &MonitorSettings::SMGreenButtonTimes},
    {4, 1017, ControlKind::NumberField, "Minutes", nullptr, nullptr,
     &MonitorSettings::SMGreenButtonIntervalMinutes},
    {4, 1018, ControlKind::NumberField, "Count", nullptr, nullptr,
     &MonitorSettings::SMRedButtonTimes},
    {4, 1019, ControlKind::NumberField, "Minutes", nullptr, nullptr,
     &MonitorSettings::SMRedButtonIntervalMinutes},
    {5, 1002, ControlKind::CheckBox, "Monitor Security Scale",
     &MonitorSwitches::MonitorSecurityScale, nullptr, nullptr},
    {5, 1024, ControlKind::CheckBox, "Fire Scale Reset Repeat Event", nullptr,
     &MonitorSettings::FireSSScaleResetRepeat, nullptr},
    {5, 1025, ControlKind::CheckBox, "Fire Scale Calibrate Repeat Event", nullptr,
     &MonitorSettings::FireSSScaleCalibrateRepeat, nullptr},
    {5, 1026, ControlKind::NumberField, "Count", nullptr, nullptr,
     &MonitorSettings::SSScaleResetTimes},
    {5, 1027, ControlKind::NumberField, "Minutes", nullptr, nullptr,
     &MonitorSettings::SSScaleResetIntervalMinutes},
    {5, 1028, ControlKind::NumberField, "Count", nullptr, nullptr,
     &MonitorSettings::SSScaleCalibrateTimes},
    {5, 1029, ControlKind::NumberField, "Minutes", nullptr, nullptr,
     &MonitorSettings::SSScaleCalibrateIntervalMinutes},
    {6, 1003, ControlKind::CheckBox, "Monitor Conveyor", &MonitorSwitches::MonitorConveyor, nullptr,
     nullptr},
};

const DeviceControl* FindControl(int id, std::size_t tab) {
    for (const DeviceControl& control : kControls) {
        if (control.id == id && control.tab == tab) {
            return &control;
        }
    }
    return nullptr;
}

}  // namespace

std::span<const char* const> DeviceTabNames() {
    return kTabNames;
}

std::span<const DeviceControl> DeviceControls() {
    return kControls;
}

std::vector<ControlView> CDevicesDialog::Controls() const {
    const MonitorSettings& settings = block_.settings;
    std::vector<ControlView> shown;
    for (const DeviceControl& control : kControls) {
        if (control.tab != tab_) {
            continue;
        }
        ControlView view{control.id, control.kind, control.caption, "", false, true};
        if (control.switchFlag != nullptr) {
            view.checked = settings.switches.*control.switchFlag;
        } else if (control.flag != nullptr) {
            view.checked = settings.*control.flag;
        } else {
            view.text = FieldText(control.id, settings.*control.number);
        }
        shown.push_back(std::move(view));
    }
    return shown;
}

std::string CDevicesDialog::Click(int id) {
    const DeviceControl* control = FindControl(id, tab_);
    if (control == nullptr) {
        return "";
    }
    MonitorSettings& settings = block_.settings;
    if (control->switchFlag != nullptr) {
        settings.switches.*control->switchFlag = !(settings.switches.*control->switchFlag);
    } else if (control->flag != nullptr) {
        settings.*control->flag = !(settings.*control->flag);
    }
    return "";
}

void CDevicesDialog::ChangeText(int id, const std::string& text) {
    const DeviceControl* control = FindControl(id, tab_);
    if (control == nullptr || control->number == nullptr) {
        return;
    }
    block_.settings.*control->number = static_cast<std::uint32_t>(ReadDecimalText(text));
    SetFieldText(id, text);
}

std::vector<std::string> CDevicesDialog::Tabs() const {
    return {std::begin(kTabNames), std::end(kTabNames)};
}

void CDevicesDialog::SelectTab(std::size_t tab) {
    if (tab < std::size(kTabNames)) {
        tab_ = tab;
    }
}

}  // namespace lane::monitor
