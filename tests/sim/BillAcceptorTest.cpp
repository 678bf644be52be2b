// lanesim's bill acceptor: its answers, an upload taken block by block with its faults, the
// resume after a restart at the first, a middle and the last block, and its scenario lines.
#include "sim/BillAcceptor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/Scenario.h"

namespace lane::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kBlocks = 6;

Bytes Request(char code, const Bytes& more = {}) {
    Bytes data{'B', static_cast<std::uint8_t>(code)};
    data.insert(data.end(), more.begin(), more.end());
    return data;
}

Bytes Firmware() {
    Bytes image(kBlocks * kBillAcceptorBlockBytes);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    return image;
}

// Block `block` of the firmware in the USB module's layout.
Bytes BlockRequest(unsigned block) {
    const Bytes image = Firmware();
    Bytes more{static_cast<std::uint8_t>(block >> 8), static_cast<std::uint8_t>(block & 0xFF)};
    const auto first = image.begin() + static_cast<std::ptrdiff_t>(block * kBillAcceptorBlockBytes);
    more.insert(more.end(), first, first + kBillAcceptorBlockBytes);
    return Request('8', more);
}

// An upload status reply naming `block`.
std::string Holding(unsigned block) {
    return std::string("b1") + static_cast<char>(block >> 12 & 0xF) +
           static_cast<char>(block >> 8 & 0xF) + static_cast<char>(block >> 4 & 0xF) +
           static_cast<char>(block & 0xF) + "\x50" + std::string(1, '\0');
}

BillAcceptorSetup WithImageSize() {
    BillAcceptorSetup setup;
    setup.imageBytes = kBlocks * kBillAcceptorBlockBytes - 5;
    return setup;
}

TEST(BillAcceptorTest, AnswersItsRequestsAndTakesAnUploadWithItsFaults) {
    BillAcceptorSetup setup = WithImageSize();
    setup.faults[1] = {BillBlockFault::Miss, 0};
    setup.faults[2] = {BillBlockFault::LoseReply, 0};
    setup.faults[3] = {BillBlockFault::AnswerOther, 9};
    BillAcceptor acceptor(setup);
    EXPECT_EQ(acceptor.Take(Request('1')).replies,
              std::vector<std::string>{std::string("b1\0\0\0\0\x40\0", 8)});
    EXPECT_EQ(acceptor.Take(Request('4')).replies,
              std::vector<std::string>{std::string("b1\x00\x0B\x0A\x0D\x60\x1F\x0C", 9)});
    EXPECT_EQ(acceptor.Take(Request('D')).replies, std::vector<std::string>{"bD123"});
    EXPECT_EQ(acceptor.Take(Request('A')).replies, std::vector<std::string>{"bAUSD"});
    // A block before the upload mode is not taken.
    EXPECT_TRUE(acceptor.Take(BlockRequest(0)).replies.empty());

    EXPECT_EQ(acceptor.Take(Request('7')).replies, std::vector<std::string>{Holding(0xFFFF)});
    EXPECT_TRUE(acceptor.Take(Request('7')).replies.empty());  // already there
    EXPECT_TRUE(acceptor.Take(Request('4')).replies.empty());  // the loader has no version
    const struct {
        unsigned block;
        std::vector<std::string> replies;
        const char* note;
    } steps[] = {
        {0, {Holding(0)}, nullptr},
        {1, {Holding(0)}, "bill acceptor block 1 missed (fault)"},
        {1, {Holding(1)}, nullptr},
        {2, {}, "bill acceptor block 2 taken, its reply lost (fault)"},
        {3, {Holding(9)}, "bill acceptor block 3 answered as block 9 (fault)"},
        {5, {Holding(2)}, "bill acceptor block 5 out of order (holding 2)"},
        {3, {Holding(3)}, nullptr},
    };
    for (const auto& step : steps) {
        const BillAcceptorAnswer answer = acceptor.Take(BlockRequest(step.block));
        EXPECT_EQ(answer.replies, step.replies) << step.block;
        EXPECT_EQ(answer.notes.empty(), step.note == nullptr) << step.block;
        if (step.note != nullptr && !answer.notes.empty()) {
            EXPECT_EQ(answer.notes[0], step.note);
        }
    }
    // Ended early, it stays in upload mode and says where it stands.
    EXPECT_EQ(acceptor.Take(Request('9')).notes,
              std::vector<std::string>{
                  "bill acceptor upload ended at block 3 of 6: still in upload mode"});
    EXPECT_EQ(acceptor.Take(Request('1')).replies, std::vector<std::string>{Holding(3)});
    Bytes image;
    EXPECT_FALSE(acceptor.TakeCompleted(image));
    acceptor.Take(BlockRequest(4));
    acceptor.Take(BlockRequest(5));
    const BillAcceptorAnswer end = acceptor.Take(Request('9'));
    ASSERT_EQ(end.notes.size(), 1u);
    char crc[8];
    std::snprintf(crc, sizeof crc, "%04X", BillAcceptorCrc(Firmware()));
    EXPECT_EQ(end.notes[0], "bill acceptor upload complete (6 blocks, 192 bytes, CRC " +
                                std::string(crc) + "), restarted");
    ASSERT_TRUE(acceptor.TakeCompleted(image));
    EXPECT_EQ(image, Firmware());
    EXPECT_FALSE(acceptor.TakeCompleted(image));
    // Restarted into the new firmware: version 13, the image's CRC.
    const std::string version = acceptor.Take(Request('4')).replies.at(0);
    EXPECT_EQ(version.substr(6), "\x60\x1F\x0D");
    EXPECT_EQ(
        static_cast<unsigned>(version[2] << 12 | version[3] << 8 | version[4] << 4 | version[5]),
        BillAcceptorCrc(Firmware()));
}

