// The firmware image: version digits of paths, the sums, loading into the buffer, and the reader
// step's checks with their messages.
#include "Moxtel/FirmwareImage.h"

#include <filesystem>
#include <sstream>

#include "link/securitymodule.h"
#include "platform/Process.h"
#include "tests/Moxtel/MoxtelTestSupport.h"

namespace lane::moxtel::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// `size` bytes of content-like data ending in its internal checksum, spoiled when `good` is off.
Bytes MakeImage(std::size_t size, bool good = true) {
    Bytes image(size);
    std::uint32_t sum = 0;
    for (std::size_t index = 0; index + 2 < size; ++index) {
        image[index] = static_cast<std::uint8_t>((index * 37 + 11) ^ (index >> 8));
        sum += image[index];
    }
    sum = (sum + (good ? 0u : 1u)) & 0xFFFFu;
    image[size - 2] = static_cast<std::uint8_t>(sum >> 8);
    image[size - 1] = static_cast<std::uint8_t>(sum & 0xFFu);
    return image;
}

std::uint32_t ByteSum(const Bytes& bytes) {
    std::uint32_t sum = 0;
    for (const std::uint8_t byte : bytes) {
        sum += byte;
    }
    return sum;
}

TEST(ImageVersionTest, TheFirstThreeDigitsOfThePathAsGiven) {
    const struct {
        const char* path;
        int digits;
        unsigned version;
        char generation;
    } cases[] = {
        {"C:\\FirmwareUpdate\\SCv353.tsk", 3, 353, '3'},
        {"c:\\kel lane\\firmwareupdate\\SCv464.TSK", 3, 464, '4'},
        {"C:\\FirmwareUpdate\\SCvA353.tsk", 3, 353, '3'},
        {"c:\\lane2\\SCv464.TSK", 3, 246, '2'},  // every digit of the path counts
        {"c:\\fw\\SCv4.tsk", 1, 400, '4'},
        {"c:\\fw\\SCv4-5.tsk", 2, 450, '4'},
        {"c:\\fw\\image.tsk", 0, 0, 0},
        {"", 0, 0, 0},
    };
    for (const auto& expected : cases) {
        const ImageVersion found = ImageVersionFromPath(expected.path);
        EXPECT_EQ(found.digits, expected.digits) << expected.path;
        EXPECT_EQ(found.version, expected.version) << expected.path;
        EXPECT_EQ(found.generation, expected.generation) << expected.path;
    }
}

TEST(ImageSumsTest, InputSumTakesAllBytesInternalSumAllButTheStoredChecksum) {
    FirmwareBuffer buffer{};
    const Bytes bytes = {0x01, 0x02, 0xFF, 0x01, 0x02};
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    ImageSums sums = SumImage(buffer, bytes.size());
    EXPECT_EQ(sums.inputSum, 0x105u);
    EXPECT_EQ(sums.internalSum, 0x102u);
    EXPECT_EQ(sums.storedChecksum, 0x0102u);
    // The internal sum wraps at 16 bits, the input sum does not.
    buffer.fill(0xFF);
    sums = SumImage(buffer, kFirmwareBufferSize);
    EXPECT_EQ(sums.inputSum, 65536u * 255u);
    EXPECT_EQ(sums.internalSum, static_cast<std::uint16_t>(65534u * 255u));
    EXPECT_EQ(sums.storedChecksum, 0xFFFFu);
    sums = SumImage(buffer, 1);
    EXPECT_EQ(sums.inputSum, 0xFFu);
    EXPECT_EQ(sums.internalSum, 0u);
    EXPECT_EQ(sums.storedChecksum, 0u);
}

// A stream that hands out its bytes a few at a time, as a slow file would.
class TrickleBuffer final : public std::streambuf {
  public:
    explicit TrickleBuffer(std::string bytes) : bytes_(std::move(bytes)) {}

  protected:
    int_type underflow() override {
        if (next_ >= bytes_.size()) {
            return traits_type::eof();
        }
        const std::size_t take = std::min<std::size_t>(7, bytes_.size() - next_);
        setg(bytes_.data() + next_, bytes_.data() + next_, bytes_.data() + next_ + take);
        next_ += take;
        return traits_type::to_int_type(*gptr());
    }

  private:
    std::string bytes_;
    std::size_t next_ = 0;
};

