// UtilityOptions, the utility's run options, and the command-line parser that fills them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lane::moxtel {

inline constexpr const char* kVersionBanner = "Moxtel Version 0.4.18.00  06/20/2011";
inline constexpr const char* kGetUtilityVersionOption = "-GetUtilityVersion";

// The command names (compared case-sensitively at dispatch).
inline constexpr const char* kCommandSecurityModuleUpload = "SecurityModuleUpload";
inline constexpr const char* kCommandBillAcceptorUpload = "BillAcceptorUpload";
inline constexpr const char* kCommandGetVersion = "GetVersion";
inline constexpr const char* kCommandEasCheckpoint = "EAS_Checkpoint";
inline constexpr const char* kCommandZeroCashBuffers = "ZeroCashBuffers";
inline constexpr const char* kCommandDumpCashBuffers = "DumpCashBuffers";
inline constexpr const char* kCommandReportCoinDispenserStatus = "ReportCoinDispenserStatus";
inline constexpr const char* kCommandSetCoinSpeed = "SetCoinSpeed";
inline constexpr const char* kCommandSetCurtainBreakWindow = "SetCurtainBreakWindow";
inline constexpr const char* kCommandHardwareVersionRequest = "HardwareVersionRequest";
inline constexpr const char* kCommandSetSafetySwitch = "SetSafetySwitch";
inline constexpr const char* kCommandSetBDSensor = "SetBDSensor";
inline constexpr const char* kCommandSetBizerbaScale = "SetBizerbaScale";
inline constexpr const char* kCommandSetFlatpack = "SetFlatpack";
inline constexpr const char* kCommandEPSFlash = "EPSFlash";
inline constexpr const char* kCommandTopEPSLL = "TopEPSLL";
inline constexpr const char* kCommandEPSLLFlash = "EPSLLFlash";
inline constexpr const char* kCommandEBoxRound02 = "EBoxRound02";

// A coin speed given below this is raised to it.
inline constexpr std::uint8_t kMinimumCoinSpeed = 100;

struct UtilityOptions {
    bool consoleDisplay = true;
    bool acknowledgeResults = true;
    bool commandGiven = false;
    std::string commandName;
    std::int32_t setting = 0;  // 1 enable, 0 disable, 2 type 2
    bool manufacturingMode = false;
    bool autoUpdate = false;
    bool internalChecksumCheck = true;
    bool coinSpeedGiven = false;
    std::uint8_t coinSpeed = 0;
    std::int32_t curtainBreakWindow = 0;
    std::string inputFile;
    std::string altInputFile;
    std::string billAcceptorImageLE3900;
    std::string billAcceptorImageAE2800;
    std::string billAcceptorImageSC66;
    std::string billAcceptorImageSC83;
    std::string successFile;
    std::string outputFile;  // stored, read by nothing
    std::string hardwareVersionFile;
    std::uint32_t inputFileChecksum = 0;  // 0: no check
    // The -InputFileChecksum value as typed, and whether it is a hexadecimal number of 32 bits at
    // most; the upload refuses to start on one that is not, rather than check nothing.
    std::string inputFileChecksumText;
    bool inputFileChecksumValid = true;
    std::uint32_t uploadChecksum = 0;
    char targetType = 0;                        // read by nothing
    std::int32_t minSecurityModuleVersion = 0;  // read by nothing
    std::int32_t billAcceptorRunCount = 0;      // the BillAcceptorUpload retry loop's
    bool cashDevicesThroughModule = true;       // cleared on a TMCB board after start-up
};

struct ParsedCommandLine {
    UtilityOptions options;
    bool valid = true;
    // What the parse logs, in order (level 2, file only): "Argument %d Value:%s" for every
    // argument and value it looked at, "Coin spees value %d" for a coin speed.
    std::vector<std::string> notes;
};

// True when the first argument after the program name is -GetUtilityVersion (any case).
bool FirstArgumentIsGetUtilityVersion(const std::vector<std::string>& arguments);

// Parses the arguments that follow the program name. No arguments is a valid line (the menus).
// An unknown argument, or an option that needs a value as the last argument, ends the parse as
// invalid; so do arguments without any command option among them. Option names are compared
// case-insensitively with the whole argument; the last command option wins.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace lane::moxtel
