// PgmCnfg's load: every field in its order, with its default, its accepted values and the
// messages that end the process when a value is not accepted.
#include <algorithm>
#include <cstddef>
#include <string>

#include "Moxtel/LogMessage.h"
#include "Moxtel/NumberText.h"
#include "Moxtel/PgmCnfg.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "PgmCnfg";
constexpr std::size_t kMachineNameChars = 40;

struct Code {
    const char* text;
    int code;
};

constexpr Code kCountryCodes[] = {{"USA", 1}, {"CANADA", 2}, {"ENGLAND", 3}, {"IRELAND", 4}};
constexpr Code kWeightMeasures[] = {{"ENGLISH", 1}, {"METRIC", 2}};
constexpr Code kCurrencySymbols[] = {{"USD", 1}, {"CAD", 2}, {"GBP", 3}, {"EUR", 4}};
// The symbol of each currency code, as the lane's code page has it (0xA3 pound, 0x80 euro).
constexpr char kCurrencyCharacters[] = {'$', '$', '\xA3', '\x80'};
constexpr Code kBoardTypes[] = {{"TMCB_SECURITY_MODULE", TMCB_SECURITY_MODULE},
                                {"USB_SECURITY_MODULE", USB_SECURITY_MODULE},
                                {"SIM_SECURITY_MODULE", SIM_SECURITY_MODULE},
                                {"USB_SCANNING_MODULE", USB_SECURITY_MODULE}};
constexpr Code kLaneTypes[] = {{"FULL-LANE", 1}, {"MINI-LANE", 2}, {"KIOSK", 3}};
constexpr Code kOperatingModes[] = {{"SMODE_SUSPEND", SMODE_SUSPEND},
                                    {"SMODE_EFT_ONLY", SMODE_EFT_ONLY},
                                    {"SMODE_CASH_EFT", SMODE_CASH_EFT}};
constexpr Code kScannerScaleTypes[] = {
    {"NCR_7870", 0}, {"MAGELLAN", 1}, {"MAGELLAN_DUAL_CABLE", 2}, {"MAGELLAN_SCANNER_ONLY", 4}};
constexpr Code kHandScannerTypes[] = {{"None", 0}, {"SYMBOL_LS4071", 1}, {"SYMBOL_LS9100", 2}};

enum class Match { AnyCase, Exact };

