// End to end: `Moxtel -SecurityModuleUpload` against lanesim's module, which keeps the image it
// received: the shipped image byte for byte, and the runs that must not upload anything.
#include <filesystem>
#include <memory>
#include <sstream>

#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

constexpr const char* kImagePath = "c:\\kel lane\\firmwareupdate\\SCv464.TSK";
constexpr std::int64_t kUploadTimeoutMs = 120000;

std::string ShippedImage(const std::string& name) {
    return testing::ReadWholeFile(std::filesystem::path(LANE_FIRMWARE_IMAGE_DIR) / name);
}

// The last two bytes of an image, its internal checksum, as four hexadecimal digits.
std::string StoredChecksum(const std::string& image) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X",
                  static_cast<unsigned char>(image[image.size() - 2]),
                  static_cast<unsigned char>(image[image.size() - 1]));
    return text;
}

struct Packets {
    int starts = 0;
    int data = 0;
    std::string startBytes;  // the start packet's wire bytes as lanesim shows them
};

class MoxtelUploadTest : public LaneTest {
  protected:
    MoxtelUploadTest() { std::filesystem::create_directories(root / "c/KEL Lane/FirmwareUpdate"); }

    // Puts `bytes` where kImagePath and its siblings point.
    void PlaceImage(const std::string& name, const std::string& bytes) {
        std::ofstream(root / ("c/KEL Lane/FirmwareUpdate/" + name), std::ios::binary) << bytes;
    }

    // A named pipe with no writer in place of `path`.
    static void MakePipe(const std::filesystem::path& path) {
        std::filesystem::remove(path);
        platform::ChildProcess mkfifo;
        ASSERT_EQ(mkfifo.Start("/usr/bin/mkfifo", {path.string()}, {}), 0u);
        platform::ProcessExit made;
        ASSERT_EQ(mkfifo.Wait(made), 0u);
        ASSERT_EQ(made.code, 0);
    }

    // lanesim with `module` as the module's identity, keeping an uploaded image; it ends once
    // Moxtel has gone, after the upload when `expectUpload`.
    void StartModule(const std::string& module, bool expectUpload) {
        const auto scenario = root / "upload.scn";
        std::filesystem::remove(root / "record.txt");
        module_ = std::make_unique<platform::ChildProcess>();
        std::ofstream(scenario) << "module " << module << "\nmodule connect within 30000\n"
                                << (expectUpload ? "module expect-upload within 120000\n" : "");
        ASSERT_EQ(module_->Start(BinaryPath("sim/lanesim"),
                                 {"--record", (root / "record.txt").string(), "--upload-image",
                                  Uploaded().string(), scenario.string()},
                                 Environment()),
                  0u);
        ASSERT_TRUE(ReadUntil(*module_, "lanesim: listening on"));
    }

    // Runs Moxtel to its end and gives its exit code; lanesim ends with it.
    int RunMoxtel(const std::vector<std::string>& arguments) {
        platform::ChildProcess moxtel;
        EXPECT_EQ(StartMoxtel(moxtel, arguments), 0u);
        moxtel.CloseInput();
        std::string line;
        while (moxtel.ReadLine(line, kUploadTimeoutMs) == 0) {
            output += line;
            output += '\n';
        }
        output += line;
        const int code = ExitCode(moxtel);
        EXPECT_EQ(ExitCode(*module_), 0);
        return code;
    }

    std::filesystem::path Uploaded() const { return root / "uploaded.bin"; }

    Packets SystemPortPackets() {
        Packets packets;
        std::istringstream lines(RecordSummary());
        for (std::string line; std::getline(lines, line);) {
            if (line.empty() || line[0] != 'D') {
                continue;
            }
            const std::string bytes = line.substr(line.find(' ') + 1);
            if (bytes.rfind("00 F0 ", 0) == 0) {
                ++packets.starts;
                packets.startBytes = bytes;
            } else if (bytes.rfind("00 F1 ", 0) == 0) {
                ++packets.data;
            }
        }
        return packets;
    }

    std::unique_ptr<platform::ChildProcess> module_;
    std::string output;
};

