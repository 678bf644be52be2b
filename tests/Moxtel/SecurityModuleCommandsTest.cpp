// The port commands and request/reply exchanges: what goes out on the wire, how replies are
// picked out of the link's queue (and acknowledged on the cash port), what is read from them.
#include "Moxtel/securitymodule_commands.h"

#include "tests/Moxtel/ModuleLinkRig.h"

namespace lane::moxtel::test {
namespace {

constexpr std::uint8_t kPort5 = link::kCashPort;
constexpr std::uint8_t kPort6 = link::kServicePort;

const std::string kVersionReply = std::string("z2") + "044701152019";

class SecurityModuleCommandsTest : public ModuleLinkRig {
  protected:
    // Runs one command; its result, and the fake time it took.
    int Timed(const std::function<int(SecurityModuleCommands&)>& call, std::int64_t& elapsedMs) {
        SecurityModuleCommands commands(run);
        int result = -1;
        const std::int64_t start = clock.TickMs();
        Drive([&] { result = call(commands); });
        elapsedMs = clock.TickMs() - start;
        return result;
    }
    int Call(const std::function<int(SecurityModuleCommands&)>& call) {
        std::int64_t ignored = 0;
        return Timed(call, ignored);
    }
};

TEST_F(SecurityModuleCommandsTest, PortsAreInitialisedOpenedAndClosedWithTheirPauses) {
    std::int64_t openMs = 0;
    std::int64_t closeMs = 0;
    EXPECT_EQ(Timed([](auto& c) { return c.OpenPort6(); }, openMs), 0);
    EXPECT_EQ(Timed([](auto& c) { return c.ClosePort6(); }, closeMs), 0);
    EXPECT_EQ(openMs, 200);
    EXPECT_EQ(closeMs, 500);
    EXPECT_EQ(Call([](auto& c) { return c.OpenPort5(); }), 0);
    EXPECT_EQ(Call([](auto& c) { return c.ClosePort5(); }), 0);
    EXPECT_EQ(Written(),
              (std::vector<Bytes>{Wire(6, 1, "\x01\x06\x02\x01"), Wire(6, 2, ""), Wire(6, 3, ""),
                                  Wire(5, 1, "\x0a\x05\x02\x01"), Wire(5, 2, ""), Wire(5, 3, "")}));
    // Only the closing of port 5 is shown; the rest goes to the capture file.
    EXPECT_EQ(console.Output(), "Closing Security Module Port 5\n");
    const std::string file = CaptureNow();
    for (const char* line : {"Initialize port 6 Security Module\n",
                             "Opening Security Module Port 6\n", "Closing Security Module Port 6\n",
                             "Initialize Port 5 \n", "Opening Security Module Port 5\n"}) {
        EXPECT_TRUE(Contains(file, line)) << line;
    }
}

TEST_F(SecurityModuleCommandsTest, APortThatCannotBeReachedIsReportedOnTheConsole) {
    driver.SetWriteResult(kWriteFailure);
    EXPECT_NE(Call([](auto& c) { return c.OpenPort6(); }), 0);
    EXPECT_NE(Call([](auto& c) { return c.ClosePort6(); }), 0);
    EXPECT_NE(Call([](auto& c) { return c.OpenPort5(); }), 0);
    EXPECT_NE(Call([](auto& c) { return c.ClosePort5(); }), 0);
    EXPECT_NE(Call([](auto& c) { return c.DisableTracing(); }), 0);
    EXPECT_NE(Call([](auto& c) { return c.SendBillAcceptorCommand(0x4A); }), 0);
    const std::string shown = console.Output();
    for (const char* line :
         {"Initialize Port 6 Failed!\n", "Closing Security Module Port 6 Failed!\n",
          "Initialize Port 5 Failed!\n", "Closing Security Module Port 5 Failed!\n",
          "ERROR 11: Disable Tracing Failed.\n",
          "ERROR 11: Sending Command to Bill Acceptor, Command:4A\n"}) {
        EXPECT_TRUE(Contains(shown, line)) << line;
    }
    // A port whose initialisation failed is not opened.
    EXPECT_FALSE(Contains(shown, "Opening Port 6 Failed!"));
}

TEST_F(SecurityModuleCommandsTest, TheReplyLoopDropsUnrelatedPacketsUpToTheHundredth) {
    // Three unrelated packets (another request's reply, another port, a short one), then ours.
    Queue(PortData(kPort6,
                   "z4"
                   "05A3C"));
    Queue(PortData(kPort5, kVersionReply));
    Queue(PortData(kPort6, "z2"));
    Queue(PortData(kPort6, kVersionReply));
    EXPECT_EQ(Call([](auto& c) { return c.RequestEpromVersion(); }), 0);
    EXPECT_EQ(identity.version, 447u);
    EXPECT_EQ(link.Queue().Size(), 0u);
    EXPECT_EQ(Written(), (std::vector<Bytes>{Wire(6, 6, "Z2")}));

    // A hundred packets that are not the reply: the hundredth ends the loop, the reply after it
    // stays where it is.
    identity = SecurityModuleIdentity{};
    for (int i = 0; i < 100; ++i) {
        Queue(PortData(kPort6,
                       "z5"
                       "750"));
    }
    Queue(PortData(kPort6, kVersionReply));
    std::int64_t elapsed = -1;
    EXPECT_NE(Timed([](auto& c) { return c.RequestEpromVersion(); }, elapsed), 0);
    EXPECT_EQ(elapsed, 0);
    EXPECT_EQ(identity.version, 0u);
    EXPECT_EQ(link.Queue().Size(), 1u);
    EXPECT_TRUE(Contains(console.Output(), "ERROR 12: Get Security Module Version Failed.\n"));
    EXPECT_FALSE(Contains(console.Output(), "ERROR 10"));

    // On the cash port the other ports' packets count too, unacknowledged.
    while (link.Queue().Size() > 0) {
        link::LinkPacket drained;
        static_cast<void>(link.Queue().Take(drained));
    }
    for (int i = 0; i < 100; ++i) {
        Queue(PortData(kPort6, "\x01s4"));
    }
    const std::size_t before = Written().size();
    EXPECT_NE(Call([](auto& c) { return c.SyncCashMachine(); }), 0);
    EXPECT_EQ(Written().size(), before + 1);  // the request only
    EXPECT_TRUE(Contains(console.Output(), "ERROR 12: Sync Port 5 Failed.\n"));
}

TEST_F(SecurityModuleCommandsTest, NoReplyGivesUpAfterTheWaitCount) {
    std::int64_t serviceMs = 0;
    std::int64_t cashMs = 0;
    EXPECT_NE(Timed([](auto& c) { return c.RequestChecksum(); }, serviceMs), 0);
    EXPECT_NE(Timed([](auto& c) { return c.SyncCashMachine(); }, cashMs), 0);
    // About one second on the service port, five on the cash port.
    EXPECT_GE(serviceMs, 1000);
    EXPECT_LE(serviceMs, 1100);
    EXPECT_GE(cashMs, 5000);
    EXPECT_LE(cashMs, 5100);
    EXPECT_EQ(console.Output(),
              "ERROR 10: Get Security Module Checksum Failed.\n"
              "Synchronizing Cash Machine\n"
              "ERROR 10: Sync Port 5 Failed.\n");
    EXPECT_EQ(identity.checksumStatus, '1');
}

TEST_F(SecurityModuleCommandsTest, TheModulesIdentityIsReadFromItsReplies) {
    Queue(PortData(kPort6, kVersionReply));
    Queue(PortData(kPort6,
                   "z4"
                   "05A3C"));
    Queue(PortData(kPort6,
                   "z5"
                   "75A"));
    Queue(PortData(kPort5,
                   "\x07"
                   "s2"
                   "0130"
                   "07042021"));
    EXPECT_EQ(Call([](auto& c) { return c.RequestEpromVersion(); }), 0);
    EXPECT_EQ(Call([](auto& c) { return c.RequestChecksum(); }), 0);
    EXPECT_EQ(Call([](auto& c) { return c.RequestModel(); }), 0);
    EXPECT_EQ(Call([](auto& c) { return c.RequestCcuVersion(); }), 0);
    EXPECT_EQ(identity.versionText, "04.47 01/15/2019");
    EXPECT_EQ(identity.version, 447u);
    EXPECT_EQ(identity.checksumText, "5A3C");
    EXPECT_EQ(identity.checksumStatus, '0');
    EXPECT_EQ(identity.model, "75A");
    EXPECT_EQ(identity.ccuVersionText, "01.30 07/04/2021");
    EXPECT_EQ(identity.ccuVersion, 130u);

    // A failed checksum keeps its status; a version that is not digits reads as 0.
    Queue(PortData(kPort6,
                   "z4"
                   "1FFFF"));
    Queue(PortData(kPort6, std::string("z2") + "0A4701152019"));
    EXPECT_EQ(Call([](auto& c) { return c.RequestChecksum(); }), 0);
    EXPECT_EQ(Call([](auto& c) { return c.RequestEpromVersion(); }), 0);
    EXPECT_EQ(identity.checksumStatus, '1');
    EXPECT_EQ(identity.checksumText, "FFFF");
    EXPECT_EQ(identity.version, 0u);
}

TEST_F(SecurityModuleCommandsTest, EveryCashPortReplyIsAcknowledgedAndTraced) {
    // Another port's packet, another reply, then the sync reply.
    Queue(PortData(kPort6,
                   "\x01"
                   "s4"));
    Queue(PortData(kPort5,
                   "\x21"
                   "b1"
                   "ABCDEF"));
    Queue(PortData(kPort5,
                   "\x22"
                   "s4"));
    EXPECT_EQ(Call([](auto& c) { return c.SyncCashMachine(); }), 0);
    EXPECT_EQ(Written(),
              (std::vector<Bytes>{Wire(5, 6, "S4"), Wire(5, 6, "S0\x21"), Wire(5, 6, "S0\x22")}));
    std::string file = CaptureNow();
    EXPECT_TRUE(Contains(file, "   Data in:05.06.08 - 62.31.41.42.43.44\n"));
    EXPECT_TRUE(Contains(file, "   Data in:05.06.02 - 73.34.00.00.00.00\n"));
    EXPECT_FALSE(Contains(file, "Data in:06"));
    // The request is dumped, the acknowledgements never are.
    EXPECT_TRUE(Contains(file, "Data Out:05.06.02 - 53.34."));
    EXPECT_FALSE(Contains(file, "Data Out:05.06.03"));

    // With the trace off, replies are still acknowledged but no longer traced or dumped.
    Queue(PortData(kPort5,
                   "\x23"
                   "s4"));
    SecurityModuleCommands quiet(run);
    quiet.SetTrace(false);
    int result = -1;
    Drive([&] { result = quiet.SyncCashMachine(); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Written().back(), Wire(5, 6, "S0\x23"));
    file = CaptureNow();
    const std::string quietPart = file.substr(file.rfind("Synchronizing Cash Machine"));
    EXPECT_FALSE(Contains(quietPart, "Data in:"));
    EXPECT_FALSE(Contains(quietPart, "Data Out:"));
}

TEST_F(SecurityModuleCommandsTest, TheBillAcceptorStatusTellsItsUploadModeAndStartingBlock) {
    struct Case {
        std::string bytes6to11;
        bool uploadMode;
        unsigned startingBlock;
    };
    const Case cases[] = {
        {std::string("\x30\x31\x32\x33\x51\x00", 6), true, 292},    // 0x0123 + 1
        {std::string("\x3F\x4F\x5F\x6F\x50\x00", 6), true, 0},      // 0xFFFF + 1 is no block
        {std::string("\x30\x30\x30\x30\x40\x00", 6), false, 0},     // not in upload mode
        {std::string("\x3F\x3D\x3E\x37\xD1\x00", 6), true, 65000},  // 0xFDE7 + 1, the last block
    };
    for (const Case& c : cases) {
        billAcceptor = BillAcceptorIdentity{};
        Queue(PortData(kPort5, std::string("\x05"
                                           "b1",
                                           3) +
                                   c.bytes6to11));
        EXPECT_EQ(Call([](auto& s) { return s.RequestBillAcceptorStatus(); }), 0);
        EXPECT_EQ(billAcceptor.uploadMode, c.uploadMode) << c.startingBlock;
        EXPECT_EQ(billAcceptor.startingBlock, c.startingBlock);
    }
    const std::string file = CaptureNow();
    EXPECT_TRUE(Contains(file, "   Bill Acceptor Status byte 30.31.32.33.51.0\n"));
    EXPECT_TRUE(Contains(file, "   Bill Acceptor Already in Upload mode!\n"));
    EXPECT_TRUE(Contains(file, "   Starting Block = 292\n"));
    EXPECT_TRUE(Contains(file, "   Starting Block = 0\n"));
}

TEST_F(SecurityModuleCommandsTest, TheBillAcceptorVersionFollowsTheModulesVersion) {
    // The bill acceptor answers every version request but 'B' 'E'.
    std::vector<std::string> requests;
    std::uint8_t sequence = 0;
    respond = [&](const Bytes& written) {
        if (written.size() < 5 || written[0] != kPort5 || written[3] != 'B') {
            return;
        }
        const char code = static_cast<char>(written[4]);
        requests.push_back(std::string(1, code));
        std::string reply(1, static_cast<char>(++sequence));
        switch (code) {
            case 'B':
                reply += "bB111";
                break;
            case 'C':
                reply += "bC222";
                break;
            case 'D':
                reply += "bD333";
                break;
            case '4':
                reply += std::string(
                    "b1"
                    "\x01\x0A\x02\x0B\x60\x9F\x85",
                    9);
                break;
            case 'A':
                reply += "bAEUR";
                break;
            default:
                return;
        }
        Queue(PortData(kPort5, reply));
    };
    identity.version = 447;
    EXPECT_EQ(Call([](auto& c) { return c.RequestBillAcceptorVersion(); }), 0);
    EXPECT_EQ(requests, (std::vector<std::string>{"B", "C", "D", "E", "4", "A"}));
    EXPECT_EQ(billAcceptor.versionPartA, "333");
    EXPECT_EQ(billAcceptor.versionPartB, "222");  // kept from 'B' 'C'
    EXPECT_EQ(billAcceptor.typeCode, 31u);
    EXPECT_EQ(billAcceptor.versionNumber, 5u);
    EXPECT_EQ(billAcceptor.startingVersion, 5u);
    EXPECT_EQ(billAcceptor.crc, 0x1A2Bu);
    EXPECT_EQ(billAcceptor.isoCode, "EUR");
    const std::string shown = console.Output();
    EXPECT_EQ(shown,
              "Requesting Bill Acceptor Version\n\n"
              "Bill Acceptor Type: LE3900\n"
              "Bill Acceptor Version 333-222, CRC = 1A2B\n");
    // The missing part is noted in the capture file only.
    const std::string file = CaptureNow();
    EXPECT_TRUE(Contains(file, "   ERROR 10: Get Bill Acceptor Version Failed.\n"));
    EXPECT_TRUE(Contains(file, "   Bill ISO Code: EUR\n"));

    // Versions 433 to 435 ask for the first pair only; a part that does not come reads "000".
    requests.clear();
    respond = [&](const Bytes& written) {
        if (written.size() >= 5 && written[3] == 'B') {
            requests.push_back(std::string(1, static_cast<char>(written[4])));
            if (written[4] == '4') {
                Queue(PortData(kPort5, std::string("\x30"
                                                   "b1"
                                                   "\x00\x00\x00\x01\x61\x58\x07",
                                                   10)));
            } else if (written[4] == 'B') {
                Queue(PortData(kPort5,
                               "\x31"
                               "bB"
                               "444"));
            }
        }
    };
    identity.version = 435;
    EXPECT_NE(Call([](auto& c) { return c.RequestBillAcceptorVersion(); }), 0);  // no ISO code
    EXPECT_EQ(requests, (std::vector<std::string>{"B", "C", "4", "A"}));
    EXPECT_TRUE(Contains(console.Output(),
                         "Bill Acceptor Type: AE2800\n"
                         "Bill Acceptor Version 444-000, CRC = 0001\n"));
    EXPECT_TRUE(Contains(console.Output(), "ERROR 10: Get Bill Acceptor ISO Code Failed.\n"));

    // An old module: no version parts, the number shown, no ISO code; the starting version stays.
    requests.clear();
    identity.version = 320;
    EXPECT_EQ(Call([](auto& c) { return c.RequestBillAcceptorVersion(); }), 0);
    EXPECT_EQ(requests, (std::vector<std::string>{"4"}));
    EXPECT_TRUE(Contains(console.Output(), "Bill Acceptor Version  70, CRC = 0001\n"));
    EXPECT_EQ(billAcceptor.versionNumber, 7u);
    EXPECT_EQ(billAcceptor.startingVersion, 5u);
}

TEST_F(SecurityModuleCommandsTest, ABasicVersionThatNeverComesFailsTheRequest) {
    identity.version = 300;
    // The basic version request matches 'b' '1' only with its status byte.
    Queue(PortData(kPort5, std::string("\x01"
                                       "b1"
                                       "\x00\x00\x00\x00\x51\x1F\x01",
                                       10)));
    EXPECT_NE(Call([](auto& c) { return c.RequestBillAcceptorVersion(); }), 0);
    EXPECT_TRUE(Contains(console.Output(), "ERROR 10: Get Bill Acceptor Version Failed.\n"));
    EXPECT_FALSE(Contains(console.Output(), "Bill Acceptor Type"));
    EXPECT_FALSE(billAcceptor.startingVersionKept);
}

TEST(BillAcceptorTypeNameTest, TwoCodesShareANameAndUnknownCodesAreShownInHex) {
    EXPECT_EQ(BillAcceptorTypeName(74), BillAcceptorTypeName(85));
    EXPECT_EQ(BillAcceptorTypeName(63), "3f - Unknown!");
}

TEST_F(SecurityModuleCommandsTest, TheMenusClearTheScreenAndWaitForAKey) {
    console.AddKeys("q");
    SecurityModuleCommands commands(run);
    commands.ClearScreen();
    commands.WaitForKey();
    EXPECT_EQ(console.Output(), std::string(25, '\n') + "\nPress any key to continue");
    EXPECT_EQ(console.KeyCalls(), (std::vector<std::string>{"key"}));
}

}  // namespace
}  // namespace lane::moxtel::test
