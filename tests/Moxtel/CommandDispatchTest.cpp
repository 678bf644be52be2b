// The command dispatch: the exit code each command gives, the bill acceptor's ten tries.
#include "Moxtel/CommandDispatch.h"

#include "Moxtel/ExitCodes.h"
#include "tests/Moxtel/MoxtelTestSupport.h"

namespace lane::moxtel::test {
namespace {

class CommandDispatchTest : public LaneFixture {
  protected:
    int Dispatch(const std::string& command) {
        options_.commandGiven = true;
        options_.commandName = command;
        UtilityRun run{rig_.log, rig_.config, options_,      link_,       console,
                       clock,    identity_,   billAcceptor_, endProcess_, paths};
        return DispatchCommand(run, parts_);
    }
    // A handler that records its name and gives `result`.
    UtilityHandler Handler(const std::string& name, int result) {
        return [this, name, result](UtilityRun&) {
            ran_.push_back(name);
            return result;
        };
    }
    std::string CaptureAfterRun() {
        rig_.capture.Close();
        return Capture();
    }

    LogRig rig_{clock, console, paths, registry};
    CUtilityLinkReporter reporter_{rig_.log};
    link::CSecurityModuleLink link_{link::LinkConfig{}, reporter_, clock, paths};
    UtilityOptions options_;
    SecurityModuleIdentity identity_;
    BillAcceptorIdentity billAcceptor_;
    std::function<void(int)> endProcess_ = [](int) { FAIL() << "the process was ended"; };
    UtilityParts parts_;
    std::vector<std::string> ran_;
};

TEST_F(CommandDispatchTest, ABillAcceptorThatFailsEveryUploadIsTriedTenTimes) {
    parts_.commands[kCommandBillAcceptorUpload] = Handler("upload", 24);
    EXPECT_EQ(Dispatch(kCommandBillAcceptorUpload), kExitBillAcceptorUpload);
    EXPECT_EQ(ran_.size(), 10u);
    EXPECT_EQ(options_.billAcceptorRunCount, 10);
    EXPECT_EQ(console.Output(), "ERROR 24, Bill Acceptor Upload Failed after 10 tries.\n");
    const std::string file = CaptureAfterRun();
    for (int count = 1; count <= 10; ++count) {
        EXPECT_TRUE(Contains(file, "   Run Count " + std::to_string(count) + "\n")) << count;
    }
    EXPECT_FALSE(Contains(file, "Run Count 11"));
}

TEST_F(CommandDispatchTest, ABillAcceptorUploadThatSucceedsStopsTrying) {
    int calls = 0;
    parts_.commands[kCommandBillAcceptorUpload] = [&](UtilityRun&) { return ++calls < 3 ? 1 : 0; };
    EXPECT_EQ(Dispatch(kCommandBillAcceptorUpload), kExitSuccess);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(options_.billAcceptorRunCount, 3);
}

TEST_F(CommandDispatchTest, AFailedSecurityModuleUploadGives200) {
    parts_.commands[kCommandSecurityModuleUpload] = Handler("upload", 13);
    EXPECT_EQ(Dispatch(kCommandSecurityModuleUpload), kExitSecurityModuleUpload);
    EXPECT_EQ(console.Output(), "ERROR 14, Upload Failed.\n");
    parts_.commands[kCommandSecurityModuleUpload] = Handler("upload", 0);
    EXPECT_EQ(Dispatch(kCommandSecurityModuleUpload), kExitSuccess);
}

TEST_F(CommandDispatchTest, SettingCommandsEndWithZeroWhateverTheyReport) {
    parts_.commands[kCommandSetSafetySwitch] = Handler("safety", 7);
    parts_.commands[kCommandEPSFlash] = Handler("flash", 1);
    parts_.commands[kCommandTopEPSLL] = Handler("top", 1);
    parts_.commands[kCommandReportCoinDispenserStatus] = [this](UtilityRun& run) {
        ran_.push_back("status after: " + console.Output());
        return run.options.coinSpeedGiven ? 0 : 5;
    };
    EXPECT_EQ(Dispatch(kCommandSetSafetySwitch), kExitSuccess);
    EXPECT_EQ(Dispatch(kCommandEPSLLFlash), kExitSuccess);
    EXPECT_EQ(Dispatch(kCommandReportCoinDispenserStatus), kExitSuccess);
    EXPECT_EQ(ran_, (std::vector<std::string>{"safety", "flash", "top",
                                              "status after: Requesting Status\n"}));
}

TEST_F(CommandDispatchTest, ACommandWithoutAHandlerMatchesNoRowAndGivesZero) {
    parts_.commands["SomethingElse"] = Handler("other", 9);
    parts_.commands[kCommandEPSFlash] = Handler("flash", 0);
    EXPECT_EQ(Dispatch(kCommandGetVersion), kExitSuccess);
    EXPECT_EQ(Dispatch(kCommandBillAcceptorUpload), kExitSuccess);
    EXPECT_EQ(Dispatch("SomethingElse"), kExitSuccess);
    EXPECT_EQ(Dispatch(kCommandEPSLLFlash), kExitSuccess);  // TopEPSLL is not there
    EXPECT_EQ(Dispatch("getversion"), kExitSuccess);
    EXPECT_TRUE(ran_.empty());
    EXPECT_EQ(console.Output(), "");
}

}  // namespace
}  // namespace lane::moxtel::test
