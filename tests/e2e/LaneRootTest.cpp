// Every program refuses an empty LANE_ROOT and a lane root that does not exist, naming it, and
// creates nothing.
#include "tests/e2e/EndToEnd.h"

#include <filesystem>

namespace lane::e2e {
namespace {

struct Program {
    const char* path;
    std::vector<std::string> arguments;
    int exitCode;
    const char* prefix;  // of its line on standard error
};

TEST(LaneRootTest, AnEmptyOrMissingLaneRootIsRefusedByEveryProgram) {
    testing::TempLaneRoot root;
    const std::string scenario = (root / "idle.scn").string();
    std::ofstream(scenario) << "hold 1\n";
    const Program programs[] = {
        {"monitor/Tavrik", {"-Test"}, 4, "Tavrik: "},
        {"tools/reg/lanereg", {"query", "HKLM\\SOFTWARE"}, 1, "ERROR: "},
        {"sim/lanesim", {scenario}, 2, "lanesim: "},
        {"Moxtel/Moxtel", {"-GetVersion"}, 1, "Moxtel: "},
        {"installer/Quillan", {}, 1, "Quillan: "},
    };
    const std::string typo = (root / "lane-typo").string();
    const std::pair<std::string, std::string> settings[] = {
        {"", "LANE_ROOT is set but empty"},
        {typo, "lane root " + typo + " does not exist (LANE_ROOT)"},
    };
    for (const Program& program : programs) {
        for (const auto& [value, message] : settings) {
            SCOPED_TRACE(std::string(program.path) + " with LANE_ROOT=" + value);
            platform::ChildProcess child;
            ASSERT_EQ(child.Start(BinaryPath(program.path), program.arguments,
                                  {{"LANE_ROOT", value}}, true),
                      0u);
            std::string line;
            ASSERT_EQ(child.ReadLine(line, kLineTimeoutMs), 0u);
            EXPECT_EQ(line.rfind(program.prefix + message, 0), 0u) << line;
            platform::ProcessExit exit;
            ASSERT_EQ(child.Wait(exit), 0u);
            EXPECT_FALSE(exit.signalled);
            EXPECT_EQ(exit.code, program.exitCode);
            EXPECT_FALSE(std::filesystem::exists(typo));  // a typo starts no fresh lane
        }
    }
}

}  // namespace
}  // namespace lane::e2e
