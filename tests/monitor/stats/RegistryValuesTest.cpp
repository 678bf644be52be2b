// The text forms of registry values: how each kind is written and which texts read back.
#include "monitor/stats/RegistryValues.h"

#include <gtest/gtest.h>

#include <string>

#include "common/TimeText.h"
#include "tests/monitor/stats/StatsTestSupport.h"

namespace lane::monitor {
namespace {

using testing::LocalSeconds;

TEST(RegistryTextForms, BooleansAreTrueOnlyForTheWordTrue) {
    for (const char* text : {"TRUE", "True", "true", "tRuE"}) {
        EXPECT_TRUE(BooleanFromText(text)) << text;
    }
    for (const char* text : {"yes", "1", "", "TRUE ", " true", "false", "truth"}) {
        EXPECT_FALSE(BooleanFromText(text)) << text;
    }
    EXPECT_STREQ(BooleanText(true), "true");
    EXPECT_STREQ(BooleanText(false), "false");
}

TEST(RegistryTextForms, NumbersScanAsUnsignedDecimal) {
    const std::pair<const char*, std::uint32_t> readable[] = {
        {"42", 42u},
        {"  7", 7u},
        {"12 presses", 12u},
        {"+5", 5u},
        {"4294967295", 4294967295u},
        {"-1", 4294967295u},
        {"0x1F", 0u},
    };
    for (const auto& [text, expected] : readable) {
        std::uint32_t value = 99;
        EXPECT_TRUE(ParseNumberText(text, value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
    for (const char* text : {"", "abc", "-", " ", "x1"}) {
        std::uint32_t value = 99;
        EXPECT_FALSE(ParseNumberText(text, value)) << text;
        EXPECT_EQ(value, 99u) << text;
    }
    EXPECT_EQ(NumberText(4000000), "4000000");
}

TEST(RegistryTextForms, TimesReadAsLocalTimeAndWriteInFullWidth) {
    std::time_t value = 0;
    ASSERT_TRUE(ParseTimeText("2004-7-3 9:5:0", value));
    EXPECT_EQ(value, LocalSeconds(2004, 7, 3, 9, 5, 0));
    EXPECT_EQ(RegistryTimeText(value), "2004-07-03 09:05:00");
    // A winter time too, so whichever half of the year has daylight saving is covered.
    ASSERT_TRUE(ParseTimeText("2004-12-24 23:59:59", value));
    EXPECT_EQ(RegistryTimeText(value), "2004-12-24 23:59:59");
    ASSERT_TRUE(ParseTimeText("2004-07-03   09:05:00 and more", value));
    EXPECT_EQ(value, LocalSeconds(2004, 7, 3, 9, 5, 0));
    ASSERT_TRUE(ParseTimeText("2004-07-03\t09:05:00", value));
    EXPECT_EQ(value, LocalSeconds(2004, 7, 3, 9, 5, 0));

    const char* unreadable[] = {
        "",
        "yesterday",
        "2004-07-03",
        "2004-07-03T09:05:00",
        "2004/07/03 09:05:00",
        "2004-13-01 00:00:00",
        "2004-00-10 00:00:00",
        "2004-07-32 00:00:00",
        "2004-07-03 24:00:00",
        "2004-07-03 09:60:00",
        "2004-07-03 09:05:60",
        "99999999999-1-1 0:0:0",
        "2004 -07-03 09:05:00",
        "2004-07-0309:05:00",
    };
    for (const char* text : unreadable) {
        std::time_t kept = 123;
        EXPECT_FALSE(ParseTimeText(text, kept)) << text;
        EXPECT_EQ(kept, 123) << text;
    }
}

TEST(RegistryTextForms, StatesAndColoursMatchExactly) {
    for (std::uint32_t i = 0; i <= 7; ++i) {
        DeviceState state = DeviceState::LowUsage;
        ASSERT_TRUE(ParseStateText(DeviceStateText(static_cast<DeviceState>(i)), state)) << i;
        EXPECT_EQ(state, static_cast<DeviceState>(i));
    }
    for (const char* text : {"Check Sum Error", "Low Usage", "jammed", "JAMMED", "Jammed ", ""}) {
        DeviceState state = DeviceState::Offline;
        EXPECT_FALSE(ParseStateText(text, state)) << text;
        EXPECT_EQ(state, DeviceState::Offline);
    }
    EXPECT_STREQ(DeviceStateText(DeviceState::CassetteRemoved), "Cassette Removed");
    EXPECT_STREQ(DeviceStateText(DeviceState::CheckSumError), "Check Sum Error");
    EXPECT_STREQ(DeviceStateText(DeviceState::LowUsage), "Low Usage");
    EXPECT_STREQ(DeviceStateText(static_cast<DeviceState>(10)), "");

    StatusColour colour = StatusColour::Green;
    ASSERT_TRUE(ParseColourText("Yellow", colour));
    EXPECT_EQ(colour, StatusColour::Yellow);
    ASSERT_TRUE(ParseColourText("Red", colour));
    EXPECT_EQ(colour, StatusColour::Red);
    EXPECT_FALSE(ParseColourText("green", colour));
    EXPECT_FALSE(ParseColourText("Amber", colour));
    EXPECT_EQ(colour, StatusColour::Red);
    EXPECT_STREQ(StatusColourText(static_cast<StatusColour>(3)), "");
}

TEST(RegistryKeyReaderTest, ReadsOneKeyByNameIgnoringCase) {
    testing::ScratchFolder folder;
    platform::Registry registry(folder.File("hive.reg"));
    const std::string key = "SOFTWARE\\Test";
    platform::RegBatch batch;
    RegistryKeyWriter writer(batch, key);
    writer.WriteText("Longest", std::string(260, 'a'));
    writer.WriteText("TooLong", std::string(261, 'b'));
    writer.WriteDword("Size", 40);
    writer.WriteNumber("Count", 17);
    ASSERT_EQ(registry.Apply(batch), 0u);

    const RegistryKeyReader reader(registry, key);
    EXPECT_EQ(reader.Result(), 0u);
    std::string text = "kept";
    EXPECT_TRUE(reader.ReadText("longest", text));
    EXPECT_EQ(text.size(), 260u);
    text = "kept";
    EXPECT_FALSE(reader.ReadText("TooLong", text));
    EXPECT_FALSE(reader.ReadText("Missing", text));
    EXPECT_FALSE(reader.ReadText("Size", text));
    EXPECT_EQ(text, "kept");
    std::uint32_t number = 5;
    EXPECT_FALSE(reader.ReadDword("Count", number));
    EXPECT_FALSE(reader.ReadNumber("Size", number));
    EXPECT_EQ(number, 5u);
    EXPECT_TRUE(reader.ReadDword("SIZE", number));
    EXPECT_EQ(number, 40u);
    EXPECT_TRUE(reader.ReadNumber("count", number));
    EXPECT_EQ(number, 17u);

    const RegistryKeyReader missing(registry, "SOFTWARE\\Nothing");
    EXPECT_EQ(missing.Result(), 2u);
    EXPECT_FALSE(missing.ReadNumber("Count", number));
}

}  // namespace
}  // namespace lane::monitor
