// PgmCnfg, the lane software's program configuration: the lane file, the override chain and the
// board type from the registry, loaded once on first access and never written.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "common/Clock.h"
#include "platform/LanePath.h"
#include "platform/Registry.h"

namespace lane::moxtel {

class CLogMessage;

inline constexpr const char* kLaneConfigFile = "..\\Config\\LaneConfig.Ini";
inline constexpr const char* kLaneConfigSection = "Common";
inline constexpr const char* kOverrideConfigFile = "..\\Config\\Override-KEL-Configs.Ini";
inline constexpr const char* kOverrideConfigSection = "Development - Override";
inline constexpr const char* kBannerConfigFile = "..\\Config\\BannerConfig.Ini";
inline constexpr const char* kChainConfigFile = "..\\Config\\ChainConfig.Ini";
inline constexpr const char* kCommonModeSection = "Mode_Common_Section";
inline constexpr const char* kLaneRegistryKey = "SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane";
// What a lookup gives for a key that is not there.
inline constexpr const char* kIniFieldNotSet = "?<<IniFieldNotSet>>?";
// Every text value is read into a buffer this long.
inline constexpr std::size_t kConfigBufferSize = 201;
// A fatal value ends the process with this code.
inline constexpr int kPgmCnfgFatalExit = 1;
// Threads that need the configuration while another thread loads it look again after this.
inline constexpr std::int64_t kConfigReadyPollMs = 100;

// Board types (SecurityModuleType).
inline constexpr int TMCB_SECURITY_MODULE = 100;
inline constexpr int USB_SECURITY_MODULE = 200;
inline constexpr int SIM_SECURITY_MODULE = 999;

// Operation modes (SystemOperatingMode).
inline constexpr int SMODE_SUSPEND = 0;
inline constexpr int SMODE_EFT_ONLY = 1;
inline constexpr int SMODE_CASH_EFT = 2;

// The values, named by their keys; coded settings hold their codes.
struct ProgramConfig {
    std::string MachineName = "Unknown";
    std::string KelBaseDirectoryName = "C:\\KEL Lane";
    std::string KelAppsDirectoryName = "C:\\KEL Lane\\Applications";
    int CountryCode = 1;
    int WeightMeasure = 1;
    int CurrencySymbol = 1;
    char CurrencySymbolCharacter = '$';
    bool DisableForceLaneApplicationToFrontOfScreen = false;
    int SecurityModuleType = TMCB_SECURITY_MODULE;
    int LaneType = 1;
    int SystemOperatingMode = SMODE_SUSPEND;
    int ScannerScale_Type = 0;
    int HandScanner_Type = 0;
    int HandScanner_Port = 2;
    std::string PointOfSaleInterface = "UNKNOWN";
    bool EnableSecurityModuleThroughputTesting = false;
    std::string ComputerName = "<< Not Availiable>>";
    int KelLaneNumber = 0;
    int PosTerminalNumber = 0;
    std::string StoreChain = "Not Configured";
    int StoreNumber = 0;
    std::string KelSoftwareDistDirectoryName = "C:\\Software Distribution";
    std::string Lane_IP_Address = "0.0.0.0";
    std::string Lane_IP_Mask = "0.0.0.0";
    std::string Boss_IP_Address = "0.0.0.0";
    int Boss_IP_Port = 4000;
    int TCPWatchdogTimeout = 10;
    std::string ODBC_SecurityDatabaseName = "LaneSec";
    bool ResetLaneManager = true;
    bool ScannerScaleAvailable = true;
    bool EnableProgramTestButtons = false;
    bool SimulateNewItemsForBossTesting = false;
    bool SecurityModuleAvailable = true;
    bool EnableProtocolAnalyzerTrigger = false;
    bool SimulateSigCapture = false;
    bool SimulateCouponBox = false;
    bool SimulateCashMachine = false;
    bool ForceCaptureToLocalHardDisk = false;
    bool ScannerScale_SendWakeUp = false;
    bool ExpandTypeEToTypeA = false;
    int Capture_Logging_Level = 2;
    int Capture_Display_Level = 2;
    std::string SpawnProgram_Directory;
    std::string SpawnProgram_ShutDown;
    std::string SpawnProgram_Calibrate;
    int PEH_PowerDownTime = 10;
    int PEH_RecoveryTime = 15;
    int PEH_PowerAlternating = 60;
};

// Where the configuration comes from. Files are found from the current directory.
struct ConfigSources {
    const platform::LanePaths& paths;
    const platform::Registry& registry;
    Clock& clock;
    std::string machineName;  // the system's computer name; empty when it is not known
};

class PgmCnfg {
  public:
    explicit PgmCnfg(ConfigSources sources) : sources_(std::move(sources)) {}
    PgmCnfg(const PgmCnfg&) = delete;
    PgmCnfg& operator=(const PgmCnfg&) = delete;

    // The configuration access. The first call loads the configuration, reporting through `log`;
    // other threads that come meanwhile wait in steps of kConfigReadyPollMs until it is ready,
    // while the loading thread itself (which logs as it loads) gets the values as they stand.
    const ProgramConfig& Access(CLogMessage& log);

    // 0, or kPgmCnfgFatalExit when a fatal value stopped the load (the caller ends the process).
    [[nodiscard]] int LoadResult() const { return loadResult_.load(); }
    bool Ready() const { return ready_.load(); }

    // Override lookup, first hit wins: the override file, then the banner file (the mode's
    // section, then the common one), then the chain file (the same two). `value` gets at most
    // length - 1 characters. False when no file has the key.
    [[nodiscard]] bool OverrideLookup(int operationMode, const char* key, std::string& value,
                                      std::size_t length, CLogMessage& log) const;
    // The key of `section` in `file`: true with its value, or false with `defaultText`.
    [[nodiscard]] bool LaneFileLookup(const char* key, const char* defaultText, std::string& value,
                                      std::size_t length, const char* section, const char* file,
                                      CLogMessage& log) const;
    // A flag through the override chain ('0' 'F' 'f' false, '1' 'T' 't' true), logged.
    [[nodiscard]] bool FlagLookup(const char* key, bool defaultValue, CLogMessage& log) const;
    // A text value of the lane key of HKEY_LOCAL_MACHINE; true when it is there.
    [[nodiscard]] bool RegistryLookup(const char* name, std::string& value,
                                      std::size_t length) const;

  private:
    int Load(CLogMessage& log);
    // The key's value read into the internal buffer, or kIniFieldNotSet.
    std::string ReadIni(const char* section, const char* key, const char* file) const;
    // The length a lookup fills; reports a caller's buffer above kConfigBufferSize.
    std::size_t CheckedLength(std::size_t length, CLogMessage& log) const;

    const ConfigSources sources_;
    ProgramConfig values_;
    std::mutex mutex_;
    bool started_ = false;
    std::thread::id loader_;
    std::atomic<bool> ready_{false};
    std::atomic<int> loadResult_{0};
};

}  // namespace lane::moxtel
