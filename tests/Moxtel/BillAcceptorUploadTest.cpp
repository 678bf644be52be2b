// The bill acceptor upload against the link rig, the test playing the bill acceptor behind
// port 5: the blocks on the wire, the resume the bill acceptor asks for, the choice of the image,
// the CRC check after the restart, and the status and success files.
#include "Moxtel/Command_BillAcceptorUpload.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "Moxtel/BillAcceptorSender.h"
#include "Moxtel/BillAcceptorStatusFile.h"
#include "Moxtel/Command_BillAcceptorStatus.h"
#include "tests/Moxtel/ModuleLinkRig.h"

namespace lane::moxtel::test {
namespace {

constexpr const char* kImage = "c:\\FirmwareUpdate\\BA.bin";
constexpr unsigned kNewCrc = 0x1A2B;

// What the played bill acceptor does with one block.
enum class BlockFault { LoseReply, Miss, AnswerOther };

// File bytes that differ from block to block.
std::string FileBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 13 + i / 32) & 0xFF);
    }
    return bytes;
}

std::string Nibbles(unsigned value) {
    std::string digits;
    for (int shift = 12; shift >= 0; shift -= 4) {
        digits.push_back(static_cast<char>((value >> shift) & 0x0F));
    }
    return digits;
}

class BillAcceptorUploadTest : public ModuleLinkRig {
  protected:
    BillAcceptorUploadTest() {
        identity.version = 447;
        options.commandGiven = true;
        options.commandName = kCommandBillAcceptorUpload;
        options.billAcceptorImageLE3900 = kImage;
        respond = [this](const Bytes& written) { Play(written); };
    }

    void PlaceImage(const std::string& bytes) {
        std::ofstream(root / "c/FirmwareUpdate/BA.bin", std::ios::binary) << bytes;
    }
    std::string StatusFile() const { return ReadFile(root / "c/FirmwareUpdate/Utility00.txt"); }

    int Upload() {
        int result = -1;
        Drive([&] { result = Command_BillAcceptorUpload(run); });
        return result;
    }

    // The block numbers of the data packets written (from write `from` on), in order.
    std::vector<unsigned> BlocksSent(std::size_t from = 0) const {
        std::vector<unsigned> blocks;
        const std::vector<Bytes> written = Written();
        for (std::size_t i = from; i < written.size(); ++i) {
            const Bytes& w = written[i];
            if (w.size() == 40 && w[0] == 5 && w[3] == 'B' && w[4] == '8') {
                blocks.push_back(static_cast<unsigned>(w[5] << 8 | w[6]));
            }
        }
        return blocks;
    }
    // The bill acceptor commands written ('7', '9', ...), in order.
    std::string Commands(std::size_t from = 0) const {
        std::string commands;
        const std::vector<Bytes> written = Written();
        for (std::size_t i = from; i < written.size(); ++i) {
            const Bytes& w = written[i];
            if (w.size() == 6 && w[0] == 5 && w[3] == 'B') {
                commands.push_back(static_cast<char>(w[4]));
            }
        }
        return commands;
    }

