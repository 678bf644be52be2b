// Tests of the record file: what the writer puts down is what the reader gives back.
#include "sim/Record.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/sim/SimTestSupport.h"

namespace lane::sim {
namespace {

using test::Bytes;

TEST(RecordTest, WrittenChunksReadBackByConnectionInOrder) {
    test::TemporaryRoot root;
    const std::string path = root.File("record.txt");
    {
        RecordWriter record;
        ASSERT_EQ(record.Open(path), 0);
        const std::uint8_t start[] = {0x02, 0x56, 0x03, 0x02, 0x48, 0x03};
        const std::uint8_t stop[] = {0xDE, 0xAD, 0xBE, 0xEF, 0xFF, 0xFF};
        record.Note(1, "opened");
        record.Received(1, start, 3);
        record.Received(1, start + 3, 3);
        record.Received(1, start, 0);  // nothing to record
        record.Note(1, "dropped");
        record.Received(2, stop, 6);
        // Written as it goes: readable before the writer ends.
        EXPECT_EQ(test::ReadText(path),
                  "# 1 opened\n1 02 56 03\n1 02 48 03\n# 1 dropped\n2 DE AD BE EF FF FF\n");
    }
    RecordedBytes connections;
    int badLine = 0;
    ASSERT_EQ(ReadRecord(test::ReadText(path), connections, badLine), kRecordOk);
    EXPECT_EQ(connections.at(1), (Bytes{0x02, 0x56, 0x03, 0x02, 0x48, 0x03}));
    EXPECT_EQ(FormatRecordSummary(connections), "1 02 56 03 02 48 03\n2 DE AD BE EF FF FF\n");

    RecordWriter nowhere;
    EXPECT_EQ(nowhere.Open(root.File("missing/record.txt")), 3u);
}

TEST(RecordTest, AFailedWriteIsKeptWithItsReason) {
    RecordWriter full;
    ASSERT_EQ(full.Open("/dev/full"), 0u);
    EXPECT_EQ(full.WriteError(), 0u);
    full.Note(1, "opened");
    EXPECT_EQ(full.WriteError(), 112u);
}

TEST(RecordTest, MalformedLinesAreReportedByNumber) {
    RecordedBytes connections;
    int badLine = 0;
    EXPECT_EQ(ReadRecord("1 0a\r\n\n# note\n12 ff 00", connections, badLine), kRecordOk);
    EXPECT_EQ(connections.at(12), (Bytes{0xFF, 0x00}));
    for (const char* text : {"1\n", "x 01\n", "1 0\n", "1  01\n", "1 01 \n", "1 0G\n", "1 010\n",
                             " 1 01\n", "9999999 01\n"}) {
        EXPECT_EQ(ReadRecord(std::string("1 01\n") + text, connections, badLine), kRecordMalformed)
            << text;
        EXPECT_EQ(badLine, 2) << text;
        EXPECT_TRUE(connections.empty());
    }
}

}  // namespace
}  // namespace lane::sim
