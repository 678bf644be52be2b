// CDeviceStatistics: the lane's statistics record, one per view, guarded by its own lock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>

#include "monitor/stats/DeviceStatus.h"
#include "platform/LanePath.h"

namespace lane::monitor {

// Feed modules of the bill dispenser: module n is element n - 1 of each "BillDispFMn" array.
inline constexpr std::size_t kFeedModuleCount = 6;

// True for the feed-module numbers the record keeps (1 to 6).
constexpr bool IsFeedModuleNumber(unsigned number) {
    return number >= 1 && number <= kFeedModuleCount;
}

using FeedModuleTimes = std::array<std::time_t, kFeedModuleCount>;

// Every field is named as the registry value that stores it. Times are local-time seconds and
// default to 1980-01-01 00:00:00 local time; states default to Ready, colours to Green, counts
// to 0, flags to false, texts to empty. Every access from more than one thread is bracketed by
// Lock and Unlock; the lock is re-entrant, so a holder may call code that locks again.
class CDeviceStatistics {
  public:
    // Every field at its default, set under the record's own lock.
    CDeviceStatistics();
    CDeviceStatistics(const CDeviceStatistics&) = delete;
    CDeviceStatistics& operator=(const CDeviceStatistics&) = delete;

    void Lock() const { lock_.lock(); }
    void Unlock() const { lock_.unlock(); }
    // The same lock under the standard names, for std::lock_guard and std::unique_lock.
    void lock() const { Lock(); }
    void unlock() const { Unlock(); }
    // Takes the lock only when it is free at once: for watchers that must not wait on a holder.
    bool try_lock() const { return lock_.try_lock(); }

    // Gives every field its default again.
    void ResetToDefaults();

    // Derives StatusSystem from the six device colours under the lock: Red when any is Red,
    // else Yellow when any is Yellow, else Green.
    void UpdateSystemStatus();

    // Status colours.
    StatusColour StatusSystem = StatusColour::Green;  // derived by UpdateSystemStatus only
    StatusColour StatusSecurityModule = StatusColour::Green;
    StatusColour StatusCoinAcceptor = StatusColour::Green;
    StatusColour StatusCoinDispenser = StatusColour::Green;
    StatusColour StatusBillAcceptor = StatusColour::Green;
    StatusColour StatusBillDispenser = StatusColour::Green;
    StatusColour StatusSecurityScale = StatusColour::Green;

    // Lane.
    std::string LaneSoftwareVersion;

    // Security module.
    DeviceState SecModState = DeviceState::Ready;
    std::time_t SecModLastTimeCommunicated = 0;
    std::string SecModEPROMVersion;
    bool SecModEPROMFailed = false;  // not stored: true while the last EPROM check failed
    std::time_t SecModLastTimeLaneOpened = 0;
    std::time_t SecModLastTimeLaneClosed = 0;
    std::time_t SecModLastTimePresenceClear = 0;
    std::time_t SecModLastTimePresenceDetected = 0;
    std::time_t SecModLastTimeGreenButtonPressed = 0;
    std::time_t SecModLastTimeRedButtonPressed = 0;
    std::time_t SecModLastTimeUPSEvent = 0;
    std::time_t SecModLastTimeAbnormalPowerOff = 0;
    std::time_t SecModLastTimeBadData = 0;
    std::string SecModLastBadData;  // hex text of the last packet that failed validation

    // Security scale.
    DeviceState SecScaleState = DeviceState::Ready;
    std::time_t SecScaleLastTimeScaleReset = 0;
    std::time_t SecScaleLastTimeScaleCalibrated = 0;
    std::time_t SecScaleLastTimeMaximumWeight = 0;
    std::time_t SecScaleLastTimeNegativeWeight = 0;
    std::time_t SecScaleLastTimeZeroCommandSent = 0;

    // Conveyor.
    DeviceState ConveyorState = DeviceState::Ready;
    std::time_t ConveyorLastTimeGreenButton = 0;
    std::time_t ConveyorLastTimeFrontBeltOn = 0;
    std::time_t ConveyorLastTimeFrontBeltOnReverse = 0;
    std::time_t ConveyorLastTimeFrontBeltOff = 0;
    std::time_t ConveyorLastTimeRearBeltOn = 0;
    std::time_t ConveyorLastTimeRearBeltOnReverse = 0;
    std::time_t ConveyorLastTimeRearBeltOff = 0;
    std::time_t ConveyorLastTimeFrontSwitchOpen = 0;
    std::time_t ConveyorLastTimeFrontSwitchClosed = 0;
    std::time_t ConveyorLastTimeRearSwitchOpen = 0;
    std::time_t ConveyorLastTimeRearSwitchClosed = 0;

