// Tests of the ".reg" text form: parsing, writing, round trips and damaged input.
#include "platform/RegText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lane::platform {
namespace {

const RegKey* KeyAt(const RegHive& hive, const std::string& key) {
    std::vector<std::string> path;
    EXPECT_TRUE(SplitRegKeyPath(key, path));
    return hive.Find(path);
}

RegHive Parsed(const std::string& text) {
    RegHive hive;
    EXPECT_EQ(ParseRegHive(text, hive), RegTextStatus::Ok);
    return hive;
}

const std::string kSample =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel\\Tavrik]\r\n"
    "\"LoggingState\"=dword:00000002\r\n"
    "\"TraceFileName\"=\"c:\\\\tavrikitor.trc\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel\\Tavrik\\Values]\r\n"
    "\"StatusBillAcceptor\"=\"Green\"\r\n"
    "\r\n";

TEST(RegTextTest, ReadsKeysAndTheirValuesInOrder) {
    const RegHive hive = Parsed(kSample);
    const RegKey* tavrik = KeyAt(hive, "SOFTWARE\\Quarnel\\Tavrik");
    ASSERT_NE(tavrik, nullptr);
    ASSERT_EQ(tavrik->Values().size(), 2u);
    EXPECT_EQ(tavrik->Values()[0].name, "LoggingState");
    EXPECT_EQ(tavrik->Values()[0].value.type, RegValue::Type::Dword);
    EXPECT_EQ(tavrik->Values()[0].value.dword, 2u);
    EXPECT_EQ(tavrik->Values()[1].name, "TraceFileName");
    EXPECT_EQ(tavrik->Values()[1].value.text, "c:\\tavrikitor.trc");
    const RegKey* values = KeyAt(hive, "software\\QUARNEL\\tavrik\\values");
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(values->Name(), "Values");
    EXPECT_EQ(values->FindValue("statusbillacceptor")->value.text, "Green");
}

TEST(RegTextTest, WritesTheExportFormWithParentSectionsAndCrLf) {
    RegHive hive;
    std::vector<std::string> path;
    ASSERT_TRUE(SplitRegKeyPath("SOFTWARE\\Quarnel\\Tavrik", path));
    hive.Create(path).SetValue(RegTextValue{"LoggingState", RegValue::Dword(10), {}});
    hive.Create(path).SetValue(RegTextValue{"Port", RegValue::String("7"), {}});
    hive.Create(path).SetValue(RegTextValue{"Quote", RegValue::String("a \"b\" \\c\\"), {}});
    EXPECT_EQ(WriteRegText(hive),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel]\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel\\Tavrik]\r\n"
              "\"LoggingState\"=dword:0000000a\r\n"
              "\"Port\"=\"7\"\r\n"
              "\"Quote\"=\"a \\\"b\\\" \\\\c\\\\\"\r\n"
              "\r\n");
}

TEST(RegTextTest, AnEmptyHiveIsTheHeaderAlone) {
    EXPECT_EQ(WriteRegText(RegHive()), "Windows Registry Editor Version 5.00\r\n\r\n");
}

TEST(RegTextTest, WrittenTextReadsBackIdentically) {
    const RegHive hive = Parsed(kSample);
    const std::string written = WriteRegText(hive);
    EXPECT_EQ(WriteRegText(Parsed(written)), written);
}

TEST(RegTextTest, SubkeysAreWrittenInNameOrderIgnoringCase) {
    RegHive hive;
    for (const char* name : {"b", "C", "a"}) {
        hive.Create({"SOFTWARE", name});
    }
    EXPECT_EQ(WriteRegText(hive),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\a]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\b]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\C]\r\n\r\n");
}

TEST(RegTextTest, LfLinesOddSpacingCommentsAndUnknownLinesAreTolerated) {
    const RegHive hive = Parsed(
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
        "; a comment\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane]   \n"
        "  \"SecurityModuleType\"   =   \"USB_SECURITY_MODULE\"  \n"
        "this line means nothing\n"
        "\"Broken=\"\n"
        "\"NoEquals\" \"x\"\n"
        "\"BadDword\"=dword:123456789\n"
        "\"BadDword2\"=dword:12z\n"
        "\"Count\"=DWORD:0000FFFF\n");
    const RegKey* lane = KeyAt(hive, "SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane");
    ASSERT_NE(lane, nullptr);
    ASSERT_EQ(lane->Values().size(), 2u);
    EXPECT_EQ(lane->FindValue("SecurityModuleType")->value.text, "USB_SECURITY_MODULE");
    EXPECT_EQ(lane->FindValue("count")->value.dword, 0xFFFFu);
}

