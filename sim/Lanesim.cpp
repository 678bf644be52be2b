// lanesim's run from options to exit code.
#include "sim/Lanesim.h"

#include <memory>

#include "platform/File.h"
#include "platform/FileRead.h"
#include "platform/SystemError.h"
#include "sim/ModuleFace.h"
#include "sim/PipeFace.h"
#include "sim/Player.h"
#include "sim/Record.h"
#include "sim/Scenario.h"
#include "sim/Sockets.h"

namespace lane::sim {

namespace {

// Reads a file lanesim was given; false with why it cannot (what: "scenario", "record").
bool ReadGivenFile(const std::string& what, const std::string& path, std::size_t maxBytes,
                   std::string& text, std::string& message) {
    const std::uint32_t error = platform::ReadWholeHostFile(path, maxBytes, text);
    if (error == platform::kErrorSuccess) {
        return true;
    }
    message = "cannot read " + what + " " + path + " (";
    message +=
        error == platform::kErrorFileTooLarge
            ? "larger than the " + std::to_string(maxBytes >> 20) + " MiB a " + what + " may have"
            : platform::SystemErrorReason(error);
    message += ")";
    return false;
}

// Writes the ready file under a temporary name and renames it, so a reader never sees half.
// Only a regular file (or none) is replaced: a device named by mistake stays as it is.
std::uint32_t WriteReadyFile(const std::string& path, const std::string& content) {
    if (platform::KindOfHostPath(path) == platform::HostPathKind::Other) {
        return platform::kErrorAccessDenied;
    }
    return platform::WriteWholeFile(path, content);
}

void RemoveReadyFile(const std::string& path) {
    if (!path.empty() && platform::KindOfHostPath(path) == platform::HostPathKind::RegularFile) {
        (void)platform::DeleteFile(path);
    }
}

}  // namespace

int RunLanesim(const LanesimOptions& options, const platform::LanePaths& paths, Clock& clock,
               Waitable& stop, std::string& message,
               const std::function<void(const std::string&)>& onListening) {
    message.clear();
    std::string text;
    if (!ReadGivenFile("scenario", options.scenarioPath, kMaxScenarioFileBytes, text, message)) {
        return kExitUsage;
    }
    Scenario scenario;
    ScenarioError parseError;
    if (ParseScenario(text, scenario, parseError) != kScenarioOk) {
        message = options.scenarioPath + ":" + std::to_string(parseError.line) + ": " +
                  parseError.message;
        return kExitUsage;
    }
    // The sockets first: while another lanesim serves them, its ready and record files are its
    // own and stay untouched.
    ClaimedSockets sockets;
    if (!ClaimSockets(paths, scenario.usesPipe || !scenario.usesModule, scenario.usesModule,
                      sockets, message)) {
        return kExitCannotListen;
    }
    RemoveReadyFile(options.readyPath);
    RecordWriter record;
    const std::uint32_t recordError = record.Open(options.recordPath);
    if (recordError != platform::kErrorSuccess) {
        message = "cannot create record file " + options.recordPath + " (" +
                  platform::SystemErrorReason(recordError) + ")";
        return kExitCannotWrite;
    }
    std::unique_ptr<PipeFace> pipe;
    std::unique_ptr<ModuleFace> module;
    if (sockets.pipe) {
        pipe = std::make_unique<PipeFace>(std::move(sockets.pipe), record);
    }
    if (sockets.usb) {
        ModuleFaceSetup setup;
        setup.replies = scenario.replies;
        setup.uploadImagePath = options.uploadImagePath;
        setup.billAcceptor = scenario.billAcceptor;
        setup.fujitsuDispenser = scenario.fujitsuDispenser;
        setup.billAcceptorImagePath = options.billAcceptorImagePath;
        setup.clock = &clock;
        setup.carousel = scenario.carousel;
        module = std::make_unique<ModuleFace>(std::move(sockets.usb), std::move(sockets.board),
                                              record, scenario.module, setup);
    }
    std::string readyText;
    for (const std::string& socket : sockets.paths) {
        readyText += socket + "\n";
    }
    if (!options.readyPath.empty()) {
        const std::uint32_t readyError = WriteReadyFile(options.readyPath, readyText);
        if (readyError != platform::kErrorSuccess) {
            message = "cannot write ready file " + options.readyPath + " (" +
                      platform::SystemErrorReason(readyError) + ")";
            return kExitCannotWrite;
        }
    }
    if (onListening) {
        for (const std::string& socket : sockets.paths) {
            onListening(socket);
        }
    }
    Player player(scenario, Faces{pipe.get(), module.get()}, clock, stop, options.speed);
    const int played = player.Run(message);
    RemoveReadyFile(options.readyPath);
    const std::uint32_t recordWriteError = record.WriteError();
    if (recordWriteError != platform::kErrorSuccess) {
        // The run is worth no more than its record: a record cut short fails it.
        message += (message.empty() ? "" : "; ") + std::string("record file ") +
                   options.recordPath + " could not be written to its end (" +
                   platform::SystemErrorReason(recordWriteError) + ")";
        return kExitCannotWrite;
    }
    if (played == kPlayNoFace) {
        return kExitUsage;
    }
    return played == kPlayTimedOut ? kExitTimedOut : kExitDone;
}

int ShowRecord(const std::string& path, std::string& output, std::string& message) {
    std::string text;
    if (!ReadGivenFile("record", path, kMaxScenarioFileBytes * 16, text, message)) {
        return kExitUsage;
    }
    RecordContents contents;
    int badLine = 0;
    if (ReadRecord(text, contents, badLine) != kRecordOk) {
        message = path + ":" + std::to_string(badLine) + ": not a record line";
        return kExitUsage;
    }
    output = FormatRecordSummary(contents);
    return kExitDone;
}

}  // namespace lane::sim