    // Coin acceptor.
    std::time_t CoinAccLastTimeReceivedCoin = 0;
    std::uint32_t CoinAccCoinVolume = 0;  // cubic millimetres of coins in the bin
    DeviceState CoinAccState = DeviceState::Ready;
    std::uint32_t CoinAccRejectRate = 0;  // consecutive cash transactions without coins

    // Coin dispenser.
    std::string CoinDispVersion;
    std::time_t CoinDispLastTimeCommunicated = 0;
    std::time_t CoinDispLastTimeDispensed = 0;
    std::string CoinDispLastCoinsDispensed;
    DeviceState CoinDispState = DeviceState::Ready;
    std::time_t CoinDispLastTimeLow = 0;
    std::time_t CoinDispLastTimeRefilled = 0;
    std::time_t CoinDispLastTimeOffline = 0;
    std::time_t CoinDispLastTimeBadPacket = 0;
    std::string CoinDispLastBadPacket;

    // Bill acceptor.
    std::uint32_t BillAccModel = 0;
    std::uint32_t BillAccRevision = 0;
    std::time_t BillAccLastTimeReceivedBills = 0;
    std::time_t BillAccLastTimeReceivedReject = 0;
    std::time_t BillAccLastTimeCommunicated = 0;
    DeviceState BillAccState = DeviceState::Ready;
    std::uint32_t BillAccRejectRate = 0;
    std::uint32_t BillAccRepeatedRejects = 0;
    bool BillAccRequireCleaning = false;
    std::time_t BillAccLastTimeFull = 0;
    std::time_t BillAccLastTimeEmptied = 0;
    std::time_t BillAccLastTimeCassetteRemoved = 0;
    std::time_t BillAccLastTimeCassetteReplaced = 0;
    std::time_t BillAccLastTimeCheatMode = 0;
    std::time_t BillAccLastTimeJammed = 0;
    std::time_t BillAccLastTimeUnjammed = 0;
    std::time_t BillAccLastTimeEnteredCalibration = 0;
    std::time_t BillAccLastTimeReset = 0;
    std::time_t BillAccLastTimeResetWithBill = 0;
    std::time_t BillAccLastTimeNonrecoverableError = 0;
    std::time_t BillAccLasttimeOffline = 0;  // the stored name has a lower-case "t"
    std::time_t BillAccLastTimeBadPacket = 0;
    std::string BillAccLastBadPacket;

    // Bill dispenser.
    std::uint32_t BillDispManufacturer = 0;  // 0 until the security module reports the dispenser
    std::string BillDispModel;
    std::string BillDispRevision;
    DeviceState BillDispState = DeviceState::Ready;
    std::time_t BillDispLastTimeCommunicated = 0;
    std::time_t BillDispLastTimeDispensedBills = 0;
    std::string BillDispLastCurrenciesDispensed;
    std::time_t BillDispLastTimeReset = 0;
    std::time_t BillDispLastTimeUnitOffline = 0;
    std::string BillDispLastCassetteRemoved;
    std::string BillDispLastCassetteReplaced;
    std::time_t BillDispLastTimeDetectedInvalidCassettes = 0;
    std::time_t BillDispLastTimeFaultReported = 0;
    std::string BillDispLastFaultCodeReported;
    std::time_t BillDispLastTimeCommandReject = 0;
    std::string BillDispLastCommandRejected;
    std::string BillDispLastCmdRejectReason;
    std::time_t BillDispLastTimeSensorBlock = 0;

