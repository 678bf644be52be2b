// The carousel scale's E-Box and the UPS against the link rig: the line forms and the readers
// that collect replies from packets, each carousel and UPS item as requests written and replies
// played back, and the unattended EBoxRound02 byte for byte.
#include <deque>
#include <map>

#include "Moxtel/Command_Carousel.h"
#include "Moxtel/Command_UPS.h"
#include "Moxtel/EBoxLine.h"
#include "tests/Moxtel/ModuleLinkRig.h"

namespace lane::moxtel::test {
namespace {

constexpr std::uint8_t kPort3 = link::kUpsPort;
constexpr std::uint8_t kPort4 = link::kCarouselPort;
constexpr std::uint8_t kPort6 = link::kServicePort;

TEST(EBoxLineTest, CheckDigitsAndRequestForms) {
    const struct {
        const char* argument;
        char digit;
    } digits[] = {{"05425", '4'}, {"20000", '8'}, {"1264567", '9'}, {"1266522", '6'},
                  {"", '0'},      {"00000", '0'}, {".366512", '3'}};
    for (const auto& c : digits) {
        EXPECT_EQ(EBoxCheckDigit(c.argument), c.digit) << c.argument;
    }
    EXPECT_EQ(EBoxSingleLetter('W'), "W");
    EXPECT_EQ(EBoxFramedQuery('O'), "\rO\n");
    EXPECT_EQ(EBoxFramedCommand('L', "05425"), "\rL054254\n");
    EXPECT_EQ(EBoxFramedCommand('O', "1264567"), "\rO12645679\n");
    EXPECT_EQ(EBoxFactoryDefaults(), "\rDEFAULT\n");
    EXPECT_EQ(WeightRoundingText('2'), "0.02");
    EXPECT_EQ(WeightRoundingText('7'), "Value = 37");
}

TEST(EBoxLineTest, RepliesAreCollectedFromTheirPacketsAndNeverPastTheBuffer) {
    const struct {
        const char* name;
        std::vector<link::LinkPacket> packets;
        bool complete;
        std::string text;
        std::size_t dropped;
    } cases[] = {
        {"split", {PortData(kPort4, "\rZ"), PortData(kPort4, "\n")}, true, "Z", 0},
        {"noise before the start",
         {PortData(kPort4, "xx\r1366"), PortData(kPort4, "512\n")},
         true,
         "1366512",
         0},
        {"other ports and empty packets skipped",
         {PortData(kPort4, "\rA"), PortData(kPort6, "B\n"), PortData(kPort4, ""),
          PortData(kPort4, "C\n")},
         true,
         "AC",
         0},
        {"rest of the packet still taken", {PortData(kPort4, "\rR\nQ")}, true, "RQ", 0},
        {"no line feed yet", {PortData(kPort4, "\rWAIT")}, false, "WAIT", 0},
        {"too long",
         {PortData(kPort4, "\r" + std::string(50, 'a')), PortData(kPort4, std::string(50, 'b')),
          PortData(kPort4, "\n")},
         true,
         std::string(50, 'a') + std::string(13, 'b'),
         37},
    };
    for (const auto& c : cases) {
        CEBoxReplyReader reader;
        reader.Clear();
        for (const auto& packet : c.packets) {
            static_cast<void>(reader.Take(packet));
        }
        EXPECT_EQ(reader.Complete(), c.complete) << c.name;
        EXPECT_EQ(reader.Text(), c.text) << c.name;
        EXPECT_EQ(reader.Dropped(), c.dropped) << c.name;
    }
    CEBoxReplyReader error;
    error.Clear();
    EXPECT_TRUE(error.Take(PortData(kPort4, "\rErr 3\n")));
    EXPECT_TRUE(error.IsError());
    EXPECT_EQ(error.ErrorCode(), '3');

    CUpsReplyReader ups;
    ups.Clear();
    for (const char c : std::string(30, 'u')) {
        EXPECT_FALSE(ups.Take(PortData(kPort3, std::string(1, c) + "ignored")));
    }
    EXPECT_FALSE(ups.Take(PortData(kPort4, "\n")));
    EXPECT_FALSE(ups.Take(PortData(kPort3, "")));
    EXPECT_TRUE(ups.Take(PortData(kPort3, "\n")));
    EXPECT_EQ(ups.Text(), std::string(19, 'u'));
    EXPECT_EQ(ups.Dropped(), 12u);
}

class CarouselTest : public ModuleLinkRig {
  protected:
    CarouselTest() {
        identity.version = 447;
        respond = [this](const Bytes& written) { Answer(written); };
    }