    // The bill acceptor: its replies on port 5, each after the next sequence byte.
    void Reply(const std::string& body) {
        Queue(PortData(5, std::string(1, static_cast<char>(++sequence)) + body));
    }
    void ReplyUploadStatus() {
        const unsigned held = lastBlock < 0 ? kNoBlockYet : static_cast<unsigned>(lastBlock);
        Reply("b1" + Nibbles(held) + std::string("\x51\x00", 2));
    }
    void Play(const Bytes& w) {
        if (w.size() < 6 || w[0] != 5 || w[1] != 6 || (w[3] == 'S' && w[4] == '0')) {
            return;
        }
        const char letter = static_cast<char>(w[3]);
        const char code = static_cast<char>(w[4]);
        if (letter == 'S') {
            Reply(std::string("s") + code);
            return;
        }
        switch (code) {
            case '1':
                if (uploadMode) {
                    ReplyUploadStatus();
                } else {
                    Reply(std::string("b1\x01\x00\x28\x00\x40\x00", 8));
                }
                return;
            case 'B':
            case 'C':
            case 'D':
            case 'E':
                if (!uploadMode) {
                    Reply(std::string("b") + code + (restarted ? "NEW" : "OLD"));
                }
                return;
            case '4':
                if (!uploadMode) {
                    Reply("b1" + Nibbles(restarted ? kNewCrc : 0x0BAD) + "\x60\x1F" +
                          static_cast<char>(restarted ? 13 : 12));
                }
                return;
            case 'A':
                Reply("bAUSD");
                return;
            case 'F':
                Reply(std::string("b1\x00\x00\x00\x00\x40\x00", 8));
                return;
            case '7':
                if (!uploadMode) {
                    uploadMode = true;
                    ReplyUploadStatus();
                }
                return;
            case '8':
                TakeBlock(static_cast<unsigned>(w[5] << 8 | w[6]));
                return;
            case '9':
                if (uploadMode && lastBlock + 1 >= static_cast<int>(blocksInImage)) {
                    uploadMode = false;
                    restarted = true;
                }
                return;
            default:
                return;
        }
    }
    void TakeBlock(unsigned block) {
        if (silentBlocks) {
            return;
        }
        const auto fault = faults.find(block);
        if (fault != faults.end()) {
            const BlockFault kind = fault->second;
            faults.erase(fault);
            if (kind == BlockFault::LoseReply) {
                lastBlock = static_cast<int>(block);
                return;
            }
            // Not taken: the reply names the block held, or another one.
            Reply("b1" + Nibbles(kind == BlockFault::Miss ? block - 1 : block + 5) + "\x50" +
                  std::string(1, '\0'));
            return;
        }
        if (static_cast<int>(block) <= lastBlock + 1) {
            lastBlock = static_cast<int>(block);
        }
        ReplyUploadStatus();
    }

    std::uint8_t sequence = 0;
    bool uploadMode = false;
    bool restarted = false;
    int lastBlock = -1;
    std::size_t blocksInImage = 0;
    std::map<unsigned, BlockFault> faults;
    bool silentBlocks = false;
};

TEST_F(BillAcceptorUploadTest, ASixtyFourByteFileGoesAsTwoBlocksAndTheCrcIsChecked) {
    const std::string file = FileBytes(64);
    PlaceImage(file);
    blocksInImage = 2;
    options.uploadChecksum = kNewCrc;
    options.successFile = "c:\\FirmwareUpdate\\BAOK.txt";
    EXPECT_EQ(Upload(), 0) << console.Output();
    EXPECT_EQ(BlocksSent(), (std::vector<unsigned>{0, 1}));
    EXPECT_EQ(Commands(),
              "1BCDE4A7"
              "9BCDE4A");
    // Block 1 carries the file's last 32 bytes exactly; the end-of-file byte goes nowhere.
    const std::vector<Bytes> written = Written();
    const auto last = std::find_if(written.begin(), written.end(),
                                   [](const Bytes& w) { return w.size() == 40 && w[6] == 1; });
    ASSERT_NE(last, written.end());
    EXPECT_EQ(std::string(last->begin() + 7, last->end() - 1), file.substr(32));
    std::uint32_t sum = 255;
    for (const char c : file) {
        sum += static_cast<unsigned char>(c);
    }
    const std::string shown = console.Output();
    EXPECT_TRUE(Contains(shown, "65 Bytes Read, File.\n"));
    char checksum[32];
    std::snprintf(checksum, sizeof checksum, "File Checksum: %x\n", sum);
    EXPECT_TRUE(Contains(CaptureNow(), checksum));
    EXPECT_TRUE(Contains(shown, "Bytes Left 33     \r"));
    EXPECT_TRUE(Contains(shown, "Please Wait" + std::string(50, '.') + "\n"));
    EXPECT_TRUE(
        Contains(shown, "Bill Acceptor Checksum PASSED!\nBILL ACCEPTOR UPLOAD COMPLETE!\n"));
    EXPECT_TRUE(std::filesystem::exists(root / "c/FirmwareUpdate/BAOK.txt"));
    // The date and time of the write, after the 50 seconds of the restart.
    EXPECT_EQ(StatusFile(),
              "LE3900\nCCU - 0\nSM  - 447\nPrev BA Version: 120\nBA ISO Code: USD\n"
              "Load file Name: c:\\FirmwareUpdate\\BA.bin\nBAT File Update\nUpload Complete\n"
              "Current Version: 130\nLong Version: NEW-NEW\n03/04/25\n10:21:22\nEND\n");
}

