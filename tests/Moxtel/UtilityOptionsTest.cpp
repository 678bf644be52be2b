// The command-line parser on argument lists, and the number readings it uses.
#include "Moxtel/UtilityOptions.h"

#include <gtest/gtest.h>

#include "Moxtel/NumberText.h"

namespace lane::moxtel {
namespace {

using Arguments = std::vector<std::string>;

TEST(UtilityOptionsTest, NoArgumentsIsAValidLineForTheMenus) {
    const ParsedCommandLine parsed = ParseCommandLine({});
    EXPECT_TRUE(parsed.valid);
    EXPECT_FALSE(parsed.options.commandGiven);
    EXPECT_TRUE(parsed.options.consoleDisplay);
    EXPECT_TRUE(parsed.options.acknowledgeResults);
    EXPECT_TRUE(parsed.options.internalChecksumCheck);
    EXPECT_TRUE(parsed.notes.empty());
}

TEST(UtilityOptionsTest, ModifiersWithoutACommandAreInvalid) {
    const ParsedCommandLine parsed = ParseCommandLine({"-SupressConsoleDisplay"});
    EXPECT_FALSE(parsed.valid);
    EXPECT_FALSE(parsed.options.consoleDisplay);
    EXPECT_FALSE(parsed.options.acknowledgeResults);
    EXPECT_EQ(parsed.notes, (std::vector<std::string>{"Argument 1 Value:-SupressConsoleDisplay"}));
}

TEST(UtilityOptionsTest, GetUtilityVersionCountsOnlyAsTheFirstArgument) {
    EXPECT_TRUE(FirstArgumentIsGetUtilityVersion({"-getutilityversion", "anything"}));
    EXPECT_FALSE(FirstArgumentIsGetUtilityVersion({"-GetVersion", "-GetUtilityVersion"}));
    EXPECT_FALSE(FirstArgumentIsGetUtilityVersion({}));
    EXPECT_FALSE(ParseCommandLine({"-GetVersion", "-GetUtilityVersion"}).valid);
}

TEST(UtilityOptionsTest, ManufacturingModeCountsOnlyWhenSeenBeforeTheUnknownOption) {
    ParsedCommandLine parsed = ParseCommandLine({"-ManufacturingMode", "-Bogus", "-GetVersion"});
    EXPECT_FALSE(parsed.valid);
    EXPECT_TRUE(parsed.options.manufacturingMode);
    EXPECT_FALSE(parsed.options.commandGiven);  // the parse stopped at the unknown option
    EXPECT_EQ(parsed.notes.size(), 2u);
    parsed = ParseCommandLine({"-Bogus", "-ManufacturingMode"});
    EXPECT_FALSE(parsed.valid);
    EXPECT_FALSE(parsed.options.manufacturingMode);
}

TEST(UtilityOptionsTest, AnOptionWithoutItsValueIsInvalid) {
    const ParsedCommandLine parsed = ParseCommandLine({"-SecurityModuleUpload", "-InputFile"});
    EXPECT_FALSE(parsed.valid);
    EXPECT_TRUE(parsed.options.inputFile.empty());
}

TEST(UtilityOptionsTest, CoinSpeedKeepsItsLowByteAndAtLeast100) {
    struct Case {
        const char* value;
        int logged;
        int kept;
    };
    for (const Case& c : {Case{"50", 50, 100}, Case{"300", 44, 100}, Case{"250", 250, 250},
                          Case{"-6", 250, 250}, Case{"0x80", 0, 100}}) {
        const ParsedCommandLine parsed = ParseCommandLine({"-SetCoinSpeed", c.value});
        ASSERT_TRUE(parsed.valid) << c.value;
        EXPECT_EQ(parsed.options.commandName, kCommandSetCoinSpeed);
        EXPECT_TRUE(parsed.options.coinSpeedGiven);
        EXPECT_EQ(parsed.options.coinSpeed, c.kept) << c.value;
        EXPECT_EQ(parsed.notes,
                  (std::vector<std::string>{"Argument 1 Value:-SetCoinSpeed",
                                            std::string("Argument 2 Value:") + c.value,
                                            "Coin spees value " + std::to_string(c.logged)}));
    }
}

TEST(UtilityOptionsTest, TheLastCommandWinsAndSettingsStayUntilChanged) {
    ParsedCommandLine parsed =
        ParseCommandLine({"-SetSafetySwitchEnable", "-SetSafetySwitchDisable"});
    EXPECT_EQ(parsed.options.commandName, kCommandSetSafetySwitch);
    EXPECT_EQ(parsed.options.setting, 0);
    parsed = ParseCommandLine({"-SetSafetySwitchType2", "-GetVersion"});
    EXPECT_EQ(parsed.options.commandName, kCommandGetVersion);
    EXPECT_EQ(parsed.options.setting, 2);
    parsed = ParseCommandLine({"-HardwareVersionRequest", "c:\\hw.txt", "-SetEPSLLFlash"});
    EXPECT_EQ(parsed.options.commandName, kCommandEPSLLFlash);
    EXPECT_EQ(parsed.options.setting, 1);
    EXPECT_EQ(parsed.options.hardwareVersionFile, "c:\\hw.txt");
}

TEST(UtilityOptionsTest, OptionsCompareInAnyCaseAndReadTheirValues) {
    const ParsedCommandLine parsed = ParseCommandLine({"-inputfile",
                                                       "C:\\FirmwareUpdate\\A.TSK",
                                                       "-ALTINPUTFILE",
                                                       "b.tsk",
                                                       "-InputFileChecksum",
                                                       "1A2b",
                                                       "-UpLoadChecksum",
                                                       "0xFFFFFFFF",
                                                       "-TargetType",
                                                       "Usb",
                                                       "-SC83",
                                                       "sc83.bin",
                                                       "-MinSecurityModuleVersion",
                                                       "353",
                                                       "-SetCurtainBreakWindow",
                                                       "-25",
                                                       "-AutoUpdate",
                                                       "-NoInternalFileChecksumCheck",
                                                       "-SuppressAcknowledgeResults",
                                                       "-securitymoduleupload"});
    ASSERT_TRUE(parsed.valid);
    const UtilityOptions& o = parsed.options;
    EXPECT_EQ(o.commandName, kCommandSecurityModuleUpload);
    EXPECT_EQ(o.inputFile, "C:\\FirmwareUpdate\\A.TSK");
    EXPECT_EQ(o.altInputFile, "b.tsk");
    EXPECT_EQ(o.inputFileChecksum, 0x1A2Bu);
    EXPECT_EQ(o.uploadChecksum, 0xFFFFFFFFu);
    EXPECT_EQ(o.targetType, 'U');
    EXPECT_EQ(o.billAcceptorImageSC83, "sc83.bin");
    EXPECT_EQ(o.minSecurityModuleVersion, 353);
    EXPECT_EQ(o.curtainBreakWindow, -25);
    EXPECT_TRUE(o.autoUpdate);
    EXPECT_FALSE(o.internalChecksumCheck);
    EXPECT_FALSE(o.acknowledgeResults);
    EXPECT_TRUE(o.consoleDisplay);
    ASSERT_EQ(parsed.notes.size(), 20u);
    EXPECT_EQ(parsed.notes[1], "Argument 2 Value:C:\\FirmwareUpdate\\A.TSK");
    EXPECT_EQ(parsed.notes[19], "Argument 20 Value:-securitymoduleupload");
}

TEST(NumberTextTest, DecimalAndHexadecimalReadTheLeadingNumber) {
    EXPECT_EQ(DecimalValue("  42abc"), 42);
    EXPECT_EQ(DecimalValue("-7"), -7);
    EXPECT_EQ(DecimalValue("+"), 0);
    EXPECT_EQ(DecimalValue(""), 0);
    EXPECT_EQ(DecimalValue("99999999999999999999"), 2147483647);
    EXPECT_EQ(DecimalValue("-99999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(HexValue("0x1f"), 0x1Fu);
    EXPECT_EQ(HexValue(" ABCDEFg"), 0xABCDEFu);
    EXPECT_EQ(HexValue("0x"), 0u);
    EXPECT_EQ(HexValue("123456789"), 0x23456789u);  // kept modulo 2^32
    EXPECT_EQ(HexValue("zz"), 0u);
}

TEST(NumberTextTest, AChecksumIsAWholeHexadecimalNumberOfAtMost32Bits) {
    for (const char* good : {"0", "1a2B", "0x1f", "0XFFFFFFFF", "ffffffff"}) {
        EXPECT_TRUE(IsHexNumber(good)) << good;
        EXPECT_TRUE(ParseCommandLine({"-InputFileChecksum", good, "-SecurityModuleUpload"})
                        .options.inputFileChecksumValid)
            << good;
    }
    for (const char* bad : {"ZZZ", "", "0x", "12zz", " 12", "12 ", "-1", "123456789", "0x0x1"}) {
        EXPECT_FALSE(IsHexNumber(bad)) << bad;
        const ParsedCommandLine parsed =
            ParseCommandLine({"-InputFileChecksum", bad, "-SecurityModuleUpload"});
        EXPECT_TRUE(parsed.valid) << bad;  // refused by the upload, with its exit code
        EXPECT_FALSE(parsed.options.inputFileChecksumValid) << bad;
        EXPECT_EQ(parsed.options.inputFileChecksumText, bad);
    }
}

}  // namespace
}  // namespace lane::moxtel
