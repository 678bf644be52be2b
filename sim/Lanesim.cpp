// lanesim's run from options to exit code.
#include "sim/Lanesim.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>

#include "platform/DeviceDriver.h"
#include "platform/NamedPipe.h"
#include "platform/SystemError.h"
#include "sim/ModuleFace.h"
#include "sim/PipeFace.h"
#include "sim/Player.h"
#include "sim/Record.h"
#include "sim/Scenario.h"

namespace lane::sim {

namespace {

// Reads at most `maxBytes` of a file; false when it cannot be read or is larger.
bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    text.clear();
    char chunk[4096];
    while (in.read(chunk, sizeof(chunk)) || in.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(in.gcount()));
        if (text.size() > maxBytes) {
            return false;
        }
    }
    return !in.bad();
}

// Writes the ready file under a temporary name and renames it, so a reader never sees half.
bool WriteReadyFile(const std::string& path, const std::string& content) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << content;
        out.flush();
        if (!out) {
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    return !error;
}

void RemoveFile(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace

int RunLanesim(const LanesimOptions& options, const platform::LanePaths& paths, Clock& clock,
               Waitable& stop, std::string& message,
               const std::function<void(const std::string&)>& onListening) {
    message.clear();
    std::string text;
    if (!ReadWholeFile(options.scenarioPath, kMaxScenarioFileBytes, text)) {
        message = "cannot read scenario " + options.scenarioPath;
        return kExitUsage;
    }
    Scenario scenario;
    ScenarioError parseError;
    if (ParseScenario(text, scenario, parseError) != kScenarioOk) {
        message = options.scenarioPath + ":" + std::to_string(parseError.line) + ": " +
                  parseError.message;
        return kExitUsage;
    }
    RecordWriter record;
    if (record.Open(options.recordPath) != 0) {
        message = "cannot create record file " + options.recordPath;
        return kExitCannotWrite;
    }
    if (!options.readyPath.empty()) {
        RemoveFile(options.readyPath);
    }
    // Every face listens before anybody is told.
    std::unique_ptr<PipeFace> pipe;
    std::unique_ptr<ModuleFace> module;
    std::vector<std::string> sockets;
    if (scenario.usesPipe || !scenario.usesModule) {
        std::unique_ptr<platform::PipeServer> server;
        const std::uint32_t listenError = platform::ListenPipe(paths, kSimulatorPipeName, server);
        if (listenError != platform::kErrorSuccess) {
            message = "cannot listen on \\\\.\\pipe\\" + std::string(kSimulatorPipeName) +
                      " (error " + std::to_string(listenError) + ")";
            return kExitCannotListen;
        }
        pipe = std::make_unique<PipeFace>(std::move(server), record);
        sockets.push_back(paths.Internal("pipe", kSimulatorPipeName));
    }
    if (scenario.usesModule) {
        std::unique_ptr<platform::DeviceServer> servers[2];
        const char* const names[2] = {kModuleUsbDeviceName, kModuleBoardDeviceName};
        for (int i = 0; i < 2; ++i) {
            const std::uint32_t listenError = platform::ListenDevice(paths, names[i], servers[i]);
            if (listenError != platform::kErrorSuccess) {
                message = "cannot serve \\\\.\\" + std::string(names[i]) + " (error " +
                          std::to_string(listenError) + ")";
                return kExitCannotListen;
            }
            sockets.push_back(paths.Internal("driver", names[i]));
        }
        ModuleFaceSetup setup;
        setup.replies = scenario.replies;
        setup.uploadImagePath = options.uploadImagePath;
        setup.clock = &clock;
        module = std::make_unique<ModuleFace>(std::move(servers[0]), std::move(servers[1]), record,
                                              scenario.module, setup);
    }
    std::string readyText;
    for (const std::string& socket : sockets) {
        readyText += socket + "\n";
    }
    if (!options.readyPath.empty() && !WriteReadyFile(options.readyPath, readyText)) {
        message = "cannot write ready file " + options.readyPath;
        return kExitCannotWrite;
    }
    if (onListening) {
        for (const std::string& socket : sockets) {
            onListening(socket);
        }
    }
    Player player(scenario, Faces{pipe.get(), module.get()}, clock, stop, options.speed);
    const int played = player.Run(message);
    if (!options.readyPath.empty()) {
        RemoveFile(options.readyPath);
    }
    if (played == kPlayNoFace) {
        return kExitUsage;
    }
    return played == kPlayTimedOut ? kExitTimedOut : kExitDone;
}

int ShowRecord(const std::string& path, std::string& output, std::string& message) {
    std::string text;
    if (!ReadWholeFile(path, kMaxScenarioFileBytes * 16, text)) {
        message = "cannot read record " + path;
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
