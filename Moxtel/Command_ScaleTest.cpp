// The scale test items: the stream is started with 'S' '5' then 'S' '7' and ended with 'S' '5'
// then 'S' '8'; readings are read one at a time with a wait count of 1 so that the keys stay
// responsive, and packets that are not readings are dropped.
#include "Moxtel/Command_ScaleTest.h"

#include <cctype>
#include <cstdio>
#include <string>

#include "Moxtel/DateTimeTexts.h"
#include "Moxtel/OperatorInput.h"
#include "Moxtel/ScaleNoiseAnalysis.h"
#include "Moxtel/ScaleReading.h"
#include "Moxtel/securitymodule_commands.h"
#include "link/LinkConfig.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_ScaleTest";
constexpr const char* kCaptureFile = "c:\\FirmwareUpdate\\ScaleDump.txt";
constexpr const char* kAnalysisFile = "c:\\FirmwareUpdate\\AnalyzeData.txt";
constexpr int kEscape = 27;
// Readings are looked for this long (in steps of 100 ms) between two looks at the keys.
constexpr int kReadingWaitCount = 1;
// The EU reply is waited for this long per read.
constexpr int kEuWaitCount = 10;

void Log(UtilityRun& run, const std::string& text) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", text.c_str());
}

bool IsExitKey(int key) {
    return key == 'X' || key == kEscape;
}

// A key typed meanwhile, upper-cased; 0 when none is waiting.
int PolledKey(UtilityRun& run) {
    if (!run.console.KeyWaiting()) {
        return 0;
    }
    return std::toupper(run.console.GetKey() & 0xFF);
}

// Writes one of the stream's requests; a failure is logged and port 6 closed. True when written.
bool WriteStreamRequest(UtilityRun& run, SecurityModuleCommands& commands, char code) {
    link::LinkPacket packet;
    packet.DA = link::kServicePort;
    packet.DC = link::TMCB_DC_PORT_DATA;
    packet.DL = 2;
    packet.data[0] = 'S';
    packet.data[1] = static_cast<std::uint8_t>(code);
    if (run.link.WritePacketToSecurityModule(packet) == 0) {
        return true;
    }
    Log(run, "ERROR 11: Writing Security Module Data Failed.");
    static_cast<void>(commands.ClosePort6());
    return false;
}

void StartStream(UtilityRun& run, SecurityModuleCommands& commands) {
    if (WriteStreamRequest(run, commands, '5')) {
        static_cast<void>(WriteStreamRequest(run, commands, '7'));
    }
}

void EndStream(UtilityRun& run, SecurityModuleCommands& commands) {
    if (WriteStreamRequest(run, commands, '5')) {
        static_cast<void>(WriteStreamRequest(run, commands, '8'));
    }
}

// The next reading, if one arrives within the short wait.
bool NextReading(UtilityRun& run, ScaleReading& reading) {
    link::LinkPacket packet;
    return run.link.ReadPacketFromSecurityModule(packet, kReadingWaitCount) &&
           ReadScaleReading(packet, reading);
}

// Opens a file of the items for writing from its start: null when it cannot be.
std::unique_ptr<platform::SharedFile> OpenOutputFile(UtilityRun& run, const char* windowsPath) {
    std::unique_ptr<platform::SharedFile> file;
    if (platform::OpenSharedFile(run.paths.Map(windowsPath), file) != 0 || file->Truncate() != 0) {
        return nullptr;
    }
    return file;
}

void Append(platform::SharedFile* file, const std::string& text) {
    if (file != nullptr) {
        static_cast<void>(file->Write(text.data(), text.size()));
    }
}

// Shows one reading in the display's mode, and counts the stable readings it does not show.
void ShowReading(UtilityRun& run, ScaleDisplayState& state, const ScaleReading& reading) {
    if (reading.Unstable()) {
        state.lastWasUnstable = true;
    }
    bool show = state.mode == 2 || reading.Unstable();
    if (!show && state.lastWasUnstable) {
        show = true;
        state.lastWasUnstable = false;
    }
    if (!show) {
        ++state.stablesNotShown;
        run.console.Write(std::to_string(state.stablesNotShown) + " - Stables\r");
    } else {
        run.console.Write(ScaleDisplayLine(reading));
        if (!reading.Unstable()) {
            state.stablesNotShown = 0;
        }
    }
    Append(state.capture.get(), ScaleCaptureLine(reading));
}

void HandleDisplayKey(UtilityRun& run, ScaleDisplayState& state, int key) {
    switch (key) {
        case 'C':
            state.mode = 2;
            break;
        case 'N':
            state.mode = 1;
            break;
        case 'F':
            if (!state.capture) {
                Log(run, "Opening ScaleDump.txt");
                state.capture = OpenOutputFile(run, kCaptureFile);
                if (!state.capture) {
                    Log(run, "ERROR 01: Can not open ScaleDump.txt file");
                }
            }
            break;
        case 'E':
            Log(run, "Capture file closed");
            state.capture.reset();
            break;
        default:
            break;
    }
}

}  // namespace