// The index of `text` in `codes`, or -1.
template <std::size_t N>
int FindCode(const Code (&codes)[N], const std::string& text, Match match) {
    for (std::size_t i = 0; i < N; ++i) {
        const bool equal =
            match == Match::Exact ? text == codes[i].text : EqualsIgnoringCase(text, codes[i].text);
        if (equal) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// "m_" and the key without its underscores: the name the value is logged under.
std::string MemberName(const char* key) {
    std::string name = "m_";
    for (const char* at = key; *at != '\0'; ++at) {
        if (*at != '_') {
            name += *at;
        }
    }
    return name;
}

class Loader {
  public:
    Loader(PgmCnfg& config, CLogMessage& log, ProgramConfig& values)
        : config_(config), log_(log), values_(values) {}

    void Note(int level, const char* text) {
        log_.LogMessage(level, kCategoryConfiguration, kModule, __LINE__, "%s", text);
    }
    // Logs the fatal message at level 0; the load then ends with kPgmCnfgFatalExit.
    int Fatal(const char* format, const std::string& value) {
        log_.LogMessage(kLogError, kCategoryConfiguration, kModule, __LINE__, format,
                        value.c_str());
        return kPgmCnfgFatalExit;
    }

    std::string LaneText(const char* key, const char* defaultText) {
        std::string value;
        static_cast<void>(config_.LaneFileLookup(key, defaultText, value, kConfigBufferSize,
                                                 kLaneConfigSection, kLaneConfigFile, log_));
        return value;
    }
    // A lane text, logged.
    std::string LoggedLaneText(const char* key, const char* defaultText) {
        const std::string value = LaneText(key, defaultText);
        LogText(key, value);
        return value;
    }
    int LoggedLaneNumber(const char* key, const char* defaultText) {
        const int value = DecimalValue(LaneText(key, defaultText));
        LogNumber(key, value);
        return value;
    }
    std::string OverrideText(const char* key, const std::string& defaultText) {
        std::string value;
        if (!config_.OverrideLookup(values_.SystemOperatingMode, key, value, kConfigBufferSize,
                                    log_)) {
            value = defaultText;
        }
        LogText(key, value);
        return value;
    }
    int OverrideNumber(const char* key, int defaultValue) {
        std::string text;
        const int value =
            config_.OverrideLookup(values_.SystemOperatingMode, key, text, kConfigBufferSize, log_)
                ? DecimalValue(text)
                : defaultValue;
        LogNumber(key, value);
        return value;
    }
    bool Flag(const char* key, bool defaultValue) {
        return config_.FlagLookup(key, defaultValue, log_);
    }

    // A coded lane setting: its code, or -1 after the fatal message.
    template <std::size_t N>
    int LaneCode(const char* key, const char* defaultText, const Code (&codes)[N], Match match,
                 const char* fatal) {
        const std::string text = LaneText(key, defaultText);
        return CheckCode(key, text, codes, match, fatal);
    }
    template <std::size_t N>
    int CheckCode(const char* key, const std::string& text, const Code (&codes)[N], Match match,
                  const char* fatal) {
        const int index = FindCode(codes, text, match);
        if (index < 0) {
            static_cast<void>(Fatal(fatal, text));
            return -1;
        }
        log_.LogMessage(kLogWarning, kCategoryConfiguration, kModule, __LINE__,
                        "Config: %-60s : \"%s\", ( %d )", MemberName(key).c_str(), text.c_str(),
                        codes[index].code);
        return index;
    }

    void LogText(const char* key, const std::string& value) {
        log_.LogMessage(kLogWarning, kCategoryConfiguration, kModule, __LINE__,
                        "Config: %-60s : \"%s\"", MemberName(key).c_str(), value.c_str());
    }
    void LogNumber(const char* key, int value) {
        log_.LogMessage(kLogWarning, kCategoryConfiguration, kModule, __LINE__,
                        "Config: %-60s : %d", MemberName(key).c_str(), value);
    }
    void LogFlag(const char* key, bool value) {
        log_.LogMessage(kLogWarning, kCategoryConfiguration, kModule, __LINE__,
                        "Config: %-60s : %s", key, value ? "true" : "false");
    }
    void LogValue(const char* format, int value) {
        log_.LogMessage(kLogError, kCategoryConfiguration, kModule, __LINE__, format, value);
    }
    void LogAdjustment(const char* format, int value) {
        log_.LogMessage(kLogWarning, kCategoryConfiguration, kModule, __LINE__, format, value);
    }

  private:
    PgmCnfg& config_;
    CLogMessage& log_;
    ProgramConfig& values_;
};

// Machine name, folders, country, weights, currency.
int LoadLocale(Loader& load, ProgramConfig& values, const std::string& machineName) {
    values.MachineName =
        machineName.empty() ? std::string("Unknown") : machineName.substr(0, kMachineNameChars);
    load.LogText("MachineName", values.MachineName);
    values.KelBaseDirectoryName = load.LoggedLaneText("KelBaseDirectoryName", "C:\\KEL Lane");
    values.KelAppsDirectoryName =
        load.LoggedLaneText("KelAppsDirectoryName", "C:\\KEL Lane\\Applications");
    const int country =
        load.LaneCode("CountryCode", "USA", kCountryCodes, Match::AnyCase,
                      "Invalid Setting for Country Code, ( '%s' )'.\n*** Program Exiting ***");
    if (country < 0) {
        return kPgmCnfgFatalExit;
    }
    values.CountryCode = kCountryCodes[country].code;
    const int weight =
        load.LaneCode("WeightMeasure", "ENGLISH", kWeightMeasures, Match::AnyCase,
                      "Invalid Setting for Weight Measure, ( '%s' )'.\n*** Program Exiting ***");
    if (weight < 0) {
        return kPgmCnfgFatalExit;
    }
    values.WeightMeasure = kWeightMeasures[weight].code;
    const int currency =
        load.LaneCode("CurrencySymbol", "USD", kCurrencySymbols, Match::AnyCase,
                      "Invalid Setting for Currency Symbol, ( '%s' )'.\n*** Program Exiting ***");
    if (currency < 0) {
        return kPgmCnfgFatalExit;
    }
    values.CurrencySymbol = kCurrencySymbols[currency].code;
    values.CurrencySymbolCharacter = kCurrencyCharacters[currency];
    return 0;
}

// The board type from the registry; the lane type, operating mode and scanners from the lane
// file.
int LoadLaneHardware(Loader& load, PgmCnfg& config, ProgramConfig& values) {
    values.DisableForceLaneApplicationToFrontOfScreen =
        load.Flag("DisableForceLaneApplicationToFrontOfScreen", false);
    std::string boardText;
    if (!config.RegistryLookup("SecurityModuleType", boardText, kConfigBufferSize)) {
        boardText = "TMCB_SECURITY_MODULE";
        load.Note(kLogWarning,
                  "No Registry Entry for Security Module Type, Default = TMCB Board...");
    }
    const int board = load.CheckCode(
        "SecurityModuleType", boardText, kBoardTypes, Match::AnyCase,
        "Invalid Setting for Security Module Type, ( '%s' )'.\n*** Program Exiting ***");
    if (board < 0) {
        return kPgmCnfgFatalExit;
    }
    values.SecurityModuleType = kBoardTypes[board].code;
    const int lane =
        load.LaneCode("LaneType", "FULL-LANE", kLaneTypes, Match::Exact,
                      "System Lane Type Not Configured Properly for Installation\n*** Program "
                      "Exiting ***");
    if (lane < 0) {
        return kPgmCnfgFatalExit;
    }
    values.LaneType = kLaneTypes[lane].code;
    const int mode = load.LaneCode(
        "SystemOperatingMode", "SMODE_SUSPEND", kOperatingModes, Match::Exact,
        "SystemOperatingMode Not Configured Properly for Installation\n*** Program Exiting ***");
    if (mode < 0) {
        return kPgmCnfgFatalExit;
    }
    values.SystemOperatingMode = kOperatingModes[mode].code;
    const int scale = load.LaneCode(
        "ScannerScale_Type", "NCR_7870", kScannerScaleTypes, Match::Exact,
        "Invalid Configuration Setting: m_ScannerScaleType.\n*** Program Exiting ***");
    if (scale < 0) {
        return kPgmCnfgFatalExit;
    }
    values.ScannerScale_Type = kScannerScaleTypes[scale].code;
    const int hand =
        load.LaneCode("HandScanner_Type", "None", kHandScannerTypes, Match::Exact,
                      "Invalid Hand Scanner Type in configuration file.\n*** Program Exiting ***");
    if (hand < 0) {
        return kPgmCnfgFatalExit;
    }
    values.HandScanner_Type = kHandScannerTypes[hand].code;
    const std::string port = load.LaneText("HandScanner_Port", "2");
    values.HandScanner_Port = DecimalValue(port);
    if (values.HandScanner_Port != 2 && values.HandScanner_Port != 4) {
        return load.Fatal(
            "Invalid Hand Scanner Port in configuration file.\n*** Program Exiting ***", port);
    }
    load.LogNumber("HandScanner_Port", values.HandScanner_Port);
    return 0;
}

// The lane's identity and network settings, and the first overridable values.
void LoadLaneIdentity(Loader& load, ProgramConfig& values) {
    values.PointOfSaleInterface = load.LoggedLaneText("PointOfSaleInterface", "UNKNOWN");
    values.EnableSecurityModuleThroughputTesting =
        load.Flag("EnableSecurityModuleThroughputTesting", false);
    values.ComputerName = load.LoggedLaneText("ComputerName", "<< Not Availiable>>");
    values.KelLaneNumber = load.LoggedLaneNumber("KelLaneNumber", "0");
    values.PosTerminalNumber = load.LoggedLaneNumber("PosTerminalNumber", "0");
    values.StoreChain = load.LoggedLaneText("StoreChain", "Not Configured");
    values.StoreNumber = load.LoggedLaneNumber("StoreNumber", "0");
    values.KelSoftwareDistDirectoryName =
        load.LoggedLaneText("KelSoftwareDistDirectoryName", "C:\\Software Distribution");
    values.Lane_IP_Address = load.LoggedLaneText("Lane_IP_Address", "0.0.0.0");
    values.Lane_IP_Mask = load.LoggedLaneText("Lane_IP_Mask", "0.0.0.0");
    values.Boss_IP_Address = load.LoggedLaneText("Boss_IP_Address", "0.0.0.0");
    values.Boss_IP_Port = load.LoggedLaneNumber("Boss_IP_Port", "4000");
    values.TCPWatchdogTimeout = load.OverrideNumber("TCPWatchdogTimeout", 10);
    values.ODBC_SecurityDatabaseName = load.OverrideText("ODBC_SecurityDatabaseName", "LaneSec");
}

// The device and test switches; on the simulated board every device is simulated.
int LoadDeviceSwitches(Loader& load, ProgramConfig& values) {
    const bool simulated = values.SecurityModuleType == SIM_SECURITY_MODULE;
    values.ResetLaneManager = load.Flag("ResetLaneManager", true);
    values.ScannerScaleAvailable = load.Flag("ScannerScaleAvailable", true);
    if (simulated) {
        values.EnableProgramTestButtons = true;
        load.LogFlag("EnableProgramTestButtons", true);
    } else {
        values.EnableProgramTestButtons = load.Flag("EnableProgramTestButtons", false);
    }
    values.SimulateNewItemsForBossTesting = load.Flag("SimulateNewItemsForBossTesting", false);
    if (values.SimulateNewItemsForBossTesting && !values.EnableProgramTestButtons) {
        return load.Fatal("Invalid Setting for SimulateNewItemsForBossTesting in Config File", "");
    }
    if (simulated) {
        values.SecurityModuleAvailable = false;
        values.EnableProtocolAnalyzerTrigger = false;
        values.SimulateSigCapture = true;
        values.SimulateCouponBox = true;
        values.SimulateCashMachine = true;
        load.Note(kLogWarning, "Config: *** Simulating ALL Devices ***");
    } else {
        values.SecurityModuleAvailable = load.Flag("SecurityModuleAvailable", true);
        values.EnableProtocolAnalyzerTrigger = load.Flag("EnableProtocolAnalyzerTrigger", false);
        values.SimulateSigCapture = load.Flag("SimulateSigCapture", false);
        values.SimulateCouponBox = load.Flag("SimulateCouponBox", false);
        values.SimulateCashMachine = load.Flag("SimulateCashMachine", false);
    }
    values.ForceCaptureToLocalHardDisk = load.Flag("ForceCaptureToLocalHardDisk", false);
    const bool magellan = values.ScannerScale_Type == 1 || values.ScannerScale_Type == 2 ||
                          values.ScannerScale_Type == 4;
    values.ScannerScale_SendWakeUp = load.Flag("ScannerScale_SendWakeUp", magellan);
    values.ExpandTypeEToTypeA = load.Flag("ExpandTypeEToTypeA", false);
    return 0;
}

// The capture levels and the programs the lane application starts.
void LoadCaptureAndSpawn(Loader& load, ProgramConfig& values) {
    values.Capture_Logging_Level = load.OverrideNumber("Capture_Logging_Level", 2);
    values.Capture_Display_Level = load.OverrideNumber("Capture_Display_Level", 2);
    values.SpawnProgram_Directory =
        load.OverrideText("SpawnProgram_Directory", values.KelAppsDirectoryName);
    values.SpawnProgram_ShutDown =
        load.OverrideText("SpawnProgram_ShutDown", values.KelAppsDirectoryName + "\\Shutdown.exe");
    values.SpawnProgram_Calibrate =
        load.OverrideText("SpawnProgram_Calibrate", "C:\\WinNT\\System32\\elocal32.exe");
}

// The three power-event times; a time outside its range is reported and replaced by its
// default, and the alternating time is raised to twice each of the other two.
int LoadPowerEventTimes(Loader& load, ProgramConfig& values) {
    values.PEH_PowerDownTime = load.OverrideNumber("PEH_PowerDownTime", 10);
    if (values.PEH_PowerDownTime < 5 || values.PEH_PowerDownTime > 60) {
        load.LogValue("Invalid Setting for Configuration field : PEH_PowerDownTime Value: %d",
                      values.PEH_PowerDownTime);
        return kPgmCnfgFatalExit;
    }
    values.PEH_RecoveryTime = load.OverrideNumber("PEH_RecoveryTime", 15);
    if (values.PEH_RecoveryTime < 5 || values.PEH_RecoveryTime > 60) {
        load.LogValue("Invalid Setting for Configuration field : PEH_RecoveryTime Value: %d",
                      values.PEH_RecoveryTime);
        values.PEH_RecoveryTime = 15;
        load.LogAdjustment(
            "Using Default Setting for Configuration field : PEH_RecoveryTime Value: %d",
            values.PEH_RecoveryTime);
    }
    values.PEH_PowerAlternating = load.OverrideNumber("PEH_PowerAlternating", 60);
    if (values.PEH_PowerAlternating < 10 || values.PEH_PowerAlternating > 120) {
        load.LogValue("Invalid Setting for Configuration field : PEH_PowerAlternating Value: %d",
                      values.PEH_PowerAlternating);
        values.PEH_PowerAlternating = 60;
        load.LogAdjustment(
            "Using Default Setting for Configuration field : PEH_PowerAlternating Value: %d",
            values.PEH_PowerAlternating);
    }
    const int least = std::max(2 * values.PEH_PowerDownTime, 2 * values.PEH_RecoveryTime);
    if (values.PEH_PowerAlternating < least) {
        values.PEH_PowerAlternating = least;
        load.LogAdjustment(
            "Adjusting Setting for Configuration field : PEH_PowerAlternating Value: %d",
            values.PEH_PowerAlternating);
    }
    return 0;
}

}  // namespace

int PgmCnfg::Load(CLogMessage& log) {
    Loader load(*this, log, values_);
    load.Note(kLogDetail, "Loading Program Config Variables...");
    if (LoadLocale(load, values_, sources_.machineName) != 0 ||
        LoadLaneHardware(load, *this, values_) != 0) {
        return kPgmCnfgFatalExit;
    }
    LoadLaneIdentity(load, values_);
    if (LoadDeviceSwitches(load, values_) != 0) {
        return kPgmCnfgFatalExit;
    }
    LoadCaptureAndSpawn(load, values_);
    if (LoadPowerEventTimes(load, values_) != 0) {
        return kPgmCnfgFatalExit;
    }
    load.Note(kLogDetail, "-- Done loading program configuration variables. --");
    return 0;
}

}  // namespace lane::moxtel
