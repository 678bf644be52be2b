// End to end: `Moxtel -BillAcceptorUpload` against lanesim's bill acceptor, which keeps the
// firmware it took: every block on the wire as the record shows it, the resume after each fault,
// and a second run that finds the bill acceptor stuck in its upload mode.
#include <filesystem>
#include <memory>
#include <sstream>

#include "sim/BillAcceptor.h"
#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

constexpr std::size_t kFileBytes = 2000;  // blocks 0 to 62, the last one with 16 file bytes
constexpr const char* kImagePath = "c:\\FirmwareUpdate\\LE3900.bin";
constexpr std::int64_t kRunTimeoutMs = 120000;
// The utility's waits run ten times faster: the 50-second restart takes 5 seconds, and a reply
// still has 100 ms where the module's replies are waited for about a second.
constexpr int kTimeScale = 10;

std::string FileBytes() {
    std::string bytes(kFileBytes, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((i * 31 + i / 32) & 0xFF);
    }
    return bytes;
}

// What the bill acceptor holds after the upload: whole blocks, the end-of-file byte 0xFF after
// the file's last byte and zeros to the end of its block.
std::vector<std::uint8_t> Firmware() {
    const std::string file = FileBytes();
    std::vector<std::uint8_t> image(file.begin(), file.end());
    image.push_back(0xFF);
    image.resize((kFileBytes + 31) / 32 * 32, 0);
    return image;
}

// Block `block` as the utility writes it on the USB wire, in the record's hex.
std::string BlockWire(unsigned block) {
    const std::vector<std::uint8_t> image = Firmware();
    std::vector<std::uint8_t> wire{5,
                                   6,
                                   36,
                                   'B',
                                   '8',
                                   static_cast<std::uint8_t>(block >> 8),
                                   static_cast<std::uint8_t>(block & 0xFF)};
    wire.insert(wire.end(), image.begin() + block * 32, image.begin() + block * 32 + 32);
    unsigned sum = 0;
    for (const std::uint8_t byte : wire) {
        sum += byte;
    }
    wire.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    std::string text;
    char hex[4];
    for (const std::uint8_t byte : wire) {
        std::snprintf(hex, sizeof hex, "%02X ", byte);
        text += hex;
    }
    text.pop_back();
    return text;
}

std::vector<unsigned> Range(unsigned first, unsigned last) {
    std::vector<unsigned> blocks;
    for (unsigned block = first; block <= last; ++block) {
        blocks.push_back(block);
    }
    return blocks;
}

class MoxtelBillAcceptorTest : public LaneTest {
  protected:
    MoxtelBillAcceptorTest() {
        SetBoardType("USB_SECURITY_MODULE");
        std::filesystem::create_directories(root / "c/FirmwareUpdate");
        std::ofstream(root / "c/FirmwareUpdate/LE3900.bin", std::ios::binary) << FileBytes();
    }

    void StartBillAcceptor(const std::string& faults) {
        const auto scenario = root / "acceptor.scn";
        std::ofstream(scenario) << "bill-acceptor image-size " << kFileBytes << "\n"
                                << faults << "module connect within 30000\n"
                                << "module expect-upload within 120000\n";
        ASSERT_EQ(lanesim.Start(BinaryPath("sim/lanesim"),
                                {"--record", (root / "record.txt").string(),
                                 "--bill-acceptor-image", Received().string(), scenario.string()},
                                Environment()),
                  0u);
        ASSERT_TRUE(ReadUntil(lanesim, "lanesim: listening on"));
    }

    // Moxtel with its waits `scale` times faster than real time.
    void StartUpload(platform::ChildProcess& moxtel, int scale) {
        auto environment = Environment();
        environment.emplace_back("LANE_TEST_TIME_SCALE", std::to_string(scale));
        char crc[8];
        std::snprintf(crc, sizeof crc, "%X", sim::BillAcceptorCrc(Firmware()));
        ASSERT_EQ(
            moxtel.StartWithInput(BinaryPath("Moxtel/Moxtel"),
                                  {"-BillAcceptorUpload", "-LE3900", kImagePath, "-UpLoadChecksum",
                                   crc, "-CreateSuccFile", "c:\\FirmwareUpdate\\BillAcceptor.ok"},
                                  environment, true),
            0u);
        moxtel.CloseInput();
    }

    int Finish(platform::ChildProcess& moxtel, std::string& output) {
        std::string line;
        while (moxtel.ReadLine(line, kRunTimeoutMs) == 0) {
            output += line + "\n";
        }
        output += line;
        return ExitCode(moxtel);
    }

    std::filesystem::path Received() const { return root / "acceptor.bin"; }

    std::vector<std::uint8_t> ReceivedImage() const {
        const std::string bytes = testing::ReadWholeFile(Received());
        return {bytes.begin(), bytes.end()};
    }