    // Feed modules: the module's own number once it was reported present, else 0; then its
    // denomination text and its event times. Stored as "BillDispFM1", "BillDispFM1Denomination",
    // "BillDispFM1LastTimeDispensedBills", ...
    std::array<std::uint32_t, kFeedModuleCount> BillDispFMn{};
    std::array<std::string, kFeedModuleCount> BillDispFMnDenomination;
    FeedModuleTimes BillDispFMnLastTimeDispensedBills{};
    FeedModuleTimes BillDispFMnLastTimeLow{};
    FeedModuleTimes BillDispFMnLastTimeRefilled{};
    FeedModuleTimes BillDispFMnLastTimeCassetteRemoved{};
    FeedModuleTimes BillDispFMnLastTimeCassetteReplaced{};
    FeedModuleTimes BillDispFMnLastTimeJammed{};
    FeedModuleTimes BillDispFMnLastTimeUnjammed{};
    FeedModuleTimes BillDispFMnLastTimeBillsRejected{};
    FeedModuleTimes BillDispFMnLastTimeCassetteLowDuringDispense{};
    FeedModuleTimes BillDispFMnLastTimeFeedFailure{};
    FeedModuleTimes BillDispFMnLastTimeVoltageOutOfRange{};
    FeedModuleTimes BillDispFMnLastTimeNotInService{};

    // Diverter bin: 1 once the dispenser reports one.
    std::uint32_t BillDispDivBin = 0;
    std::time_t BillDispDivBinLastTimeFullAtDispense = 0;
    std::time_t BillDispDivBinLastTimeMissingAtDispense = 0;
    std::time_t BillDispDivBinLastTimeRemoved = 0;
    std::time_t BillDispDivBinLastTimeReplaced = 0;

    // Cash pocket.
    std::time_t CashPocketLastTimeCommunicated = 0;
    std::time_t CashPocketLastTimeLightOn = 0;
    std::time_t CashPocketLastTimeBuzzerOn = 0;
    std::time_t CashPocketLastTimeBillDetected = 0;
    std::time_t CashPocketLastTimeNoBillDetectedOrTimeout = 0;
    bool CashPocketLightState = false;
    bool CashPocketBuzzerState = false;

    // Curtains.
    std::time_t CurtainsLastTimeFrontCurtainBreak = 0;
    std::time_t CurtainsLastTimeFrontCurtainUnbreak = 0;
    std::time_t CurtainsLastTimeRearCurtainBreak = 0;
    std::time_t CurtainsLastTimeRearCurtainUnbreak = 0;

    // Bagging sensor.
    std::time_t BaggingSensorLastTimeBagAreaFull = 0;
    std::time_t BaggingSensorLastTimeBagAreaClear = 0;

    // Sensormatic (the article surveillance controller).
    std::time_t SensormaticLastTimeHardTagDetected = 0;
    std::time_t SensormaticLastTimeHardTagClear = 0;
    std::time_t SensormaticLastTimeCommError = 0;
    std::time_t SensormaticLastTimeEnableController = 0;
    std::time_t SensormaticLastTimeDisableController = 0;

    // Coupon box.
    std::time_t CouponBoxLastTimeLightOn = 0;
    std::time_t CouponBoxLastTimeLightOff = 0;
    std::time_t CouponBoxLastTimeLightFlashing = 0;
    std::time_t CouponBoxLastTimeCouponReceived = 0;
    std::time_t CouponBoxLastTimeBoxFull = 0;

    // Lights.
    std::time_t LaneLightLastTimeOn = 0;
    std::time_t LaneLightLastTimeOff = 0;
    std::time_t LaneLightLastTimeFlashing = 0;
    std::time_t GreenLightLastTimeOn = 0;
    std::time_t GreenLightLastTimeOff = 0;
    std::time_t GreenLightLastTimeFlashing = 0;
    std::time_t YellowLightLastTimeOn = 0;
    std::time_t YellowLightLastTimeOff = 0;
    std::time_t YellowLightLastTimeFlashing = 0;
    std::time_t RedLightLastTimeOn = 0;
    std::time_t RedLightLastTimeOff = 0;
    std::time_t RedLightLastTimeFlashing = 0;

  private:
    mutable std::recursive_mutex lock_;
};

// 1980-01-01 00:00:00 local time: the time of every statistic that never happened.
std::time_t DefaultStatisticsTime();

// The lane software's version: "ProductVersion" of section "Build Information" in its set-up
// file, or "<Unknown>" when the file gives none.
inline constexpr const char* kLaneSetupFile = "C:\\Kel Lane\\Install_Suite\\KelLaneSuiteSetup.ini";
inline constexpr const char* kUnknownLaneSoftwareVersion = "<Unknown>";
// From the set-up file at a host path.
std::string ReadLaneSoftwareVersion(const std::string& setupHostPath);
// From kLaneSetupFile mapped onto the lane root.
std::string ReadLaneSoftwareVersion(const platform::LanePaths& paths);

}  // namespace lane::monitor
