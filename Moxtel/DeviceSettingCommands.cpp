// The device setting commands by name.
#include "Moxtel/DeviceSettingCommands.h"

#include "Moxtel/Command_CashCounting.h"
#include "Moxtel/Command_CoinDispenser.h"
#include "Moxtel/Command_HardwareVersionRequest.h"
#include "Moxtel/Command_Sensormatic.h"
#include "Moxtel/Command_SetSensors.h"

namespace lane::moxtel {

void AddDeviceSettingCommands(std::map<std::string, UtilityHandler, std::less<>>& commands) {
    commands[kCommandSetSafetySwitch] = Command_SetSafetySwitch;
    commands[kCommandSetBDSensor] = Command_SetBDSensor;
    commands[kCommandSetBizerbaScale] = Command_SetBizerbaScale;
    commands[kCommandSetFlatpack] = Command_SetFlatpack;
    commands[kCommandSetCurtainBreakWindow] = Command_SetCurtainBreakWindow;
    commands[kCommandEPSFlash] = Command_EPSFlash;
    commands[kCommandTopEPSLL] = Command_TopEPSLL;
    commands[kCommandEasCheckpoint] = Command_EasCheckpoint;
    commands[kCommandSetCoinSpeed] = Command_SetCoinSpeed;
    commands[kCommandZeroCashBuffers] = Command_CashCounting;
    commands[kCommandDumpCashBuffers] = Command_CashCounting;
    commands[kCommandReportCoinDispenserStatus] = Command_ReportCoinDispenserStatus;
    commands[kCommandHardwareVersionRequest] = Command_HardwareVersionRequest;
}

}  // namespace lane::moxtel