void DisplayCaptureScaleValues(UtilityRun& run, ScaleDisplayState& state) {
    SecurityModuleCommands commands(run);
    commands.ClearScreen();
    Log(run, "Scale Test/Dump values\n\n");
    if (commands.OpenPort6() != 0) {
        Log(run, "ERROR 1B: Can not open port 6.");
        return;
    }
    run.console.Write(
        "Active Keys:\nN - Normal Display, show only new Stable and Unstable readings.\n"
        "C - Continuous Display, Show all readings\n"
        "F - Start File Capture to \"C:\\FirmwareUpdate\\ScaleDump.txt\"\n"
        "E - End File Capture\nX - Exit Test\n\nPress any key to start");
    static_cast<void>(run.console.GetKey());
    run.console.Write("\n\nAvg Weight   Noise\n\n");
    StartStream(run, commands);
    for (;;) {
        const int key = PolledKey(run);
        if (IsExitKey(key) || run.console.InputEnded()) {
            break;
        }
        HandleDisplayKey(run, state, key);
        ScaleReading reading;
        if (NextReading(run, reading)) {
            ShowReading(run, state, reading);
        }
    }
    EndStream(run, commands);
    state.capture.reset();
    static_cast<void>(commands.ClosePort6());
}

namespace {

// The EU value, or 0 when it did not come (the failure is logged).
unsigned RequestEuValue(UtilityRun& run, SecurityModuleCommands& commands) {
    if (!WriteStreamRequest(run, commands, 'G')) {
        return 0;
    }
    for (int count = 1;; ++count) {
        link::LinkPacket packet;
        if (!run.link.ReadPacketFromSecurityModule(packet, kEuWaitCount)) {
            Log(run, "ERROR 10: Request EU Failed.");
            return 0;
        }
        unsigned euValue = 0;
        if (ReadEuReply(packet, euValue)) {
            return euValue;
        }
        if (count >= kReplyLoopPacketLimit) {
            Log(run, "ERROR 12: Request EU Failed.");
            return 0;
        }
    }
}

// One key, upper-cased and echoed.
int EchoedKey(UtilityRun& run) {
    const int key = std::toupper(run.console.GetKey() & 0xFF);
    run.console.Write(std::string(1, static_cast<char>(key)));
    return key;
}

// Waits for the first reading; false when X or ESC came first.
bool AwaitFirstReading(UtilityRun& run, ScaleReading& first) {
    for (;;) {
        const int key = PolledKey(run);
        if (IsExitKey(key) || run.console.InputEnded()) {
            return false;
        }
        if (NextReading(run, first)) {
            return true;
        }
    }
}

}  // namespace

void AnalyzeScaleData(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    commands.ClearScreen();
    Log(run, "**** Analyze Scale values ****\n\n\n");
    if (commands.OpenPort6() != 0) {
        Log(run, "ERROR 1B: Can not open port 6.");
        return;
    }
    const unsigned euValue = RequestEuValue(run, commands);
    run.console.Write("Enter Time Interval in minutes (enter 0 or blank for none) :");
    const std::string answer = ReadOperatorLine(run.console, kOperatorLineChars);
    if (!answer.empty() && (answer[0] == 'X' || answer[0] == 'x')) {
        static_cast<void>(commands.ClosePort6());
        return;
    }
    const std::uint32_t intervalMinutes = DecimalPrefix(answer);
    bool zeroEachInterval = false;
    std::unique_ptr<platform::SharedFile> logFile;
    if (intervalMinutes > 0) {
        run.console.Write("Zero values for each interval :");
        zeroEachInterval = EchoedKey(run) == 'Y';
        run.console.Write("\nDo you want to log this data :");
        const bool logData = EchoedKey(run) == 'Y';
        run.console.Write("\n\n");
        if (logData) {
            logFile = OpenOutputFile(run, kAnalysisFile);
        }
    }
    run.console.Write("Press the \"X\" key to exit.\n\nPress any key to start");
    if (std::toupper(run.console.GetKey() & 0xFF) == 'X') {
        static_cast<void>(commands.ClosePort6());
        return;
    }
    StartStream(run, commands);
    ScaleReading first;
    if (!AwaitFirstReading(run, first)) {
        EndStream(run, commands);
        static_cast<void>(commands.ClosePort6());
        return;
    }
    CScaleNoiseAnalysis analysis(first, intervalMinutes, zeroEachInterval);
    const std::int64_t startSeconds = run.clock.Now().seconds;
    const std::string started =
        "\n\nNoise Range Counts,  Started " + LocalTimeText(run.clock) + "\n\n";
    run.console.Write(started + analysis.ConsoleHeader());
    Append(logFile.get(), started + analysis.FileHeader());
    std::string line;
    std::string fileLine;
    for (;;) {
        const int key = PolledKey(run);
        if (IsExitKey(key) || run.console.InputEnded()) {
            break;
        }
        ScaleReading reading;
        if (!NextReading(run, reading)) {
            continue;
        }
        analysis.Take(reading, line, fileLine);
        run.console.Write(line);
        Append(logFile.get(), fileLine);
    }
    EndStream(run, commands);
    static_cast<void>(commands.ClosePort6());
    Append(logFile.get(), analysis.FileLine());
    const std::string table = analysis.ResultTable(euValue, LocalTimeText(run.clock),
                                                   run.clock.Now().seconds - startSeconds);
    if (logFile) {
        Append(logFile.get(), table + "\n");
        logFile.reset();
    }
    run.console.Write(table + "\n");
    commands.WaitForKey();
}

}  // namespace lane::moxtel
