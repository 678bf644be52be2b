// The firmware image: version digits from the path, loading, sums, and the reader step.
#include "Moxtel/FirmwareImage.h"

#include <charconv>
#include <optional>
#include <sstream>

#include "platform/RegularFile.h"
#include "platform/SystemError.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "FirmwareImage";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The checksum text the module reported, as a number; none when it holds no hexadecimal digit.
std::optional<std::uint32_t> ModuleChecksum(const std::string& text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end == text.data()) {
        return std::nullopt;
    }
    return value;
}

// A mismatch of the internal checksum: the operator decides in an interactive run, the internal
// checksum check decides in a command-line run. True when the upload may go on.
bool AcceptInternalMismatch(UtilityRun& run) {
    if (!run.options.commandGiven) {
        run.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__, "%s",
                           "Do you want to Upload File (y/n) :");
        const int key = run.console.GetKey();
        const char answer = run.console.InputEnded() ? 'n' : static_cast<char>(key);
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%c", answer);
        return answer == 'y' || answer == 'Y';
    }
    if (run.options.internalChecksumCheck) {
        return false;
    }
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                       "Override of Checksum is Active!");
    return true;
}

}  // namespace

std::string ImageOpenFailureReason(const std::string& path, std::uint32_t error,
                                   platform::FileKind kind) {
    if (kind == platform::FileKind::Folder) {
        return path + " is a folder, not a firmware image file";
    }
    if (error == platform::kErrorAccessDenied && kind == platform::FileKind::Other) {
        return path + " is not a plain file (a pipe, a device or a socket)";
    }
    std::string text = platform::SystemErrorText(error);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

ImageVersion ImageVersionFromPath(std::string_view path) {
    ImageVersion found;
    unsigned places[3] = {0, 0, 0};
    for (const char c : path) {
        if (found.digits == 3) {
            break;
        }
        if (!IsDigit(c)) {
            continue;
        }
        if (found.digits == 0) {
            found.generation = c;
        }
        places[found.digits++] = static_cast<unsigned>(c - '0');
    }
    found.version = places[0] * 100 + places[1] * 10 + places[2];
    return found;
}

ImageSums SumImage(const FirmwareBuffer& buffer, std::size_t count) {
    ImageSums sums;
    if (count > buffer.size()) {
        count = buffer.size();
    }
    const std::size_t contentEnd = count >= 2 ? count - 2 : 0;
    std::uint32_t content = 0;
    for (std::size_t index = 0; index < contentEnd; ++index) {
        content += buffer[index];
    }
    sums.internalSum = static_cast<std::uint16_t>(content & 0xFFFFu);
    sums.inputSum = content;
    for (std::size_t index = contentEnd; index < count; ++index) {
        sums.inputSum += buffer[index];
    }
    if (count >= 2) {
        sums.storedChecksum =
            static_cast<std::uint16_t>((buffer[count - 2] << 8) | buffer[count - 1]);
    }
    return sums;
}

std::size_t LoadImage(std::istream& in, FirmwareBuffer& buffer) {
    buffer.fill(0);
    std::size_t count = 0;
    while (count < buffer.size() && in) {
        in.read(reinterpret_cast<char*>(buffer.data() + count),
                static_cast<std::streamsize>(buffer.size() - count));
        count += static_cast<std::size_t>(in.gcount());
    }
    return count;
}

int ReadFirmwareImage(UtilityRun& run, const std::string& path, FirmwareBuffer& buffer,
                      std::size_t& count) {
    count = 0;
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "Opening File %s",
                       path.c_str());
    // Only a plain file is an image: a folder or a pipe is refused before anything is read (a
    // pipe would otherwise hold the run for ever, a folder would read as empty).
    std::string bytes;
    platform::FileKind kind = platform::FileKind::Other;
    const std::uint32_t error =
        platform::ReadRegularFile(run.paths.Map(path), kFirmwareBufferSize, bytes, kind);
    if (error != 0) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                           "ERROR 01: Can not open File %s", path.c_str());
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                           ImageOpenFailureReason(path, error, kind).c_str());
        return kImageOpenFailed;
    }
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", "Reading File");
    std::istringstream in(std::move(bytes));
    const std::size_t read = LoadImage(in, buffer);
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%d Bytes Read",
                       static_cast<int>(read));
    // The start packet carries the length in 16 bits and the module needs content and checksum:
    // a file outside these bounds cannot be a whole image.
    if (read < kSmallestImage) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                           "ERROR 01: File %s is too short for a firmware image", path.c_str());
        return kImageWrongSize;
    }
    if (read > kLargestImage) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                           "ERROR 01: File %s is too large for the Security Module, %d Bytes "
                           "or more",
                           path.c_str(), static_cast<int>(kFirmwareBufferSize));
        return kImageWrongSize;
    }
    const ImageSums sums = SumImage(buffer, read);
    if (run.options.inputFileChecksum != 0) {
        if (run.options.inputFileChecksum != sums.inputSum) {
            run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                               "ERROR 02: Input File Checksum FAILED! %x %x",
                               run.options.inputFileChecksum, sums.inputSum);
            return kImageInputChecksumFailed;
        }
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                           "Input File Checksum Match!");
    }
    if (sums.internalSum != sums.storedChecksum) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                           "ERROR 02: Internal Checksum do not Match! %x %x",
                           static_cast<unsigned>(sums.internalSum),
                           static_cast<unsigned>(sums.storedChecksum));
        if (!AcceptInternalMismatch(run)) {
            return kImageInternalChecksumFailed;
        }
    }
    if (run.options.autoUpdate && ModuleChecksum(run.identity.checksumText) == sums.internalSum) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                           "No change in firmware, Do not upload!");
        return kImageNoChange;
    }
    count = read;
    return kImageAccepted;
}

}  // namespace lane::moxtel
