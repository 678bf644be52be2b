// The hardware version report: the security module's keys first, then (through the cash port)
// the bill acceptor, coin acceptor, bill dispenser and coin dispenser keys. The file must exist
// and be writable; a key whose value is empty is not written.
#include "Moxtel/Command_HardwareVersionRequest.h"

#include <cstdio>

#include "Moxtel/Command_CoinDispenser.h"
#include "Moxtel/FujitsuDataBlock.h"
#include "Moxtel/securitymodule_commands.h"
#include "platform/File.h"
#include "platform/IniFile.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_HardwareVersionRequest";
// The attributes of a file the report may be written into.
constexpr std::uint32_t kFileAttributeArchive = 0x20;
// A Fujitsu status block holds the firmware version up to this position.
constexpr std::size_t kFujitsuVersionEnd = 54;

class ReportFile {
  public:
    ReportFile(UtilityRun& run, std::string hostPath) : run_(run), hostPath_(std::move(hostPath)) {}

    void Key(const char* key, const std::string& value) {
        if (value.empty()) {
            return;
        }
        if (!platform::WritePrivateProfileString(kHardwareVersionSection, key, value, hostPath_)) {
            run_.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                                "Error writing %s to Config File %s", key,
                                run_.options.hardwareVersionFile.c_str());
        }
    }

  private:
    UtilityRun& run_;
    const std::string hostPath_;
};

void Show(UtilityRun& run, const char* text) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", text);
}

const char* BillAcceptorType(unsigned typeCode) {
    switch (typeCode) {
        case 31:
            return "LE3900";
        case 74:
        case 85:
            return "SC66";
        case 84:
            return "SC83";
        case 88:
            return "AE2800";
        default:
            return "";
    }
}

// `answered`: the bill acceptor's version request succeeded; without it its type and version
// are not known and not written.
void BillAcceptorKeys(UtilityRun& run, ReportFile& file, bool answered) {
    const BillAcceptorIdentity& acceptor = run.billAcceptor;
    file.Key("BillAcceptor_Description", "SC Series Bill Acceptor");
    file.Key("BillAcceptor_Manufacturer", "MEI");
    if (!answered) {
        return;
    }
    file.Key("BillAcceptor_Type", BillAcceptorType(acceptor.typeCode));
    std::string version;
    if (run.identity.version < kHardwareVersionPartsFrom) {
        char text[16];
        std::snprintf(text, sizeof text, "%2d", static_cast<int>(acceptor.versionNumber));
        version = text;
    } else {
        version = acceptor.versionPartA + "-" + acceptor.versionPartB;
    }
    if (version.size() > 1) {
        file.Key("BillAcceptor_Version", version);
    }
}

void BillDispenserKeys(UtilityRun& run, SecurityModuleCommands& commands, ReportFile& file) {
    if (run.identity.version < kHardwareVersionPartsFrom) {
        file.Key("BillDispenser_Description", "Diebold Bill Dispenser");
        file.Key("BillDispenser_Manufacturer", "Diebold");
        file.Key("BillDispenser_Type", "MMD");
        file.Key("BillDispenser_Version", "N/A");
        return;
    }
    FujitsuDataBlock block;
    if (ReadFujitsuStatusBlock(run, commands, block) != 0 || block.length < kFujitsuVersionEnd) {
        return;  // no Fujitsu dispenser answers
    }
    file.Key("BillDispenser_Description", "Fujitsu Bill Dispenser");
    file.Key("BillDispenser_Manufacturer", "Fujitsu");
    file.Key("BillDispenser_Type", "F53");
    file.Key("BillDispenser_Version", FujitsuFirmwareText(block));
}

void CoinDispenserKeys(UtilityRun& run, SecurityModuleCommands& commands, ReportFile& file) {
    CCoinDispenser dispenser(run, commands);
    if (dispenser.RequestModel() != kCoinOk) {
        return;
    }
    switch (dispenser.Info().model) {
        case CoinDispenserModel::TFlex:
            file.Key("CoinDispenser_Description", "T-Flex Cassette Coin Dispenser");
            file.Key("CoinDispenser_Type", "TFLEX");
            break;
        case CoinDispenserModel::Cx25:
            file.Key("CoinDispenser_Description", "CX25/Hopper Coin Dispenser");
            file.Key("CoinDispenser_Type", "CX25");
            break;
        case CoinDispenserModel::Hopper:
            file.Key("CoinDispenser_Description", "Hopper Coin Dispenser");
            file.Key("CoinDispenser_Type", "HOPPER");
            break;
    }
    file.Key("CoinDispenser_Manufacturer", "Telequip");
    if (dispenser.RequestFirmwareVersion() == kCoinOk) {
        file.Key("CoinDispenser_Version", dispenser.Info().firmwareVersion);
    }
}

}  // namespace

std::string SecurityModuleDescription(unsigned version) {
    if (version >= 400 && version <= 499) {
        return "Corlan Security Module";
    }
    if (version >= 300 && version <= 399) {
        return "Dessow Security Module";
    }
    if (version >= 200 && version <= 299) {
        return "KEL700 Security Module";
    }
    return version < 200 ? "Not Reported Security Module" : "";
}

int Command_HardwareVersionRequest(UtilityRun& run) {
    const std::string& name = run.options.hardwareVersionFile;
    const std::string hostPath = run.paths.Map(name);
    std::uint32_t attributes = 0;
    const std::uint32_t error = platform::GetFileAttributes(hostPath, attributes);
    if (error != 0 ||
        (attributes != platform::kFileAttributeNormal && attributes != kFileAttributeArchive)) {
        // A missing file reads as the invalid attribute value, -1.
        const int shown = error != 0 ? -1 : static_cast<int>(attributes);
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                           "Error %d with Config File %s", shown, name.c_str());
        return 1;
    }
    const SecurityModuleIdentity& identity = run.identity;
    if (identity.version > kHardwareVersionHighestModule) {
        return 0;
    }
    ReportFile file(run, hostPath);
    file.Key("SecurityModule_Description", SecurityModuleDescription(identity.version));
    file.Key("SecurityModule_Manufacturer", "Quarnel");
    file.Key("SecurityModule_Type", "USB");
    file.Key("SecurityModule_Version", identity.versionText + " " + identity.checksumText);

    SecurityModuleCommands commands(run);
    if (commands.OpenPort5() != 0) {
        Show(run, "ERROR 1B: Can Not Open Port 5");
        return 2;
    }
    if (commands.SyncCashMachine() != 0) {
        Show(run, "ERROR 1C: Can Not Sync With Port 5");
        static_cast<void>(commands.ClosePort5());
        return 3;
    }
    const bool answered = commands.RequestBillAcceptorVersion() == 0;
    BillAcceptorKeys(run, file, answered);
    file.Key("CoinAcceptor_Description", "CF9520 Coin Acceptor");
    file.Key("CoinAcceptor_Manufacturer", "MEI");
    file.Key("CoinAcceptor_Type", "CF9520");
    file.Key("CoinAcceptor_Version", "N/A");
    BillDispenserKeys(run, commands, file);
    CoinDispenserKeys(run, commands, file);
    static_cast<void>(commands.ClosePort5());
    return 0;
}

}  // namespace lane::moxtel
