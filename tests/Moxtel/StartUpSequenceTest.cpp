// The start-up sequence over the fake driver: the steps in order, the identity shown, the board's
// cash-port steps, and the exit code of each step that fails.
#include <ostream>
#include <string>

#include "Moxtel/ExitCodes.h"
#include "Moxtel/securitymodule_commands.h"
#include "tests/Moxtel/ModuleLinkRig.h"

namespace lane::moxtel::test {
namespace {

// The replies of a module that answers everything, in the order they are asked for.
const std::vector<link::LinkPacket> kServicePortReplies = {
    PortData(link::kServicePort, std::string("z2") + "046407042021"),
    PortData(link::kServicePort, "z411A2B"),  // checksum status '1': failed
    PortData(link::kServicePort, "z5750"),
};
const std::vector<link::LinkPacket> kCashPortReplies = {
    PortData(link::kCashPort,
             "\x11"
             "s4"),
    PortData(link::kCashPort,
             "\x12"
             "s2"
             "0142"
             "03092022"),
};

class StartUpSequenceTest : public ModuleLinkRig {
  protected:
    using ModuleLinkRig::ModuleLinkRig;

    int Start(std::size_t replies, std::size_t failFromWrite = 0) {
        std::vector<link::LinkPacket> all = kServicePortReplies;
        all.insert(all.end(), kCashPortReplies.begin(), kCashPortReplies.end());
        for (std::size_t i = 0; i < replies && i < all.size(); ++i) {
            Queue(all[i]);
        }
        int result = -1;
        Drive([&] { result = RunStartUpSequence(run); }, failFromWrite);
        return result;
    }
};

TEST_F(StartUpSequenceTest, TheUsbModuleIsAskedOnPort6AndItsIdentityShown) {
    EXPECT_EQ(Start(3), kExitSuccess);
    EXPECT_EQ(Written(), (std::vector<Bytes>{Wire(6, 1, "\x01\x06\x02\x01"), Wire(6, 2, ""),
                                             Wire(6, 6, "ZG"), Wire(6, 6, "Z2"), Wire(6, 6, "Z4"),
                                             Wire(6, 6, "Z5"), Wire(6, 3, "")}));
    EXPECT_EQ(console.Output(),
              "\n\nSecurity Module Version 04.64 07/04/2021, Checksum 1A2B Failed!\n");
    EXPECT_EQ(identity.model, "750");
    EXPECT_TRUE(options.cashDevicesThroughModule);
    // The written packets are dumped from the start.
    EXPECT_TRUE(Contains(CaptureNow(), "   Data Out:06.06.02 - 5a.32.00.00.00.00\n"));
}

class InterfaceBoardStartUpTest : public StartUpSequenceTest {
  protected:
    InterfaceBoardStartUpTest() : StartUpSequenceTest("TMCB_SECURITY_MODULE") {}
};

TEST_F(InterfaceBoardStartUpTest, TheCashMachineIsAlsoSynchronisedAndItsCcuShown) {
    EXPECT_EQ(Start(5), kExitSuccess);
    const std::vector<Bytes> written = Written();
    ASSERT_EQ(written.size(), 14u);
    EXPECT_EQ(std::vector<Bytes>(written.begin() + 7, written.end()),
              (std::vector<Bytes>{Wire(5, 1, "\x0a\x05\x02\x01"), Wire(5, 2, ""), Wire(5, 6, "S4"),
                                  Wire(5, 6, "S0\x11"), Wire(5, 6, "S2"), Wire(5, 6, "S0\x12"),
                                  Wire(5, 3, "")}));
    EXPECT_EQ(console.Output(),
              "Synchronizing Cash Machine\n"
              "Closing Security Module Port 5\n"
              "\n\nSecurity Module Version 04.64 07/04/2021, Checksum 1A2B Failed!\n"
              "CCU Version 01.42 03/09/2022\n");
    EXPECT_EQ(identity.ccuVersion, 142u);
    EXPECT_FALSE(options.cashDevicesThroughModule);
}

struct FailedStep {
    const char* board;
    std::size_t replies;        // how many of the replies the module gives
    std::size_t failFromWrite;  // the first write that fails; 0 none
    int exitCode;
    const char* message;
};

void PrintTo(const FailedStep& step, std::ostream* out) {
    *out << step.board << ", exit " << step.exitCode;
}

class FailedStepTest : public StartUpSequenceTest,
                       public ::testing::WithParamInterface<FailedStep> {
  protected:
    FailedStepTest() : StartUpSequenceTest(GetParam().board) {}
};

TEST_P(FailedStepTest, EndsTheSequenceWithTheStepsExitCode) {
    const FailedStep& step = GetParam();
    EXPECT_EQ(Start(step.replies, step.failFromWrite), step.exitCode);
    EXPECT_TRUE(Contains(console.Output(), std::string(step.message) + "\n")) << console.Output();
    // Nothing is shown of an identity that was not read to the end.
    EXPECT_FALSE(Contains(console.Output(), ", Checksum"));
    EXPECT_TRUE(options.cashDevicesThroughModule);
}

// Writes: port 6 init, open, ZG, Z2, Z4, Z5, close (7); port 5 init, open, S4 and its
// acknowledgement, S2 and its acknowledgement, close (14).
INSTANTIATE_TEST_SUITE_P(
    Steps, FailedStepTest,
    ::testing::Values(
        FailedStep{"USB_SECURITY_MODULE", 3, 1, kExitPort6Open, "Initialize Port 6 Failed!"},
        FailedStep{"USB_SECURITY_MODULE", 3, 2, kExitPort6Open, "Opening Port 6 Failed!"},
        FailedStep{"USB_SECURITY_MODULE", 0, 0, kExitEpromVersion,
                   "ERROR 10: Get Security Module Version Failed."},
        FailedStep{"USB_SECURITY_MODULE", 1, 0, kExitChecksum,
                   "ERROR 10: Get Security Module Checksum Failed."},
        FailedStep{"USB_SECURITY_MODULE", 2, 0, kExitModel,
                   "ERROR 10: Get Security Module Model Failed."},
        FailedStep{"USB_SECURITY_MODULE", 3, 7, kExitPort6Close,
                   "Closing Security Module Port 6 Failed!"},
        FailedStep{"TMCB_SECURITY_MODULE", 5, 9, kExitPort5Open, "Opening Port 5 Failed!"},
        FailedStep{"TMCB_SECURITY_MODULE", 3, 0, kExitCashMachineSync,
                   "ERROR 10: Sync Port 5 Failed."},
        FailedStep{"TMCB_SECURITY_MODULE", 4, 0, kExitCcuVersion,
                   "ERROR 10: Getting Version Port 5 Failed."},
        FailedStep{"TMCB_SECURITY_MODULE", 5, 14, kExitPort5Close,
                   "Closing Security Module Port 5 Failed!"}),
    // Named by the exit code the step ends with, so CTest lists each case by a stable name.
    [](const ::testing::TestParamInfo<FailedStep>& param) {
        return "Exit" + std::to_string(param.param.exitCode) + "_" + std::to_string(param.index);
    });

}  // namespace
}  // namespace lane::moxtel::test
