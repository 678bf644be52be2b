// What every Fujitsu bill dispenser item shares: the module version gate, port 5 opened and
// synchronised for the item's life and closed on every way out, its messages, and the keys the
// operator answers with.
#pragma once

#include <cstdint>
#include <string>

#include "Moxtel/FujitsuDataBlock.h"
#include "Moxtel/UtilityRun.h"
#include "Moxtel/securitymodule_commands.h"

namespace lane::moxtel {

class FujitsuSession {
  public:
    explicit FujitsuSession(UtilityRun& run) : run_(run), commands_(run) {}
    ~FujitsuSession();
    FujitsuSession(const FujitsuSession&) = delete;
    FujitsuSession& operator=(const FujitsuSession&) = delete;

    // The version gate, the title, then port 5 opened and synchronised: 0, or the item's result
    // after logging the failure. `syncFailed` is the text of a failed synchronisation.
    [[nodiscard]] int Start(const char* title, const char* syncFailed);

    // Logs (console and file), with and without a line end, and to the file only.
    void Show(const std::string& text);
    void Prompt(const std::string& text);
    void FileOnly(const std::string& text);

    // Writes port data to port 5; false after logging the write's ERROR 11.
    bool Send(const std::string& data);
    // Sends the request and reads the data block: false after logging the failure.
    bool RequestBlock(const std::string& request, FujitsuDataBlock& block);
    // The same with the item's "Requesting ..." line before and "Program Aborted!" on a failure.
    bool RequestBlockShown(const std::string& request, FujitsuDataBlock& block);
    // Awaits the reply 'd' `code` (wait count 200): 0, or the reply loop's failure.
    [[nodiscard]] int AwaitReply(std::uint8_t code, link::LinkPacket& reply);

    // One key, upper-cased and echoed; 'X' when results are not acknowledged or input ended.
    char Key();
    // One key, upper-cased, not echoed; 'X' likewise.
    char SilentKey();
    // A key was pressed, or input ended.
    bool KeyPressed();

    UtilityRun& Run() { return run_; }
    SecurityModuleCommands& Commands() { return commands_; }

  private:
    UtilityRun& run_;
    SecurityModuleCommands commands_;
    bool open_ = false;
};

// Texts shared by the items.
inline constexpr const char* kFujitsuRequesting = "Requesting Data From Fujitsu Bill Dispenser";
inline constexpr const char* kFujitsuAbortedText = "Program Aborted!";
inline constexpr const char* kFujitsuExiting = "Exiting Fujitsu Testing.";
inline constexpr const char* kFujitsuSyncFailed = "ERROR 1C: Sync port 5 Failed.";
inline constexpr const char* kFujitsuNoData = "ERROR 30: Reading Data From Fujitsu Bill Dispenser.";

}  // namespace lane::moxtel