TEST(LoadImageTest, ReadsToTheEndOrTheBufferSizeIntoAZeroFilledBuffer) {
    FirmwareBuffer buffer;
    buffer.fill(0xEE);
    TrickleBuffer trickle(std::string(100, 'a'));
    std::istream slow(&trickle);
    EXPECT_EQ(LoadImage(slow, buffer), 100u);
    EXPECT_EQ(buffer[99], 'a');
    EXPECT_EQ(buffer[100], 0);
    EXPECT_EQ(buffer.back(), 0);
    std::string large(kFirmwareBufferSize + 10, 'b');
    large[kFirmwareBufferSize - 1] = 'c';
    std::istringstream big(large);
    EXPECT_EQ(LoadImage(big, buffer), kFirmwareBufferSize);
    EXPECT_EQ(buffer.back(), 'c');
    std::istringstream empty;
    EXPECT_EQ(LoadImage(empty, buffer), 0u);
    EXPECT_EQ(buffer[0], 0);
}

class ImageReaderTest : public LaneFixture {
  protected:
    // Writes `bytes` as c:\FirmwareUpdate\<name> and gives its Windows path.
    std::string Place(const std::string& name, const Bytes& bytes) {
        std::ofstream(root / ("c/FirmwareUpdate/" + name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return "c:\\FirmwareUpdate\\" + name;
    }
    int Read(const std::string& path) {
        UtilityRun run{rig_.log, rig_.config, options,       link_,       console,
                       clock,    identity,    billAcceptor_, endProcess_, paths};
        return ReadFirmwareImage(run, path, buffer_, count);
    }
    std::string File() {
        rig_.capture.Close();
        return Capture();
    }

    LogRig rig_{clock, console, paths, registry};
    CUtilityLinkReporter reporter_{rig_.log};
    link::CSecurityModuleLink link_{link::LinkConfig{}, reporter_, clock, paths};
    UtilityOptions options;
    SecurityModuleIdentity identity;
    BillAcceptorIdentity billAcceptor_;
    std::function<void(int)> endProcess_ = [](int) { FAIL() << "the process was ended"; };
    FirmwareBuffer buffer_{};
    std::size_t count = 0;
};

TEST_F(ImageReaderTest, AGoodImageIsReadWhole) {
    options.commandGiven = true;
    const Bytes image = MakeImage(1000);
    EXPECT_EQ(Read(Place("SCv464.TSK", image)), kImageAccepted);
    EXPECT_EQ(count, 1000u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), buffer_.begin()));
    EXPECT_EQ(console.Output(),
              "Opening File c:\\FirmwareUpdate\\SCv464.TSK\nReading File\n1000 Bytes Read\n");
    EXPECT_EQ(Read("c:\\FirmwareUpdate\\SCv999.TSK"), kImageOpenFailed);
    EXPECT_TRUE(Contains(File(), "ERROR 01: Can not open File c:\\FirmwareUpdate\\SCv999.TSK\n"));
}

TEST_F(ImageReaderTest, AWrongInternalChecksumFailsUnlessOverriddenOrAccepted) {
    options.commandGiven = true;
    const Bytes image = MakeImage(300, false);
    const std::string path = Place("SCv464.TSK", image);
    EXPECT_EQ(Read(path), kImageInternalChecksumFailed);
    std::ostringstream mismatch;
    const unsigned stored = image[298] * 256u + image[299];
    mismatch << "ERROR 02: Internal Checksum do not Match! " << std::hex << ((stored - 1) & 0xFFFF)
             << " " << stored << "\n";
    EXPECT_TRUE(Contains(console.Output(), mismatch.str())) << console.Output();
    options.internalChecksumCheck = false;
    EXPECT_EQ(Read(path), kImageAccepted);
    EXPECT_TRUE(Contains(console.Output(), "Override of Checksum is Active!\n"));
    // Interactive: the operator's key decides; the end of input is a no.
    options.commandGiven = false;
    options.internalChecksumCheck = true;
    console.AddKeys("Yn");
    EXPECT_EQ(Read(path), kImageAccepted);
    EXPECT_EQ(Read(path), kImageInternalChecksumFailed);
    EXPECT_EQ(Read(path), kImageInternalChecksumFailed);
    EXPECT_TRUE(Contains(console.Output(), "Do you want to Upload File (y/n) :Y\n"));
    EXPECT_TRUE(Contains(console.Output(), "Do you want to Upload File (y/n) :n\n"));
}

