// The stored statistics values in stored order: the one list that load, save and defaults walk.
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>

#include "monitor/stats/DeviceStatistics.h"

namespace lane::monitor {

// The twelve per-module time arrays of the bill dispenser, stored for module n under
// "BillDispFM" n suffix ("BillDispFM1LastTimeDispensedBills").
struct FeedModuleTimeField {
    const char* suffix;
    FeedModuleTimes CDeviceStatistics::*times;
};

inline constexpr FeedModuleTimeField kFeedModuleTimeFields[] = {
    {"LastTimeDispensedBills", &CDeviceStatistics::BillDispFMnLastTimeDispensedBills},
    {"LastTimeLow", &CDeviceStatistics::BillDispFMnLastTimeLow},
    {"LastTimeRefilled", &CDeviceStatistics::BillDispFMnLastTimeRefilled},
    {"LastTimeCassetteRemoved", &CDeviceStatistics::BillDispFMnLastTimeCassetteRemoved},
    {"LastTimeCassetteReplaced", &CDeviceStatistics::BillDispFMnLastTimeCassetteReplaced},
    {"LastTimeJammed", &CDeviceStatistics::BillDispFMnLastTimeJammed},
    {"LastTimeUnjammed", &CDeviceStatistics::BillDispFMnLastTimeUnjammed},
    {"LastTimeBillsRejected", &CDeviceStatistics::BillDispFMnLastTimeBillsRejected},
    {"LastTimeCassetteLowDuringDispense",
     &CDeviceStatistics::BillDispFMnLastTimeCassetteLowDuringDispense},
    {"LastTimeFeedFailure", &CDeviceStatistics::BillDispFMnLastTimeFeedFailure},
    {"LastTimeVoltageOutOfRange", &CDeviceStatistics::BillDispFMnLastTimeVoltageOutOfRange},
    {"LastTimeNotInService", &CDeviceStatistics::BillDispFMnLastTimeNotInService},
};

// Number of stored statistics values (every field but SecModEPROMFailed, arrays by element).
inline constexpr std::size_t kStoredStatisticsCount = 218;

namespace detail {

template <typename Record, typename Visitor>
void VisitColoursAndLane(Record& s, Visitor& v) {
    v.Colour("StatusSystem", s.StatusSystem);
    v.Colour("StatusSecurityModule", s.StatusSecurityModule);
    v.Colour("StatusCoinAcceptor", s.StatusCoinAcceptor);
    v.Colour("StatusCoinDispenser", s.StatusCoinDispenser);
    v.Colour("StatusBillAcceptor", s.StatusBillAcceptor);
    v.Colour("StatusBillDispenser", s.StatusBillDispenser);
    v.Colour("StatusSecurityScale", s.StatusSecurityScale);
    v.Text("LaneSoftwareVersion", s.LaneSoftwareVersion);
}

template <typename Record, typename Visitor>
void VisitSecurityModuleAndScale(Record& s, Visitor& v) {
    v.State("SecModState", s.SecModState);
    v.Time("SecModLastTimeCommunicated", s.SecModLastTimeCommunicated);
    v.Text("SecModEPROMVersion", s.SecModEPROMVersion);
    v.Time("SecModLastTimeLaneOpened", s.SecModLastTimeLaneOpened);
    v.Time("SecModLastTimeLaneClosed", s.SecModLastTimeLaneClosed);
    v.Time("SecModLastTimePresenceClear", s.SecModLastTimePresenceClear);
    v.Time("SecModLastTimePresenceDetected", s.SecModLastTimePresenceDetected);
    v.Time("SecModLastTimeGreenButtonPressed", s.SecModLastTimeGreenButtonPressed);
    v.Time("SecModLastTimeRedButtonPressed", s.SecModLastTimeRedButtonPressed);
    v.Time("SecModLastTimeUPSEvent", s.SecModLastTimeUPSEvent);
    v.Time("SecModLastTimeAbnormalPowerOff", s.SecModLastTimeAbnormalPowerOff);
    v.Time("SecModLastTimeBadData", s.SecModLastTimeBadData);
    v.Text("SecModLastBadData", s.SecModLastBadData);

    v.State("SecScaleState", s.SecScaleState);
    v.Time("SecScaleLastTimeScaleReset", s.SecScaleLastTimeScaleReset);
    v.Time("SecScaleLastTimeScaleCalibrated", s.SecScaleLastTimeScaleCalibrated);
    v.Time("SecScaleLastTimeMaximumWeight", s.SecScaleLastTimeMaximumWeight);
    v.Time("SecScaleLastTimeNegativeWeight", s.SecScaleLastTimeNegativeWeight);
    v.Time("SecScaleLastTimeZeroCommandSent", s.SecScaleLastTimeZeroCommandSent);
}

template <typename Record, typename Visitor>
void VisitConveyor(Record& s, Visitor& v) {
    v.State("ConveyorState", s.ConveyorState);
    v.Time("ConveyorLastTimeGreenButton", s.ConveyorLastTimeGreenButton);
    v.Time("ConveyorLastTimeFrontBeltOn", s.ConveyorLastTimeFrontBeltOn);
    v.Time("ConveyorLastTimeFrontBeltOnReverse", s.ConveyorLastTimeFrontBeltOnReverse);
    v.Time("ConveyorLastTimeFrontBeltOff", s.ConveyorLastTimeFrontBeltOff);
    v.Time("ConveyorLastTimeRearBeltOn", s.ConveyorLastTimeRearBeltOn);
    v.Time("ConveyorLastTimeRearBeltOnReverse", s.ConveyorLastTimeRearBeltOnReverse);
    v.Time("ConveyorLastTimeRearBeltOff", s.ConveyorLastTimeRearBeltOff);
    v.Time("ConveyorLastTimeFrontSwitchOpen", s.ConveyorLastTimeFrontSwitchOpen);
    v.Time("ConveyorLastTimeFrontSwitchClosed", s.ConveyorLastTimeFrontSwitchClosed);
    v.Time("ConveyorLastTimeRearSwitchOpen", s.ConveyorLastTimeRearSwitchOpen);
    v.Time("ConveyorLastTimeRearSwitchClosed", s.ConveyorLastTimeRearSwitchClosed);
}

template <typename Record, typename Visitor>
void VisitCoinDevices(Record& s, Visitor& v) {
    v.Time("CoinAccLastTimeReceivedCoin", s.CoinAccLastTimeReceivedCoin);
    v.Count("CoinAccCoinVolume", s.CoinAccCoinVolume);
    v.State("CoinAccState", s.CoinAccState);
    v.Count("CoinAccRejectRate", s.CoinAccRejectRate);

    // The dispense time is stored ahead of the communication time.
    v.Text("CoinDispVersion", s.CoinDispVersion);
    v.Time("CoinDispLastTimeDispensed", s.CoinDispLastTimeDispensed);
    v.Time("CoinDispLastTimeCommunicated", s.CoinDispLastTimeCommunicated);
    v.Text("CoinDispLastCoinsDispensed", s.CoinDispLastCoinsDispensed);
    v.State("CoinDispState", s.CoinDispState);
    v.Time("CoinDispLastTimeLow", s.CoinDispLastTimeLow);
    v.Time("CoinDispLastTimeRefilled", s.CoinDispLastTimeRefilled);
    v.Time("CoinDispLastTimeOffline", s.CoinDispLastTimeOffline);
    v.Time("CoinDispLastTimeBadPacket", s.CoinDispLastTimeBadPacket);
    v.Text("CoinDispLastBadPacket", s.CoinDispLastBadPacket);
}

template <typename Record, typename Visitor>
void VisitBillAcceptor(Record& s, Visitor& v) {
    v.Count("BillAccModel", s.BillAccModel);
    v.Count("BillAccRevision", s.BillAccRevision);
    v.Time("BillAccLastTimeReceivedBills", s.BillAccLastTimeReceivedBills);
    v.Time("BillAccLastTimeReceivedReject", s.BillAccLastTimeReceivedReject);
    v.Time("BillAccLastTimeCommunicated", s.BillAccLastTimeCommunicated);
    v.State("BillAccState", s.BillAccState);
    v.Count("BillAccRejectRate", s.BillAccRejectRate);
    v.Count("BillAccRepeatedRejects", s.BillAccRepeatedRejects);
    v.Flag("BillAccRequireCleaning", s.BillAccRequireCleaning);
    v.Time("BillAccLastTimeFull", s.BillAccLastTimeFull);
    v.Time("BillAccLastTimeEmptied", s.BillAccLastTimeEmptied);
    v.Time("BillAccLastTimeCassetteRemoved", s.BillAccLastTimeCassetteRemoved);
    v.Time("BillAccLastTimeCassetteReplaced", s.BillAccLastTimeCassetteReplaced);
    v.Time("BillAccLastTimeCheatMode", s.BillAccLastTimeCheatMode);
    v.Time("BillAccLastTimeJammed", s.BillAccLastTimeJammed);
    v.Time("BillAccLastTimeUnjammed", s.BillAccLastTimeUnjammed);
    v.Time("BillAccLastTimeEnteredCalibration", s.BillAccLastTimeEnteredCalibration);
    v.Time("BillAccLastTimeReset", s.BillAccLastTimeReset);
    v.Time("BillAccLastTimeResetWithBill", s.BillAccLastTimeResetWithBill);
    v.Time("BillAccLastTimeNonrecoverableError", s.BillAccLastTimeNonrecoverableError);
    v.Time("BillAccLasttimeOffline", s.BillAccLasttimeOffline);
    v.Time("BillAccLastTimeBadPacket", s.BillAccLastTimeBadPacket);
    v.Text("BillAccLastBadPacket", s.BillAccLastBadPacket);
}

// Each module complete (number, denomination, twelve times), module 1 first.
template <typename Record, typename Visitor>
void VisitFeedModules(Record& s, Visitor& v) {
    for (std::size_t i = 0; i < kFeedModuleCount; ++i) {
        const std::string prefix = "BillDispFM" + std::to_string(i + 1);
        v.Count(prefix, s.BillDispFMn[i]);
        v.Text(prefix + "Denomination", s.BillDispFMnDenomination[i]);
        for (const FeedModuleTimeField& field : kFeedModuleTimeFields) {
            v.Time(prefix + field.suffix, (s.*field.times)[i]);
        }
    }
}

template <typename Record, typename Visitor>
void VisitBillDispenser(Record& s, Visitor& v) {
    v.Count("BillDispManufacturer", s.BillDispManufacturer);
    v.Text("BillDispModel", s.BillDispModel);
    v.Text("BillDispRevision", s.BillDispRevision);
    v.State("BillDispState", s.BillDispState);
    v.Time("BillDispLastTimeCommunicated", s.BillDispLastTimeCommunicated);
    v.Time("BillDispLastTimeDispensedBills", s.BillDispLastTimeDispensedBills);
    v.Text("BillDispLastCurrenciesDispensed", s.BillDispLastCurrenciesDispensed);
    v.Time("BillDispLastTimeReset", s.BillDispLastTimeReset);
    v.Time("BillDispLastTimeUnitOffline", s.BillDispLastTimeUnitOffline);
    v.Text("BillDispLastCassetteRemoved", s.BillDispLastCassetteRemoved);
    v.Text("BillDispLastCassetteReplaced", s.BillDispLastCassetteReplaced);
    v.Time("BillDispLastTimeDetectedInvalidCassettes", s.BillDispLastTimeDetectedInvalidCassettes);
    v.Time("BillDispLastTimeFaultReported", s.BillDispLastTimeFaultReported);
    v.Text("BillDispLastFaultCodeReported", s.BillDispLastFaultCodeReported);
    v.Time("BillDispLastTimeCommandReject", s.BillDispLastTimeCommandReject);
    v.Text("BillDispLastCommandRejected", s.BillDispLastCommandRejected);
    v.Text("BillDispLastCmdRejectReason", s.BillDispLastCmdRejectReason);
    v.Time("BillDispLastTimeSensorBlock", s.BillDispLastTimeSensorBlock);
    VisitFeedModules(s, v);
    v.Count("BillDispDivBin", s.BillDispDivBin);
    v.Time("BillDispDivBinLastTimeFullAtDispense", s.BillDispDivBinLastTimeFullAtDispense);
    v.Time("BillDispDivBinLastTimeMissingAtDispense", s.BillDispDivBinLastTimeMissingAtDispense);
    v.Time("BillDispDivBinLastTimeRemoved", s.BillDispDivBinLastTimeRemoved);
    v.Time("BillDispDivBinLastTimeReplaced", s.BillDispDivBinLastTimeReplaced);
}

template <typename Record, typename Visitor>
void VisitPocketCurtainsAndSensors(Record& s, Visitor& v) {
    v.Time("CashPocketLastTimeCommunicated", s.CashPocketLastTimeCommunicated);
    v.Time("CashPocketLastTimeLightOn", s.CashPocketLastTimeLightOn);
    v.Time("CashPocketLastTimeBuzzerOn", s.CashPocketLastTimeBuzzerOn);
    v.Time("CashPocketLastTimeBillDetected", s.CashPocketLastTimeBillDetected);
    v.Time("CashPocketLastTimeNoBillDetectedOrTimeout",
           s.CashPocketLastTimeNoBillDetectedOrTimeout);
    v.Flag("CashPocketLightState", s.CashPocketLightState);
    v.Flag("CashPocketBuzzerState", s.CashPocketBuzzerState);

    v.Time("CurtainsLastTimeFrontCurtainBreak", s.CurtainsLastTimeFrontCurtainBreak);
    v.Time("CurtainsLastTimeFrontCurtainUnbreak", s.CurtainsLastTimeFrontCurtainUnbreak);
    v.Time("CurtainsLastTimeRearCurtainBreak", s.CurtainsLastTimeRearCurtainBreak);
    v.Time("CurtainsLastTimeRearCurtainUnbreak", s.CurtainsLastTimeRearCurtainUnbreak);

    v.Time("BaggingSensorLastTimeBagAreaFull", s.BaggingSensorLastTimeBagAreaFull);
    v.Time("BaggingSensorLastTimeBagAreaClear", s.BaggingSensorLastTimeBagAreaClear);

    v.Time("SensormaticLastTimeHardTagDetected", s.SensormaticLastTimeHardTagDetected);
    v.Time("SensormaticLastTimeHardTagClear", s.SensormaticLastTimeHardTagClear);
    v.Time("SensormaticLastTimeCommError", s.SensormaticLastTimeCommError);
    v.Time("SensormaticLastTimeEnableController", s.SensormaticLastTimeEnableController);
    v.Time("SensormaticLastTimeDisableController", s.SensormaticLastTimeDisableController);
}

template <typename Record, typename Visitor>
void VisitCouponBoxAndLights(Record& s, Visitor& v) {
    v.Time("CouponBoxLastTimeLightOn", s.CouponBoxLastTimeLightOn);
    v.Time("CouponBoxLastTimeLightOff", s.CouponBoxLastTimeLightOff);
    v.Time("CouponBoxLastTimeLightFlashing", s.CouponBoxLastTimeLightFlashing);
    v.Time("CouponBoxLastTimeCouponReceived", s.CouponBoxLastTimeCouponReceived);
    v.Time("CouponBoxLastTimeBoxFull", s.CouponBoxLastTimeBoxFull);

    v.Time("LaneLightLastTimeOn", s.LaneLightLastTimeOn);
    v.Time("LaneLightLastTimeOff", s.LaneLightLastTimeOff);
    v.Time("LaneLightLastTimeFlashing", s.LaneLightLastTimeFlashing);
    v.Time("GreenLightLastTimeOn", s.GreenLightLastTimeOn);
    v.Time("GreenLightLastTimeOff", s.GreenLightLastTimeOff);
    v.Time("GreenLightLastTimeFlashing", s.GreenLightLastTimeFlashing);
    v.Time("YellowLightLastTimeOn", s.YellowLightLastTimeOn);
    v.Time("YellowLightLastTimeOff", s.YellowLightLastTimeOff);
    v.Time("YellowLightLastTimeFlashing", s.YellowLightLastTimeFlashing);
    v.Time("RedLightLastTimeOn", s.RedLightLastTimeOn);
    v.Time("RedLightLastTimeOff", s.RedLightLastTimeOff);
    v.Time("RedLightLastTimeFlashing", s.RedLightLastTimeFlashing);
}

}  // namespace detail

// Calls the visitor once per stored value, in stored order, with the value's name and the
// field: v.Time, v.State, v.Colour, v.Count, v.Flag or v.Text (name, field). `Record` is
// CDeviceStatistics or const CDeviceStatistics. The caller holds the record's lock.
template <typename Record, typename Visitor>
void VisitStoredStatistics(Record& s, Visitor& v) {
    static_assert(std::is_same_v<std::remove_const_t<Record>, CDeviceStatistics>);
    detail::VisitColoursAndLane(s, v);
    detail::VisitSecurityModuleAndScale(s, v);
    detail::VisitConveyor(s, v);
    detail::VisitCoinDevices(s, v);
    detail::VisitBillAcceptor(s, v);
    detail::VisitBillDispenser(s, v);
    detail::VisitPocketCurtainsAndSensors(s, v);
    detail::VisitCouponBoxAndLights(s, v);
}

}  // namespace lane::monitor