TEST_F(MoxtelUploadTest, TheShippedImageReachesTheModuleByteForByte) {
    SetBoardType("USB_SECURITY_MODULE");
    const std::string image = ShippedImage("SCv464.TSK");
    ASSERT_EQ(image.size(), 49355u);
    PlaceImage("SCv464.TSK", image);
    StartModule("version 447 checksum 1234", true);
    EXPECT_EQ(RunMoxtel({"-SecurityModuleUpload", "-InputFile", kImagePath}), 0) << output;
    EXPECT_EQ(testing::ReadWholeFile(Uploaded()), image);
    const Packets packets = SystemPortPackets();
    EXPECT_EQ(packets.starts, 1);
    EXPECT_EQ(packets.startBytes.rfind("00 F0 05 C0 CB AA 55 A0 ", 0), 0u) << packets.startBytes;
    EXPECT_EQ(packets.data, (49355 + 59) / 60);
    const std::string record = testing::ReadWholeFile(root / "record.txt");
    EXPECT_NE(record.find("firmware upload started (49355 bytes)"), std::string::npos);
    EXPECT_NE(record.find("firmware upload complete (49355 bytes)"), std::string::npos);
    // Every image byte is a capture line, so the upload rolls the capture file over.
    const std::string capture = UtilityCapture();
    EXPECT_NE(capture.find("   File Upload Complete!\n"), std::string::npos);
    EXPECT_NE(capture.find("   Waiting for Security Module to Reset\n"), std::string::npos);
    EXPECT_NE(capture.find("   Exiting Program!\n"), std::string::npos);
    EXPECT_NE(testing::ReadWholeFile(root / "c/FirmwareUpdate/Utility02.Txt")
                  .find("*** Continued in next capture file ***"),
              std::string::npos);
    EXPECT_NE(output.find("Bytes Left 0     \r"), std::string::npos);
}

// A utility killed in the middle of its run (here while it waits for the module's late answers)
// has no chance to flush: its capture file holds every line written up to then all the same.
TEST_F(MoxtelUploadTest, AKilledRunKeepsItsCaptureLines) {
    SetBoardType("USB_SECURITY_MODULE");
    PlaceImage("SCv464.TSK", ShippedImage("SCv464.TSK"));
    StartModule("version 447\nmodule reply-delay 700", true);
    platform::ChildProcess moxtel;
    ASSERT_EQ(StartMoxtel(moxtel, {"-SecurityModuleUpload", "-InputFile", kImagePath}), 0u);
    ASSERT_TRUE(ReadUntil(moxtel, "Moxtel Version"));
    ASSERT_EQ(moxtel.Kill(), 0u);
    platform::ProcessExit exit;
    ASSERT_EQ(moxtel.Wait(exit), 0u);
    EXPECT_TRUE(exit.signalled);
    const std::string capture = UtilityCapture();
    EXPECT_NE(capture.find("   Argument 1 Value:-SecurityModuleUpload\n"), std::string::npos);
    EXPECT_NE(capture.find("   Initializing Security Module..\n"), std::string::npos) << capture;
    EXPECT_EQ(capture.find("*** Program closing ***"), std::string::npos);
}

TEST_F(MoxtelUploadTest, AnOldModuleTakesTheAlternateImage) {
    SetBoardType("USB_SECURITY_MODULE");
    const std::string image = ShippedImage("SCvA353.TSK");
    PlaceImage("SCv464.TSK", ShippedImage("SCv464.TSK"));
    PlaceImage("SCvA353.TSK", image);
    StartModule("version 346", true);
    EXPECT_EQ(RunMoxtel({"-SecurityModuleUpload", "-InputFile", kImagePath, "-AltInputFile",
                         "c:\\kel lane\\firmwareupdate\\SCvA353.TSK"}),
              0)
        << output;
    EXPECT_EQ(testing::ReadWholeFile(Uploaded()), image);
    EXPECT_NE(UtilityCapture().find("Using Alternate File c:\\kel lane\\firmwareupdate\\SCvA353"),
              std::string::npos);
}