TEST_F(ImageReaderTest, TheInputFileChecksumMustMatchTheSumOfAllBytes) {
    options.commandGiven = true;
    const Bytes image = MakeImage(500);
    const std::string path = Place("SCv464.TSK", image);
    options.inputFileChecksum = ByteSum(image);
    EXPECT_EQ(Read(path), kImageAccepted);
    EXPECT_TRUE(Contains(console.Output(), "Input File Checksum Match!\n"));
    options.inputFileChecksum = 0x1234;
    EXPECT_EQ(Read(path), kImageInputChecksumFailed);
    std::ostringstream failed;
    failed << "ERROR 02: Input File Checksum FAILED! 1234 " << std::hex << ByteSum(image) << "\n";
    EXPECT_TRUE(Contains(console.Output(), failed.str()));
}

TEST_F(ImageReaderTest, AutoUpdateSkipsTheImageTheModuleHolds) {
    options.commandGiven = true;
    options.autoUpdate = true;
    const Bytes image = MakeImage(400);
    const std::string path = Place("SCv464.TSK", image);
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X", image[398], image[399]);
    identity.checksumText = text;
    EXPECT_EQ(Read(path), kImageNoChange);
    EXPECT_TRUE(Contains(console.Output(), "No change in firmware, Do not upload!\n"));
    identity.checksumText = "0000";
    EXPECT_EQ(Read(path), kImageAccepted);
    // A module checksum never read matches nothing, not even an image whose sum is 0.
    identity.checksumText = "";
    EXPECT_EQ(Read(Place("zero.tsk", Bytes(10, 0))), kImageAccepted);
}

TEST_F(ImageReaderTest, OnlyAPlainFileIsReadAsAnImage) {
    options.commandGiven = true;
    std::filesystem::create_directories(root / "c/FirmwareUpdate/SCv464.dir");
    // A pipe with no writer: opening it must neither wait for one nor read it as empty.
    platform::ChildProcess mkfifo;
    ASSERT_EQ(
        mkfifo.Start("/usr/bin/mkfifo", {(root / "c/FirmwareUpdate/SCv464.fifo").string()}, {}),
        0u);
    platform::ProcessExit made;
    ASSERT_EQ(mkfifo.Wait(made), 0u);
    ASSERT_EQ(made.code, 0);
    const struct {
        const char* path;
        const char* reason;
    } refused[] = {
        {"c:\\FirmwareUpdate\\SCv464.dir",
         "c:\\FirmwareUpdate\\SCv464.dir is a folder, not a firmware image file"},
        {"c:\\FirmwareUpdate\\SCv464.fifo",
         "c:\\FirmwareUpdate\\SCv464.fifo is not a plain file (a pipe, a device or a socket)"},
        {"c:\\FirmwareUpdate\\SCv999.TSK", "The system cannot find the file specified."},
    };
    for (const auto& file : refused) {
        EXPECT_EQ(Read(file.path), kImageOpenFailed) << file.path;
        EXPECT_TRUE(Contains(console.Output(), std::string("ERROR 01: Can not open File ") +
                                                   file.path + "\n" + file.reason + "\n"))
            << console.Output();
    }
    EXPECT_FALSE(Contains(console.Output(), "Bytes Read"));
}

TEST_F(ImageReaderTest, FilesThatCannotBeAWholeImageAreRefused) {
    options.commandGiven = true;
    EXPECT_EQ(Read(Place("short.tsk", Bytes{0, 0})), kImageWrongSize);
    EXPECT_EQ(Read(Place("full.tsk", MakeImage(kFirmwareBufferSize))), kImageWrongSize);
    EXPECT_EQ(Read(Place("larger.tsk", Bytes(kFirmwareBufferSize + 100, 0))), kImageWrongSize);
    EXPECT_EQ(Read(Place("largest.tsk", MakeImage(kLargestImage))), kImageAccepted);
    EXPECT_EQ(count, kLargestImage);
    const std::string file = File();
    EXPECT_TRUE(Contains(file, "too short for a firmware image"));
    EXPECT_TRUE(Contains(file, "too large for the Security Module, 65536 Bytes or more"));
}

}  // namespace
}  // namespace lane::moxtel::test