// A restart at the first, a middle and the last block: the block is lost, the bill acceptor
// stays in upload mode holding the blocks before it, and an upload that resumes from there ends
// with the whole firmware.
TEST(BillAcceptorTest, AnUploadInterruptedAtAnyBlockResumesToTheWholeImage) {
    for (const unsigned at : {0u, 2u, 5u}) {
        SCOPED_TRACE(at);
        BillAcceptorSetup setup = WithImageSize();
        setup.faults[at] = {BillBlockFault::Restart, 0};
        BillAcceptor acceptor(setup);
        acceptor.Take(Request('7'));
        unsigned block = 0;
        for (; block < kBlocks; ++block) {
            if (acceptor.Take(BlockRequest(block)).replies.empty()) {
                break;
            }
        }
        EXPECT_EQ(block, at);
        EXPECT_EQ(acceptor.Held(), static_cast<std::int32_t>(at) - 1);
        // The end command: with no block held the upload is aborted and starts again.
        EXPECT_EQ(acceptor.Take(Request('9')).notes.size(), 1u);
        EXPECT_EQ(acceptor.UploadMode(), at > 0);
        acceptor.Take(Request('7'));
        // The resume: from the block after the one held.
        for (block = static_cast<unsigned>(acceptor.Held() + 1); block < kBlocks; ++block) {
            EXPECT_EQ(acceptor.Take(BlockRequest(block)).replies,
                      std::vector<std::string>{Holding(block)});
        }
        acceptor.Take(Request('9'));
        Bytes image;
        ASSERT_TRUE(acceptor.TakeCompleted(image));
        EXPECT_EQ(image, Firmware());
    }
}

TEST(BillAcceptorTest, TheBoardsLayoutCarriesTheSameBlock) {
    BillAcceptor acceptor;
    acceptor.Take(Request('7'));
    Bytes digits{0x80, 0x80, 0x80, 0x80};
    for (std::size_t i = 0; i < kBillAcceptorBlockBytes; ++i) {
        digits.push_back(static_cast<std::uint8_t>(0x80 | (i >> 4)));
        digits.push_back(static_cast<std::uint8_t>(0x80 | (i & 0xF)));
    }
    EXPECT_EQ(acceptor.Take(Request('8', digits)).replies, std::vector<std::string>{Holding(0)});
    // Without a firmware size, the end after any block completes the upload.
    acceptor.Take(Request('9'));
    Bytes image;
    ASSERT_TRUE(acceptor.TakeCompleted(image));
    ASSERT_EQ(image.size(), kBillAcceptorBlockBytes);
    EXPECT_EQ(image[31], 31);
    EXPECT_EQ(acceptor.Take(Request('8', Bytes(10))).notes,
              std::vector<std::string>{"bill acceptor block refused (12 data bytes)"});
}

TEST(BillAcceptorTest, ScenarioLinesSetItUp) {
    Scenario scenario;
    ScenarioError error;
    ASSERT_EQ(ParseScenario("bill-acceptor identity type 84 version 7 parts ABC DEF iso EUR crc "
                            "12ab status 04 08 28\n"
                            "bill-acceptor after-upload version 8 parts GHI JKL\n"
                            "bill-acceptor image-size 9400\n"
                            "bill-acceptor upload-mode held 291\n"
                            "bill-acceptor lose-reply 3\n"
                            "bill-acceptor answer-block 4 7\n"
                            "bill-acceptor restart-at 0\n",
                            scenario, error),
              kScenarioOk)
        << error.message;
    const BillAcceptorSetup& setup = scenario.billAcceptor;
    EXPECT_TRUE(scenario.usesModule);
    EXPECT_EQ(setup.typeCode, 84u);
    EXPECT_EQ(setup.version, 7u);
    EXPECT_EQ(setup.partA + setup.partB + setup.iso, "ABCDEFEUR");
    EXPECT_EQ(setup.crc, 0x12ABu);
    EXPECT_EQ(setup.status[2], 0x28);
    EXPECT_EQ(setup.newVersion, 8u);
    EXPECT_EQ(setup.newPartA + setup.newPartB, "GHIJKL");
    EXPECT_EQ(setup.imageBytes, 9400u);
    EXPECT_TRUE(setup.uploadMode);
    EXPECT_EQ(setup.held, 291);
    ASSERT_EQ(setup.faults.size(), 3u);
    EXPECT_EQ(setup.faults.at(4).answer, 7u);
    EXPECT_EQ(setup.faults.at(0).kind, BillBlockFault::Restart);

    const struct {
        const char* text;
        int code;
        const char* message;
    } refused[] = {
        {"bill-acceptor\n", kScenarioBadArguments, "takes identity"},
        {"bill-acceptor identity type 200\n", kScenarioBadNumber, "0 to 127"},
        {"bill-acceptor identity crc 12345\n", kScenarioBadArguments, "four hex digits"},
        {"bill-acceptor lose-reply 65535\n", kScenarioBadNumber, "0 to 65534"},
        {"bill-acceptor answer-block 4\n", kScenarioBadArguments, "BLOCK NUMBER"},
        {"bill-acceptor image-size 524288\n", kScenarioBadNumber, "0 to 524287"},
        {"repeat 2\nbill-acceptor image-size 9\nend\n", kScenarioBadModule, "outside repeat"},
        {"bill-acceptor upload-mode 5\n", kScenarioBadArguments, "held BLOCK"},
        {"bill-acceptor flash\n", kScenarioBadModule, "takes identity"},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(ParseScenario(r.text, scenario, error), r.code) << r.text;
        EXPECT_NE(error.message.find(r.message), std::string::npos) << error.message;
    }
}

}  // namespace
}  // namespace lane::sim
