// The bill acceptor upload's status file: its text, its crash-safe write, and the model read back.
#include "Moxtel/BillAcceptorStatusFile.h"

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <ctime>

#include "Moxtel/NumberText.h"
#include "common/TimeText.h"
#include "platform/File.h"
#include "platform/RegularFile.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_BillAcceptorUpload";

// The first line of a status file is never longer than a model name; a few lines is plenty.
constexpr std::size_t kStatusFileReadBytes = 4096;

// The models the status file names, by type code.
struct RecordedModel {
    const char* name;
    unsigned typeCode;
};
constexpr RecordedModel kRecordedModels[] = {
    {"LE3900", 31}, {"SC66", 85}, {"SC83", 84}, {"AE2800", 88}};

std::string ModelName(unsigned typeCode) {
    for (const RecordedModel& model : kRecordedModels) {
        if (model.typeCode == typeCode) {
            return model.name;
        }
    }
    // Both codes of the SC66 are written as its name.
    return typeCode == 74 ? "SC66" : "Unknown";
}

std::string Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Line(const char* format, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (length < 0) {
        return "\n";
    }
    return std::string(text,
                       std::min<std::size_t>(static_cast<std::size_t>(length), sizeof text - 1)) +
           "\n";
}

}  // namespace

std::string BillAcceptorStatusText(const UtilityRun& run, const std::string& imagePath,
                                   bool complete) {
    const BillAcceptorIdentity& acceptor = run.billAcceptor;
    std::string text = ModelName(acceptor.typeCode) + "\n";
    text += Line("CCU - %d", static_cast<int>(run.identity.ccuVersion));
    text += Line("SM  - %d", static_cast<int>(run.identity.version));
    text += Line("Prev BA Version: %d0", static_cast<int>(acceptor.startingVersion));
    text += "BA ISO Code: " + acceptor.isoCode + "\n";
    text += "Load file Name: " + imagePath + "\n";
    text += run.options.commandGiven ? "BAT File Update\n" : "Manual Update\n";
    if (complete) {
        text += "Upload Complete\n";
        text += Line("Current Version: %d0", static_cast<int>(acceptor.versionNumber));
        text += "Long Version: " + acceptor.versionPartA + "-" + acceptor.versionPartB + "\n";
    } else {
        text += "Uploading not complete\n";
    }
    const std::tm local = LocalTm(run.clock.Now().seconds);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%m/%d/%y\n%H:%M:%S\n", &local);
    text += stamp;
    text += "END\n";
    return text;
}

void WriteBillAcceptorStatusFile(UtilityRun& run, const std::string& imagePath, bool complete) {
    const std::string text = BillAcceptorStatusText(run, imagePath, complete);
    const std::uint32_t error =
        platform::WriteWholeFile(run.paths.Map(kBillAcceptorStatusFile), text);
    if (error != 0) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                           "Can not write %s (system error %u), the upload goes on without it",
                           kBillAcceptorStatusFile, static_cast<unsigned>(error));
    }
}

int ReadModelFromStatusFile(UtilityRun& run, unsigned& typeCode) {
    run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "%s",
                       "Opening Utility00.txt to get Bill Acceptor Model");
    std::string bytes;
    platform::FileKind kind = platform::FileKind::Other;
    if (platform::ReadRegularFile(run.paths.Map(kBillAcceptorStatusFile), kStatusFileReadBytes,
                                  bytes, kind) != 0) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                           "ERROR 01: Can not open Utility00.txt");
        return 1;
    }
    if (bytes.empty()) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                           "ERROR 01: Can not read Utility00.txt");
        return 2;
    }
    // The first line with its line end, read as a text file: CR LF counts as one line end.
    const std::size_t end = bytes.find('\n');
    std::string line = end == std::string::npos ? bytes : bytes.substr(0, end + 1);
    if (line.size() >= 2 && line[line.size() - 2] == '\r') {
        line.erase(line.size() - 2, 1);
    }
    const std::string shown = line.back() == '\n' ? line.substr(0, line.size() - 1) : line;
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "Read data :%s",
                       shown.c_str());
    for (const RecordedModel& model : kRecordedModels) {
        if (EqualsIgnoringCase(line, std::string(model.name) + "\n")) {
            typeCode = model.typeCode;
            return 0;
        }
    }
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                       "ERROR 01: Utility00.txt names no Bill Acceptor Model that can be loaded");
    return 3;
}

}  // namespace lane::moxtel