// What a rewrite would lose is reported statement by statement; what the hive keeps (values,
// those of other types with their continuation lines, deletions, blank lines) is not.
TEST(RegTextTest, StatementsTheHiveCannotKeepAreReportedWithTheirLineAndSection) {
    RegHive hive;
    std::vector<RegSkippedStatement> skipped;
    ASSERT_EQ(ParseRegHive("\n"
                           "Windows Registry Editor Version 5.00\n"
                           "; a comment\n"
                           "[HKEY_LOCAL_MACHINE\\A]\n"
                           "\"NoEquals\" \"x\"\n"
                           "\"Odd\"=hex(7):41,zz,\\\n"
                           "  00\n"
                           "\"Kept\"=hex(7):41,00,\\\n"
                           "  42,00\n"
                           "\"Gone\"=-\n"
                           "\n"
                           "[-HKEY_LOCAL_MACHINE]\n"
                           "\"Orphan\"=\"1\"\n"
                           "[-HKEY_LOCAL_MACHINE\\B]\n"
                           "[HKEY_LOCAL_MACHINE\\A\n",
                           hive, &skipped),
              RegTextStatus::Ok);
    const std::vector<std::pair<std::size_t, std::string>> expected = {
        {3, "; a comment"},       {5, "\"NoEquals\" \"x\""},      {12, "[-HKEY_LOCAL_MACHINE]"},
        {13, "\"Orphan\"=\"1\""}, {15, "[HKEY_LOCAL_MACHINE\\A"},
    };
    ASSERT_EQ(skipped.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(skipped[i].line, expected[i].first) << i;
        EXPECT_EQ(skipped[i].text, expected[i].second) << i;
    }
    EXPECT_EQ(skipped[0].section, "");
    EXPECT_EQ(skipped[1].section, "[HKEY_LOCAL_MACHINE\\A]");
    EXPECT_EQ(skipped[3].section, "");
    EXPECT_NE(KeyAt(hive, "A")->FindValue("Kept"), nullptr);
    EXPECT_EQ(KeyAt(hive, "A")->FindValue("Odd")->verbatim, "hex(7):41,zz,00");
}

TEST(RegTextTest, OtherTypesAreKeptAsWrittenAndHexStringsAndDwordsAreDecoded) {
    const RegHive hive = Parsed(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n"
        "\"Expand\"=hex(2):25,00,41,00,25,00,\\\r\n"
        "  00,00\r\n"
        "\"Binary\"=hex:01,02,ff\r\n"
        "\"Text\"=hex(1):4f,00,4b,00,00,00\r\n"
        "\"Number\"=hex(4):0a,00,00,00\r\n"
        "@=\"default\"\r\n");
    const RegKey* key = KeyAt(hive, "SOFTWARE\\X");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->FindValue("Expand")->verbatim, "hex(2):25,00,41,00,25,00,00,00");
    EXPECT_EQ(key->FindValue("Binary")->verbatim, "hex:01,02,ff");
    EXPECT_EQ(key->FindValue("Text")->value.text, "OK");
    EXPECT_EQ(key->FindValue("Number")->value.type, RegValue::Type::Dword);
    EXPECT_EQ(key->FindValue("Number")->value.dword, 10u);
    EXPECT_EQ(key->FindValue("")->value.text, "default");
    const std::string written = WriteRegText(hive);
    EXPECT_NE(written.find("\"Expand\"=hex(2):25,00,41,00,25,00,00,00\r\n"), std::string::npos);
    EXPECT_NE(written.find("@=\"default\"\r\n"), std::string::npos);
}

