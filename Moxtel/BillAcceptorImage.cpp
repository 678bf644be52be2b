// The bill acceptor image: loading with the end-of-file byte, its checksum, and the reader step.
#include "Moxtel/BillAcceptorImage.h"

#include <algorithm>

#include "Moxtel/FirmwareImage.h"
#include "platform/RegularFile.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_BillAcceptorUpload";

void Show(UtilityRun& run, int line, const char* format, const std::string& text) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, line, format, text.c_str());
}

}  // namespace

void LoadBillAcceptorImage(std::string_view file, BillAcceptorImage& image) {
    std::fill(image.buffer.begin(), image.buffer.end(), 0);
    const std::size_t taken = std::min(file.size(), kLargestBillAcceptorFile);
    std::uint32_t sum = 0;
    for (std::size_t index = 0; index < taken; ++index) {
        const auto byte = static_cast<std::uint8_t>(file[index]);
        image.buffer[index] = byte;
        sum += byte;
    }
    image.buffer[taken] = kEndOfFileByte;
    image.count = taken + 1;
    image.checksum = sum + kEndOfFileByte;
}

int ReadBillAcceptorImage(UtilityRun& run, const std::string& path, BillAcceptorImage& image) {
    image.count = 0;
    Show(run, __LINE__, "Opening File %s", path);
    std::string bytes;
    platform::FileKind kind = platform::FileKind::Other;
    // One byte more than fits, so that a file too large is seen as such rather than cut.
    const std::uint32_t error =
        platform::ReadRegularFile(run.paths.Map(path), kBillAcceptorBufferSize, bytes, kind);
    if (error != 0) {
        Show(run, __LINE__, "ERROR 01: Can not open file: %s", path);
        Show(run, __LINE__, "%s", ImageOpenFailureReason(path, error, kind));
        return kBillImageOpenFailed;
    }
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", "Reading File.");
    if (bytes.empty()) {
        Show(run, __LINE__, "ERROR 01: File %s is empty, there is nothing to upload", path);
        return kBillImageEmpty;
    }
    if (bytes.size() > kLargestBillAcceptorFile) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                           "ERROR 01: File %s is too large for the Bill Acceptor, %d Bytes or more",
                           path.c_str(), static_cast<int>(kBillAcceptorBufferSize));
        return kBillImageTooLarge;
    }
    LoadBillAcceptorImage(bytes, image);
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%d Bytes Read, File.",
                       static_cast<int>(image.count));
    run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "File Checksum: %x",
                       image.checksum);
    if (run.options.inputFileChecksum == 0) {
        return kBillImageAccepted;
    }
    if (run.options.inputFileChecksum != image.checksum) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                           "ERROR 02: Input File Checksum Failed! %x %x",
                           run.options.inputFileChecksum, image.checksum);
        return kBillImageChecksumFailed;
    }
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                       "Input File Checksum Passed");
    return kBillImageAccepted;
}

}  // namespace lane::moxtel