TEST_F(MoxtelUploadTest, RunsThatMustNotUploadSendNothing) {
    std::string image = ShippedImage("SCv464.TSK");
    const struct {
        const char* board;
        std::string module;
        std::string file;  // the image's name, "bad" for a spoiled checksum
        std::vector<std::string> options;
        int exitCode;
        const char* message;
    } runs[] = {
        {"USB_SECURITY_MODULE",
         "version 447",
         "bad",
         {},
         200,
         "ERROR 02: Internal Checksum do not Match!"},
        {"USB_SECURITY_MODULE",
         "version 452",
         "SCv446.TSK",
         {},
         200,
         "ERROR 1E: Can not down level firmware to below 4.47"},
        {"USB_SECURITY_MODULE",
         "version 353",
         "SCv464.TSK",
         {},
         200,
         "ERROR 1E: Wrong version of firmware, Security Controller is 3.xx"},
        {"USB_SECURITY_MODULE",
         "version 447 checksum " + StoredChecksum(image),
         "SCv464.TSK",
         {"-AutoUpdate"},
         0,
         "No change in firmware, Do not upload!"},
        {"TMCB_SECURITY_MODULE",
         "version 447",
         "SCv464.TSK",
         {},
         200,
         "ERROR 1D: System is not USB!"},
        {"USB_SECURITY_MODULE",
         "version 447",
         "SCv464.TSK",
         {"-InputFileChecksum", "ZZZ"},
         200,
         "ERROR 03: Input File Checksum \"ZZZ\" is not a hexadecimal number!"},
        // A pipe in place of the image: refused at once, never waited on.
        {"USB_SECURITY_MODULE",
         "version 447",
         "fifo",
         {},
         200,
         "SCv464.TSK is not a plain file (a pipe, a device or a socket)"},
    };
    for (const auto& run : runs) {
        SetBoardType(run.board);
        std::string bytes = image;
        std::string name = run.file;
        if (name == "bad") {
            bytes.back() = static_cast<char>(bytes.back() ^ 0x01);
            name = "SCv464.TSK";
        }
        if (name == "fifo") {
            name = "SCv464.TSK";
            MakePipe(root / "c/KEL Lane/FirmwareUpdate" / name);
        } else {
            PlaceImage(name, bytes);
        }
        StartModule(run.module, false);
        std::vector<std::string> arguments{"-SecurityModuleUpload", "-InputFile",
                                           "c:\\kel lane\\firmwareupdate\\" + name};
        arguments.insert(arguments.end(), run.options.begin(), run.options.end());
        output.clear();
        EXPECT_EQ(RunMoxtel(arguments), run.exitCode) << run.message << "\n" << output;
        EXPECT_NE(output.find(run.message), std::string::npos) << run.message << "\n" << output;
        const Packets packets = SystemPortPackets();
        EXPECT_EQ(packets.starts + packets.data, 0) << run.message;
        EXPECT_FALSE(std::filesystem::exists(Uploaded())) << run.message;
        if (run.exitCode != 0) {
            EXPECT_NE(UtilityCapture().find("ERROR 14, Upload Failed."), std::string::npos);
        }
    }
}

// The 32-bit sum of every byte of an image, as -InputFileChecksum takes it.
std::string InputSum(const std::string& image) {
    std::uint32_t sum = 0;
    for (const char byte : image) {
        sum += static_cast<unsigned char>(byte);
    }
    char text[16];
    std::snprintf(text, sizeof text, "%x", sum);
    return text;
}

TEST_F(MoxtelUploadTest, RunOptionsDecideWhichImagesGoAndWhichAreChecked) {
    SetBoardType("USB_SECURITY_MODULE");
    const std::string image = ShippedImage("SCv464.TSK");
    std::string spoiled = image;
    spoiled.back() = static_cast<char>(spoiled.back() ^ 0x01);
    const std::string folder = "c:\\kel lane\\firmwareupdate\\";
    const struct {
        std::string module;
        std::string bytes;  // what the input file holds
        std::vector<std::string> options;
        int exitCode;
        std::string message;
    } runs[] = {
        {"version 447",
         spoiled,
         {"-NoInternalFileChecksumCheck"},
         0,
         "Override of Checksum is Active!"},
        {"version 447",
         image,
         {"-InputFileChecksum", InputSum(image)},
         0,
         "Input File Checksum Match!"},
        {"version 447",
         image,
         {"-InputFileChecksum", "1234"},
         200,
         "ERROR 02: Input File Checksum FAILED! 1234 " + InputSum(image)},
        // A model whose third character is A takes the alternate file on any version.
        {"version 447 model 75A",
         image,
         {"-AltInputFile", folder + "SCvA464.TSK"},
         0,
         "Using Alternate File c:\\kel lane\\firmwareupdate\\SCvA464.TSK"},
    };
    for (const auto& run : runs) {
        const bool alternate = run.module.find("75A") != std::string::npos;
        PlaceImage("SCv464.TSK", alternate ? spoiled : run.bytes);
        PlaceImage("SCvA464.TSK", run.bytes);
        std::filesystem::remove(Uploaded());
        StartModule(run.module, run.exitCode == 0);
        std::vector<std::string> arguments{"-SecurityModuleUpload", "-InputFile",
                                           folder + "SCv464.TSK"};
        arguments.insert(arguments.end(), run.options.begin(), run.options.end());
        output.clear();
        EXPECT_EQ(RunMoxtel(arguments), run.exitCode) << run.message << "\n" << output;
        EXPECT_NE(output.find(run.message), std::string::npos) << run.message << "\n" << output;
        if (run.exitCode == 0) {
            EXPECT_EQ(testing::ReadWholeFile(Uploaded()), run.bytes) << run.message;
        } else {
            EXPECT_FALSE(std::filesystem::exists(Uploaded())) << run.message;
        }
    }
}

}  // namespace
}  // namespace lane::e2e