TEST(RegTextTest, DeletionsApplyInOrder) {
    const RegHive hive = Parsed(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B]\r\n"
        "\"x\"=\"1\"\r\n"
        "\"y\"=\"2\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\C]\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B]\r\n"
        "\"X\"=-\r\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\C]\r\n"
        "\"ignored\"=\"after a deletion\"\r\n");
    const RegKey* b = KeyAt(hive, "SOFTWARE\\A\\B");
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->Values().size(), 1u);
    EXPECT_EQ(b->Values()[0].name, "y");
    EXPECT_EQ(KeyAt(hive, "SOFTWARE\\C"), nullptr);
}

TEST(RegTextTest, OtherRootsAreSkipped) {
    const RegHive hive = Parsed(
        "REGEDIT4\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\X]\r\n"
        "\"a\"=\"1\"\r\n"
        "[hkey_local_machine\\Software\\Y]\r\n"
        "\"b\"=\"2\"\r\n");
    EXPECT_EQ(KeyAt(hive, "Software\\X"), nullptr);
    ASSERT_NE(KeyAt(hive, "Software\\Y"), nullptr);
}

TEST(RegTextTest, KeysAndValuesMeetIgnoringCaseAndKeepTheirFirstSpelling) {
    const RegHive hive = Parsed(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel]\r\n"
        "\"First\"=\"1\"\r\n"
        "\"Second\"=\"2\"\r\n"
        "[HKEY_LOCAL_MACHINE\\software\\QUARNEL]\r\n"
        "\"FIRST\"=\"3\"\r\n");
    const RegKey* key = KeyAt(hive, "Software\\Quarnel");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Name(), "Quarnel");
    ASSERT_EQ(key->Values().size(), 2u);
    EXPECT_EQ(key->Values()[0].name, "First");
    EXPECT_EQ(key->Values()[0].value.text, "3");
    EXPECT_EQ(key->Values()[1].name, "Second");
}

TEST(RegTextTest, LongValuesAreKeptWhole) {
    const std::string longText(5000, 'x');
    RegHive hive;
    hive.Create({"A"}).SetValue(RegTextValue{"Long", RegValue::String(longText), {}});
    const RegHive again = Parsed(WriteRegText(hive));
    EXPECT_EQ(KeyAt(again, "A")->FindValue("Long")->value.text, longText);
}

TEST(RegTextTest, StringsWithLineEndsAndAnyBytesSurviveAsHexStrings) {
    const std::string texts[] = {"two\r\nlines",
                                 "lf\n",
                                 "\xC3\xA9t\xC3\xA9\n\xF0\x9F\x98\x80",
                                 "bad \xFF\xC3 utf8\r",
                                 std::string("nul\0inside\n", 11),
                                 std::string("ends in zeros\n\0\0", 16)};
    for (const auto& text : texts) {
        RegHive hive;
        hive.Create({"A"}).SetValue(RegTextValue{"v", RegValue::String(text), {}});
        const std::string written = WriteRegText(hive);
        EXPECT_NE(written.find("\"v\"=hex(1):"), std::string::npos);
        const RegHive again = Parsed(written);
        EXPECT_EQ(KeyAt(again, "A")->FindValue("v")->value.text, text);
        EXPECT_EQ(WriteRegText(again), written);
    }
}

TEST(RegTextTest, Utf16LeFilesWithTheirMarkAreRead) {
    const std::string utf8 =
        "Windows Registry Editor Version "
        "5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"n\"=\"\xC3\xA9\"\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char16_t unit : Utf8ToUtf16(utf8)) {
        utf16 += static_cast<char>(unit & 0xFF);
        utf16 += static_cast<char>(unit >> 8);
    }
    const RegHive hive = Parsed(utf16);
    ASSERT_NE(KeyAt(hive, "A"), nullptr);
    EXPECT_EQ(KeyAt(hive, "A")->FindValue("n")->value.text, "\xC3\xA9");
}

TEST(RegTextTest, ATextWithoutTheHeaderIsNotARegText) {
    RegHive hive;
    EXPECT_EQ(ParseRegHive("[HKEY_LOCAL_MACHINE\\A]\r\n", hive), RegTextStatus::NotRegText);
    EXPECT_EQ(ParseRegHive("garbage", hive), RegTextStatus::NotRegText);
    EXPECT_EQ(ParseRegHive("", hive), RegTextStatus::Ok);
    EXPECT_EQ(ParseRegHive(" \r\n\r\n", hive), RegTextStatus::Ok);
}

