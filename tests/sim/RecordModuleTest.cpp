// Tests of the record's module lines: written by handle, read back beside the pipe's bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/Record.h"
#include "tests/sim/SimTestSupport.h"

namespace lane::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(RecordModuleTest, ModulePacketsAreWrittenAndReadBackInOrder) {
    test::TemporaryRoot root;
    const std::string path = root.File("record.txt");
    {
        RecordWriter record;
        ASSERT_EQ(record.Open(path), 0);
        record.Note(1, "opened");
        record.ModuleNote(3, "opened SecModuleDevice0 (access 40000000, share 3, flags 00000000)");
        const std::uint8_t open[] = {0x07, 0x02, 0x00, 0x09};
        const std::uint8_t data[] = {0x02, 0x56, 0x03};
        const std::uint8_t close[] = {0x07, 0x03, 0x00, 0x0A};
        record.ModuleReceived(3, open, sizeof open);
        record.Received(1, data, sizeof data);
        record.ModuleReceived(3, close, 0);  // nothing for an empty write
        record.ModuleReceived(12, close, sizeof close);
        record.ModuleNote(3, "closed by the program");
    }
    const std::string text = test::ReadText(path);
    EXPECT_EQ(text,
              "# 1 opened\n"
              "# D3 opened SecModuleDevice0 (access 40000000, share 3, flags 00000000)\n"
              "D3 07 02 00 09\n"
              "1 02 56 03\n"
              "D12 07 03 00 0A\n"
              "# D3 closed by the program\n");

    RecordContents contents;
    int badLine = 0;
    ASSERT_EQ(ReadRecord(text, contents, badLine), kRecordOk);
    ASSERT_EQ(contents.modulePackets.size(), 2u);
    EXPECT_EQ(contents.modulePackets[0].handle, 3);
    EXPECT_EQ(contents.modulePackets[1].handle, 12);
    EXPECT_EQ(contents.modulePackets[1].bytes, (Bytes{0x07, 0x03, 0x00, 0x0A}));
    EXPECT_EQ(contents.connections.at(1), (Bytes{0x02, 0x56, 0x03}));
    EXPECT_EQ(FormatRecordSummary(contents), "1 02 56 03\nD3 07 02 00 09\nD12 07 03 00 0A\n");

    // The pipe-only reader takes module lines and leaves them out.
    RecordedBytes connections;
    ASSERT_EQ(ReadRecord(text, connections, badLine), kRecordOk);
    EXPECT_EQ(FormatRecordSummary(connections), "1 02 56 03\n");
}

TEST(RecordModuleTest, MalformedModuleLinesAreReportedByNumber) {
    RecordContents contents;
    int badLine = 0;
    for (const char* text : {"D\n", "D 01\n", "D1\n", "D1 0\n", "Dx 01\n", "d1 01\n", "D1  01\n"}) {
        EXPECT_EQ(ReadRecord(std::string("D1 01\n") + text, contents, badLine), kRecordMalformed)
            << text;
        EXPECT_EQ(badLine, 2) << text;
        EXPECT_TRUE(contents.modulePackets.empty());
    }
}

}  // namespace
}  // namespace lane::sim