    // The blocks written to the bill acceptor, in order; each must be the image's block byte
    // for byte.
    std::vector<unsigned> BlocksInRecord() {
        std::vector<unsigned> blocks;
        std::istringstream lines(RecordSummary());
        for (std::string line; std::getline(lines, line);) {
            const std::size_t space = line.find(' ');
            if (line.empty() || line[0] != 'D' ||
                line.compare(space + 1, 14, "05 06 24 42 38") != 0) {
                continue;
            }
            const unsigned block =
                static_cast<unsigned>(std::stoul(line.substr(space + 16, 2), nullptr, 16) << 8 |
                                      std::stoul(line.substr(space + 19, 2), nullptr, 16));
            EXPECT_EQ(line.substr(space + 1), BlockWire(block)) << block;
            blocks.push_back(block);
        }
        return blocks;
    }
};

TEST_F(MoxtelBillAcceptorTest, EveryFaultIsOvercomeAndTheFirmwareArrivesWhole) {
    // Restarts at the first, a middle and the last block; a block missed; a reply lost.
    StartBillAcceptor(
        "bill-acceptor restart-at 0\nbill-acceptor restart-at 31\nbill-acceptor restart-at 62\n"
        "bill-acceptor miss-block 10\nbill-acceptor lose-reply 20\n");
    platform::ChildProcess moxtel;
    StartUpload(moxtel, kTimeScale);
    std::string output;
    EXPECT_EQ(Finish(moxtel, output), 0) << output;
    EXPECT_EQ(ExitCode(lanesim), 0);
    EXPECT_EQ(ReceivedImage(), Firmware());
    std::vector<unsigned> expected{0};
    for (const auto& run :
         {Range(0, 10), Range(9, 20), Range(21, 31), Range(31, 62), Range(62, 62)}) {
        expected.insert(expected.end(), run.begin(), run.end());
    }
    EXPECT_EQ(BlocksInRecord(), expected);
    const std::string record = testing::ReadWholeFile(root / "record.txt");
    for (const char* note :
         {"bill acceptor block 0 lost: the bill acceptor restarted",
          "bill acceptor block 10 missed", "bill acceptor block 20 taken, its reply lost",
          "bill acceptor upload ended at block 30 of 63: still in upload mode",
          "bill acceptor upload complete (63 blocks, 2016 bytes, CRC "}) {
        EXPECT_NE(record.find(note), std::string::npos) << note;
    }
    for (const char* shown : {"Block Number Adjusted", "ERROR 20: Time-out For RX Data Packet.",
                              "Bill Acceptor Checksum PASSED!", "BILL ACCEPTOR UPLOAD COMPLETE!"}) {
        EXPECT_NE(output.find(shown), std::string::npos) << shown;
    }
    EXPECT_TRUE(std::filesystem::exists(root / "c/FirmwareUpdate/BillAcceptor.ok"));
    const std::string status = testing::ReadWholeFile(root / "c/FirmwareUpdate/Utility00.txt");
    EXPECT_EQ(status.rfind("LE3900\nCCU - 0\nSM  - 447\nPrev BA Version: 120\n", 0), 0u) << status;
    EXPECT_NE(status.find("Upload Complete\nCurrent Version: 130\nLong Version: 124-457\n"),
              std::string::npos)
        << status;
}

// The lane goes down in the middle of an upload: the bill acceptor stays in its upload mode and
// can no longer say its model. The next run takes the model from the status file the first one
// wrote, and resumes from the block the bill acceptor holds.
TEST_F(MoxtelBillAcceptorTest, ARunKilledMidUploadIsResumedByTheNext) {
    StartBillAcceptor("bill-acceptor restart-at 40\nbill-acceptor restart-at 41\n");
    platform::ChildProcess first;
    StartUpload(first, 5);
    ASSERT_TRUE(ReadUntil(first, "ERROR 20: Time-out For RX Data Packet.", nullptr, kRunTimeoutMs));
    ASSERT_EQ(first.Kill(), 0u);
    platform::ProcessExit killed;
    ASSERT_EQ(first.Wait(killed), 0u);
    EXPECT_TRUE(killed.signalled);

    platform::ChildProcess second;
    StartUpload(second, kTimeScale);
    std::string output;
    EXPECT_EQ(Finish(second, output), 0) << output;
    EXPECT_EQ(ExitCode(lanesim), 0);
    EXPECT_NE(output.find("Request Model\n"), std::string::npos) << output;
    EXPECT_NE(output.find("Read data :LE3900"), std::string::npos) << output;
    // It went on from where the bill acceptor stood: block 0 was not sent again.
    EXPECT_EQ(output.find("Bytes Left 2001 "), std::string::npos);
    EXPECT_NE(output.find("Bill Acceptor Checksum PASSED!"), std::string::npos);
    EXPECT_EQ(ReceivedImage(), Firmware());
}

}  // namespace
}  // namespace lane::e2e