TEST(RegTextTest, ABatchCarriesTheStatementsOfAFile) {
    RegBatch batch;
    std::size_t skipped = 0;
    ASSERT_EQ(ParseRegBatch("Windows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\A]\r\n"
                            "\"s\"=\"x\"\r\n"
                            "\"d\"=dword:00000001\r\n"
                            "\"h\"=hex:00\r\n"
                            "\"gone\"=-\r\n"
                            "[-HKEY_LOCAL_MACHINE\\B]\r\n",
                            batch, skipped),
              RegTextStatus::Ok);
    EXPECT_EQ(skipped, 1u);
    using Kind = RegBatch::Change::Kind;
    const auto& changes = batch.Changes();
    ASSERT_EQ(changes.size(), 5u);
    EXPECT_EQ(changes[0].kind, Kind::CreateKey);
    EXPECT_EQ(changes[1].kind, Kind::SetValue);
    EXPECT_EQ(changes[1].value.text, "x");
    EXPECT_EQ(changes[2].value.dword, 1u);
    EXPECT_EQ(changes[3].kind, Kind::DeleteValue);
    EXPECT_EQ(changes[3].name, "gone");
    EXPECT_EQ(changes[4].kind, Kind::DeleteKey);
    EXPECT_EQ(changes[4].key, "B");
}

TEST(RegTextTest, KeyPathsSplitAndRefuseLineEnds) {
    std::vector<std::string> names;
    ASSERT_TRUE(SplitRegKeyPath("\\SOFTWARE\\\\Quarnel\\", names));
    EXPECT_EQ(names, (std::vector<std::string>{"SOFTWARE", "Quarnel"}));
    EXPECT_FALSE(SplitRegKeyPath("A\nB", names));
    EXPECT_FALSE(IsValidRegValueName("a\rb"));
    EXPECT_EQ(JoinRegKeyPath({"A", "B"}), "A\\B");
}

// Rewriting whatever was read must be stable: write(parse(write(parse(x)))) == write(parse(x)).
void ExpectStable(const std::string& text) {
    RegHive hive;
    if (ParseRegHive(text, hive) != RegTextStatus::Ok) {
        return;
    }
    const std::string written = WriteRegText(hive);
    RegHive again;
    ASSERT_EQ(ParseRegHive(written, again), RegTextStatus::Ok);
    ASSERT_EQ(WriteRegText(again), written);
}

const std::string kEveryForm =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel\\Tavrik]\r\n"
    "\"LoggingState\"=dword:00000002\r\n"
    "\"Path\"=\"c:\\\\x\\\\\"\r\n"
    "\"Q\"=\"say \\\"hi\\\"\"\r\n"
    "@=\"d\"\r\n"
    "\"E\"=hex(2):25,00,41,00,\\\r\n  00,00\r\n"
    "\"T\"=hex(1):41,00,0a,00,00,00\r\n"
    "; comment\r\n"
    "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel\\Tavrik\\Values]\r\n"
    "\"X\"=-\r\n"
    "\"StatusBillAcceptor\"=\"Green\"\r\n";

TEST(RegTextTest, EveryPrefixAndEverySplitOfATextParsesAndRewritesStably) {
    for (std::size_t length = 0; length <= kEveryForm.size(); ++length) {
        // The prefix sits in its own buffer so that a read past its end is caught by sanitizers.
        const std::vector<char> buffer(kEveryForm.begin(), kEveryForm.begin() + length);
        ExpectStable(std::string(buffer.begin(), buffer.end()));
    }
}

TEST(RegTextTest, ADamagedByteAtAnyOffsetNeverBreaksTheReader) {
    const char damages[] = {'\0', '\n', '\r', '"', '\\', '[', ']', '=', '@', '-', ';', ',', '\xFF'};
    for (std::size_t offset = 0; offset < kEveryForm.size(); ++offset) {
        for (char damage : damages) {
            std::string text = kEveryForm;
            text[offset] = damage;
            ExpectStable(text);
        }
    }
}

}  // namespace
}  // namespace lane::platform