TEST_F(BillAcceptorUploadTest, TheBillAcceptorDictatesWhereTheUploadGoesOn) {
    const std::string file = FileBytes(9400);  // blocks 0 to 293
    PlaceImage(file);
    blocksInImage = 294;
    const struct {
        const char* what;
        int heldBefore;  // -1: not in upload mode
        std::map<unsigned, BlockFault> faults;
        std::vector<unsigned> firstBlocks;  // the blocks sent first, in order
        const char* message;
    } cases[] = {
        // Stuck in upload mode with block 0x0123: the model comes from the status file.
        {"resume", 0x0123, {}, {0x0124, 0x0125}, "Read data :le3900"},
        // The reply names the block before the one sent: that one again, then this one.
        {"one behind", -1, {{1, BlockFault::Miss}}, {0, 1, 0, 1, 2}, "Block Number Adjusted"},
        // A lost reply fails the try; the status then says where the next one starts.
        {"lost reply",
         -1,
         {{1, BlockFault::LoseReply}},
         {0, 1, 2, 3},
         "ERROR 20: Time-out For RX Data Packet."},
        // Any other number fails the try at that block, which is sent again.
        {"other block",
         -1,
         {{2, BlockFault::AnswerOther}},
         {0, 1, 2, 2, 3},
         "ERROR 2A: Block Number Mismatch 2 7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::size_t from = Written().size();
        uploadMode = c.heldBefore >= 0;
        lastBlock = c.heldBefore;
        restarted = false;
        faults = c.faults;
        std::ofstream(root / "c/FirmwareUpdate/Utility00.txt") << "le3900\r\nCCU - 0\n";
        EXPECT_EQ(Upload(), 0) << console.Output();
        const std::vector<unsigned> sent = BlocksSent(from);
        ASSERT_GE(sent.size(), c.firstBlocks.size());
        EXPECT_EQ(std::vector<unsigned>(sent.begin(), sent.begin() + c.firstBlocks.size()),
                  c.firstBlocks);
        EXPECT_EQ(sent.back(), 293u);
        EXPECT_TRUE(restarted);
        EXPECT_TRUE(Contains(console.Output() + CaptureNow(), c.message));
    }
}

TEST_F(BillAcceptorUploadTest, RunsThatCannotOrMustNotUploadSayWhy) {
    const struct {
        const char* message;
        std::function<void()> setUp;
        bool succeeds;
        bool startsUpload;
    } cases[] = {
        {"Incorrect Security Module Version must be >= 3.21", [this] { identity.version = 320; },
         false, false},
        {"ERROR 01: File c:\\FirmwareUpdate\\BA.bin is too large for the Bill Acceptor, 524288 "
         "Bytes or more",
         [this] { PlaceImage(std::string(524288, 'x')); }, false, false},
        {"ERROR 02: Input File Checksum Failed! 1234 ",
         [this] { options.inputFileChecksum = 0x1234; }, false, false},
        {"ERROR 03: Input File Checksum \"12G\" is not a hexadecimal number!",
         [this] {
             options.inputFileChecksumValid = false;
             options.inputFileChecksumText = "12G";
         },
         false, false},
        {"ERROR 01: Invalid File name.", [this] { options.commandGiven = false; }, true, false},
        {"BILL ACCEPTOR UPLOAD FAILED!", [this] { options.uploadChecksum = 0x1234; }, false, true},
        {"ERROR 22: Bill Acceptor Upload Failed After 10 Tries.", [this] { silentBlocks = true; },
         false, true},
        // Last: the process ends here, and the link is shut down with it.
        {"Upload does not match device, done.", [this] { options.billAcceptorImageLE3900.clear(); },
         true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        PlaceImage(FileBytes(100));
        blocksInImage = 4;
        options = UtilityOptions{};
        options.commandGiven = true;
        options.billAcceptorImageLE3900 = kImage;
        identity.version = 447;
        uploadMode = false;
        restarted = false;
        lastBlock = -1;
        silentBlocks = false;
        c.setUp();
        const std::size_t from = Written().size();
        const int result = Upload();
        EXPECT_EQ(result == 0, c.succeeds) << result;
        EXPECT_TRUE(Contains(console.Output(), c.message)) << console.Output();
        EXPECT_EQ(Commands(from).find('7') != std::string::npos, c.startsUpload) << Commands(from);
    }
    // Only the run without an image for the model ended the process.
    EXPECT_EQ(processEnds, (std::vector<int>{0}));
}

TEST_F(BillAcceptorUploadTest, TheStatusScreenShowsTheStateAndSendsTheKeysCommands) {
    console.AddKeys("rcedsx");
    int result = -1;
    Drive([&] { result = BillAcceptorStatusScreen(run); });
    EXPECT_EQ(result, 0);
    const std::string shown = console.Output();
    EXPECT_TRUE(Contains(shown,
                         "Bill Acceptor Status Bytes: 01.00.28.00.40\nBill Acceptor Online\n"
                         "Bill Acceptor Waiting for bill\nBill Value Collected: 20\n"));
    EXPECT_TRUE(Contains(shown,
                         "X - Exit, R - Reject Bill, C - Calibrate, S - Status, E - Enable, "
                         "D - Disable\n"));
    // Reject, calibrate, enable, disable, each followed by the status again.
    std::vector<Bytes> commands;
    for (const Bytes& w : Written()) {
        if (w.size() >= 6 && w[0] == 5 && w[3] == 'B') {
            commands.emplace_back(w.begin() + 3, w.end() - 1);
        }
    }
    EXPECT_EQ(commands, (std::vector<Bytes>{{'B', '1'},
                                            {'B', '3', 1},
                                            {'B', '1'},
                                            {'B', '6'},
                                            {'B', '1'},
                                            {'B', '2', 1},
                                            {'B', '1'},
                                            {'B', '2', 0},
                                            {'B', '1'},
                                            {'B', '1'}}));

    // The bezel: from module version 4.64 on, and in upload mode the screen says so.
    identity.version = 463;
    const std::size_t before = Written().size();
    Drive([&] { result = SetBezelTypeStandard(run); });
    EXPECT_EQ(Written().size(), before);
    identity.version = 464;
    Drive([&] { result = SetBezelTypeStandard(run); });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(Contains(console.Output(),
                         "Setting Bezel type to standard\nBezel type is set to standard\n"));
    uploadMode = true;
    lastBlock = 0x0123;
    Drive([&] { result = BillAcceptorStatusScreen(run); });
    EXPECT_TRUE(
        Contains(console.Output(), "Bill Acceptor is in Upload mode!\nStarting Block = 292\n"));
}

TEST(BillAcceptorBlockPacketTest, TheBoardTakesBlockNumberAndBytesAsMarkedDigits) {
    BillAcceptorImage image;
    LoadBillAcceptorImage(std::string(40, '\x5A') + "\x01\xF2", image);
    EXPECT_EQ(image.count, 43u);
    const link::LinkPacket usb = BillAcceptorBlockPacket(image, 1, true);
    EXPECT_EQ(usb.DL, 36);
    EXPECT_EQ(std::string(usb.data.begin(), usb.data.begin() + 14),
              std::string("B8\x00\x01\x5A\x5A\x5A\x5A\x5A\x5A\x5A\x5A\x01\xF2", 14));
    EXPECT_EQ(usb.data[14], 0xFF);  // the end-of-file byte, then the buffer's zeros
    EXPECT_EQ(usb.data[15], 0x00);
    const link::LinkPacket board = BillAcceptorBlockPacket(image, 0, false);
    EXPECT_EQ(board.DL, 70);
    EXPECT_EQ(std::string(board.data.begin(), board.data.begin() + 8),
              "B8\x80\x80\x80\x80\x85\x8A");
    EXPECT_EQ(board.data[69], 0x8A);
    const link::LinkPacket far = BillAcceptorBlockPacket(image, 0x1A3, false);
    EXPECT_EQ(std::string(far.data.begin() + 2, far.data.begin() + 6), "\x80\x81\x8A\x83");
}

}  // namespace
}  // namespace lane::moxtel::test