    // The E-Box answers `request` with `packets`; each further call adds the answer to the
    // request's next asking (the last answer stays for every asking after it).
    void EBox(const std::string& request, const std::vector<std::string>& packets) {
        eboxReplies_[request].push_back(packets);
    }
    void Ups(char request, const std::string& reply) { upsReplies_[request] = reply; }
    // Forgets the answers and whatever is still on the link's queue.
    void Reset() {
        eboxReplies_.clear();
        upsReplies_.clear();
        link::LinkPacket left;
        while (link.Queue().Take(left)) {
        }
    }

    // The data of the port-data packets written to `port`, in order, from the `from`th write.
    std::vector<std::string> Requests(std::uint8_t port, std::size_t from = 0) const {
        std::vector<std::string> requests;
        const std::vector<Bytes> written = Written();
        for (std::size_t n = from; n < written.size(); ++n) {
            const Bytes& wire = written[n];
            if (wire.size() >= 4 && wire[0] == port && wire[1] == link::TMCB_DC_PORT_DATA) {
                requests.emplace_back(wire.begin() + 3, wire.begin() + 3 + wire[2]);
            }
        }
        return requests;
    }

    int Item(int (*item)(CCarouselPorts&), std::size_t failFromWrite = 0) {
        CCarouselPorts ports(run, "Command_Carousel");
        int result = -1;
        Drive([&] { result = item(ports); }, failFromWrite);
        return result;
    }

  private:
    void Answer(const Bytes& wire) {
        if (wire.size() < 4 || wire[1] != link::TMCB_DC_PORT_DATA) {
            return;
        }
        const std::string data(wire.begin() + 3, wire.begin() + 3 + wire[2]);
        if (wire[0] == kPort4) {
            auto& answers = eboxReplies_[data];
            if (answers.empty()) {
                return;
            }
            for (const std::string& packet : answers.front()) {
                Queue(PortData(kPort4, packet));
            }
            if (answers.size() > 1) {
                answers.pop_front();
            }
        } else if (wire[0] == kPort3 && data.size() == 1 && upsReplies_.count(data[0]) > 0) {
            for (const char c : upsReplies_[data[0]]) {
                Queue(PortData(kPort3, std::string(1, c)));
            }
        }
    }

    std::map<std::string, std::deque<std::vector<std::string>>> eboxReplies_;
    std::map<char, std::string> upsReplies_;
};

struct ItemCase {
    const char* name;
    int (*item)(CCarouselPorts&);
    std::string keys;
    std::vector<std::pair<std::string, std::vector<std::string>>> replies;
    std::vector<std::string> requests;  // what the E-Box was sent
    std::vector<std::string> shown;     // parts of the console output, in order
    bool succeeds;
    std::vector<std::string> control = {};  // what port 6 was sent
};

const ItemCase kItemCases[] = {
    {"reset",
     ResetCarouselEBox,
     "",
     {{"R", {"\rR\n"}}},
     {"R"},
     {"Resetting Carousel E-Box\n\n", "Reset Complete\n"},
     true},
    {"reset refused",
     ResetCarouselEBox,
     "",
     {{"R", {"\rX1\n"}}},
     {"R"},
     {"Reset Failed!, Code = X\n"},
     false},
    {"reset error code",
     ResetCarouselEBox,
     "",
     {{"R", {"\rErr 3\n"}}},
     {"R"},
     {"E-Box Error Code 3, Overload condition\n", "Reset Failed!\n"},
     false},
    {"zero split over two packets",
     ZeroCarouselScale,
     "",
     {{"Z", {"\rZ", "\n"}}},
     {"Z"},
     {"Zero Complete!\n"},
     true},
    {"zero timed out",
     ZeroCarouselScale,
     "",
     {{"Z", {"\rF\n"}}},
     {"Z"},
     {"Zero failed!\nTimeout over 3 seconds\nReset E-Box\nZero Scale\nCalibrate Scale\n"},
     false},
    {"calibration",
     CalibrateCarouselScale,
     "54.25\r ",
     {{"\rF200008\n", {"\rF\n"}}, {"\rL054254\n", {"\r05425\n", "\rC\n"}}},
     {"\rF200008\n", "\rL054254\n"},
     {"\nEnter Calibration Weight :54.25\n", "Place Weight on Carousel.\n", "\n\nPlease wait!\n",
      "\nCalibration Complete!\n\n"},
     true},
    {"calibration weight not repeated",
     CalibrateCarouselScale,
     "54.25\r ",
     {{"\rF200008\n", {"\rF\n"}}, {"\rL054254\n", {"\r05420\n", "\rC\n"}}},
     {"\rF200008\n", "\rL054254\n"},
     {"Calibration Failed!\n"},
     false},
    {"calibration weight out of range",
     CalibrateCarouselScale,
     "30\r",
     {},
     {},
     {"\nERROR: Weight Value out of Range!, 30.00\n"},
     false},
    {"filter mode",
     SetFilterMode,
     "6",
     {{"\rO\n", {"\r1234567\n"}}, {"\rO\n", {"\r1264567\n"}}, {"\rO12645679\n", {"\rO\n"}}},
     {"\rO\n", "\rO12645679\n", "\rO\n"},
     {"Current Filter Mode = 3\n\n\n", "Enter Filter Mode :6\n", "Filter Mode Updated!\n"},
     true},
    {"filter mode key out of range",
     SetFilterMode,
     "7",
     {{"\rO\n", {"\r1234567\n"}}},
     {"\rO\n"},
     {"Invalid Number!\n"},
     false},
    {"filter mode from a short options reply",
     SetFilterMode,
     "",
     {{"\rO\n", {"\r123\n"}}},
     {"\rO\n"},
     {"ERROR 53: E-Box Options Reply too short: 123\n"},
     false},
    {"weight rounding that does not take",
     SetWeightRounding,
     "4",
     {{"\rO\n", {"\r1366512\n"}}, {"\rO14665125\n", {"\rO\n"}}},
     {"\rO\n", "\rO14665125\n", "\rO\n"},
     {"Current Weight Rounding = 0.05\n", "Enter Value (1-4) :4\n",
      "ERROR 53: Weight Rounding NOT Updated.\n"},
     false},
    {"factory defaults with the module's own defaults",
     SetEBoxFactoryDefaults,
     "dy",
     {{"\rDEFAULT\n", {"\rD\n"}}},
     {"\rDEFAULT\n"},
     {"Press \"D\" to continue :D\n", "(y/n) :Y\n", "E-Box set to Defaults Complete!\n"},
     true,
     {"SH "}},
    {"factory defaults not confirmed",
     SetEBoxFactoryDefaults,
     "n",
     {},
     {},
     {"E-Box not Reset to Defaults!\n"},
     false},
    {"configuration",
     CarouselConfigOptions,
     "",
     {{"I", {"\rEB-2.10\n"}},
      {"\rS\n", {"\r00150LB\n"}},
      {"\rO\n", {"\r.366512\n"}},
      {"\rU\n", {"\rLCN=4\n"}},
      {"C", {"\r12345 00000 34567 0000", "0 00000 45678 \n"}}},
     {"I", "\rS\n", "\rO\n", "\rU\n", "C"},
     {"E-Box Firmware Version   :EB-2.10\nScale Max Weight Value   :00150\n"
      "Decimal Dot              :.\nWeight Rounding          :0.05\n"
      "Filter Mode              :6\nAuto-Zero Negative Weight:6 Seconds\n"
      "Zero Tracking            :1\nStability Mode           :2\n"
      "Number of Load Cells     :4\nLoad Cells Serial Number :12345, 34567, 45678\n\n"},
     true},
    {"configuration without an answer",
     CarouselConfigOptions,
     "",
     {},
     {"I"},
     {"ERROR 50: Scale Timeout.\n"},
     false},
};

TEST_F(CarouselTest, EachItemSendsItsRequestsAndShowsWhatTheEBoxAnswered) {
    identity.version = 449;
    for (const ItemCase& c : kItemCases) {
        SCOPED_TRACE(c.name);
        Reset();
        const std::size_t writtenFrom = Written().size();
        const std::size_t shownFrom = console.Output().size();
        console.AddKeys(c.keys);
        for (const auto& [request, packets] : c.replies) {
            EBox(request, packets);
        }
        EXPECT_EQ(Item(c.item) == 0, c.succeeds);
        EXPECT_EQ(Requests(kPort4, writtenFrom), c.requests);
        EXPECT_EQ(Requests(kPort6, writtenFrom), c.control);
        const std::string shown = console.Output().substr(shownFrom);
        std::size_t at = 0;
        for (const std::string& part : c.shown) {
            const std::size_t found = shown.find(part, at);
            EXPECT_NE(found, std::string::npos) << part << "\nin:\n" << shown;
            at = found == std::string::npos ? at : found + part.size();
        }
    }
}

TEST_F(CarouselTest, ARequestThatCannotBeWrittenEndsTheItem) {
    EXPECT_NE(Item(ResetCarouselEBox, 1), 0);
    EXPECT_TRUE(Contains(console.Output(), "ERROR 11: Sending data to port 4.\n\nReset Failed!\n"));
}

// Sixteen readings fill the ring; the stable average is shown once until it moves by a pound;
// continuous mode shows every reading with its stability.
TEST_F(CarouselTest, TheWeightDisplayShowsAStableAverageOnceAndEveryReadingInContinuousMode) {
    std::vector<std::vector<std::string>> readings;
    for (int i = 0; i < 20; ++i) {
        readings.push_back({i % 2 == 0 ? "\r 054.20LB\n" : "\r 054.24LB\n"});
    }
    for (int i = 0; i < 16; ++i) {
        readings.push_back({"\r 054.90LB\n"});
    }
    for (int i = 0; i < 16; ++i) {
        readings.push_back({"\r 056.00LB\n"});
    }
    readings.push_back({"\r?056.40LB\n"});
    for (const auto& reading : readings) {
        EBox("W", reading);
    }
    // One key per reading after the first sixteen: 'N' keeps normal mode, 'C' switches.
    console.AddKeys(std::string(readings.size() - 16 - 2, 'n') + "c");
    EXPECT_EQ(Item(DisplayWeight), 0);
    const std::string shown = console.Output();
    EXPECT_EQ(Requests(kPort4), std::vector<std::string>(readings.size(), "W"));
    EXPECT_TRUE(Contains(shown, "Press ESC to Exit, C - Continous mode, N - Normal mode"));
    EXPECT_EQ(shown.substr(shown.find("S - Start/Stop\n\n") + 16),
              "   54.22  Stable\n\n"
              "   56.00  Stable\n\n"
              "  056.40  Unstable\n\n");
}

TEST_F(CarouselTest, EBoxRound02SetsRoundingFilterAndZeroTrackingBetweenItsControlRequests) {
    EBox("\rO\n", {"\r1366512\n"});
    EBox("\rO\n", {"\r1266522\n"});
    EBox("\rO12665226\n", {"\rO\n"});
    EBox("R", {"\rR\n"});
    int result = -1;
    Drive([&] { result = Command_EBoxRound02(run); });
    EXPECT_EQ(result, 0);
    const Bytes open6Init = Wire(6, 1, "\x01\x06\x02\x01");
    const Bytes open6 = Wire(6, 2, "");
    const Bytes close6 = Wire(6, 3, "");
    EXPECT_EQ(Written(), (std::vector<Bytes>{open6Init,
                                             open6,  //
                                             open6Init,
                                             open6,
                                             Wire(6, 6, "SHL"),
                                             close6,  //
                                             open6Init,
                                             open6,
                                             Wire(6, 6, "SFD"),
                                             close6,  //
                                             Wire(4, 1, "\x05\x05\x01\x02"),
                                             Wire(4, 2, ""),  //
                                             Wire(4, 6, "\rO\n"),
                                             Wire(4, 6, "\rO12665226\n"),  //
                                             Wire(4, 6, "\rO\n"),
                                             Wire(4, 6, "R"),
                                             Wire(4, 3, ""),  //
                                             open6Init,
                                             open6,
                                             Wire(6, 6, "SFE"),
                                             close6,  //
                                             close6}));
    const std::string shown = console.Output();
    std::size_t at = 0;
    for (const char* line : {"Disabling Quarnel Default Override.\n", "Disabling EBox Polling.\n",
                             "Opening Port 4 to Carousel\n", "Setting Rounding to .02\n",
                             "Current Weight Rounding = 0.05\n", "Weight Rounding Updated!\n",
                             "Reset Complete\n", "Complete.\n"}) {
        at = shown.find(line, at);
        ASSERT_NE(at, std::string::npos) << line << "\nin:\n" << shown;
    }
}

TEST_F(CarouselTest, EBoxRound02SwitchesPollingOnAgainWhenPort4CannotBeOpened) {
    // From the polling request on, every write fails: its port 6 is not closed, port 4 is not
    // initialised.
    respond = [this](const Bytes& written) {
        if (written == Wire(6, 6, "SFD")) {
            driver.SetWriteResult(kWriteFailure);
        }
    };
    int result = -1;
    Drive([&] { result = Command_EBoxRound02(run); });
    EXPECT_NE(result, 0);
    const std::string shown = console.Output();
    const std::size_t failed =
        shown.find("ERROR 11: Init Port 4.\nERROR 1B: Port 4 open Failed.\n");
    ASSERT_NE(failed, std::string::npos) << shown;
    // The polling request is tried (its port 6 fails too), and nothing more is done.
    EXPECT_NE(shown.find("Initialize Port 6 Failed!", failed), std::string::npos);
    EXPECT_FALSE(Contains(shown, "Complete."));
    EXPECT_EQ(Requests(kPort4), std::vector<std::string>{});
}

TEST_F(CarouselTest, TheCarouselMenuNeeds429OnTheUsbModuleAndAlwaysEndsWithPollingOn) {
    identity.version = 428;
    Drive([&] { CarouselMenu(run); });
    EXPECT_EQ(console.Output(), "Incorrect Security Module Version must be >= 4.29\n");
    EXPECT_TRUE(Written().empty());

    identity.version = 429;
    EBox("Z", {"\rZ\n"});
    EBox("R", {"\rR\n"});
    Queue(PortData(kPort4, "stale"));  // left by the E-Box's polling: flushed
    console.AddKeys("3 x");
    std::int64_t startMs = clock.TickMs();
    Drive([&] { CarouselMenu(run); });
    EXPECT_GE(clock.TickMs() - startMs, 1000);
    EXPECT_EQ(Requests(kPort4), (std::vector<std::string>{"Z", "R"}));
    EXPECT_EQ(Requests(kPort6), (std::vector<std::string>{"SFD", "SFE"}));
    const std::string shown = console.Output();
    EXPECT_TRUE(Contains(shown, std::string(25, '\n') + "******* Carousel Menu *******\n\n"
                                                        " 1 - Carousel Config Options\n"));
    EXPECT_TRUE(Contains(shown, " X - Exit\n\n Enter Function :3\n\nZeroing Carousel Scale\n"));
    EXPECT_TRUE(Contains(shown, "Zero Complete!\n\nPress any key to continue"));
    EXPECT_TRUE(Contains(shown, "Enter Function :X\n\nResetting Carousel E-Box\n"));
    EXPECT_EQ(Written().back(), Wire(6, 3, ""));
}

TEST_F(CarouselTest, TheUpsMenuConnectsAndReadsTheSensitivity) {
    Ups('Y', "SM\n");
    Ups('s', "M 12\n");
    console.AddKeys(" 1 x");
    Drive([&] { UpsMenu(run); });
    EXPECT_EQ(Requests(kPort3), (std::vector<std::string>{"Y", "s", "+"}));
    const std::vector<Bytes> written = Written();
    ASSERT_GE(written.size(), 2u);
    EXPECT_EQ(written[0], Wire(3, 1, "\x05\x03\x02\x01"));
    EXPECT_EQ(written[1], Wire(3, 2, ""));
    EXPECT_EQ(written.back(), Wire(3, 3, ""));
    const std::string shown = console.Output();
    EXPECT_TRUE(Contains(shown, "Press and key when ready\nOpening Port 3 to UPS\n"));
    EXPECT_TRUE(Contains(shown, "\nConnecting to UPS: Connected...\n"));
    EXPECT_TRUE(Contains(shown, "******* UPS Menu *******\n\n 1 - UPS Config Options\n"));
    EXPECT_TRUE(Contains(shown, "Sensitivity Setting :Medium\n\nPress any key to continue"));
    EXPECT_FALSE(Contains(shown, "Invalid Data"));
}

TEST_F(CarouselTest, AUpsThatDoesNotAnswerIsNamedAndTheMenuStillOpens) {
    console.AddKeys("   x");
    Drive([&] { UpsMenu(run); });
    const std::string shown = console.Output();
    EXPECT_TRUE(Contains(shown,
                         "\nConnecting to UPS: ERROR 50: UPS Time-out.\nUPS did not Respond.\n"
                         "Press any key to continueUPS Returned Invalid Data:    \n"));
    EXPECT_TRUE(Contains(shown, "******* UPS Menu *******"));
    EXPECT_EQ(Written().back(), Wire(3, 3, ""));
}

}  // namespace
}  // namespace lane::moxtel::test
