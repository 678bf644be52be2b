// Trace lines: their texts, the list in display mode, the queue and the trace file's size limit.
#include "monitor/acquisition/TraceLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "common/FakeClock.h"
#include "common/TimeText.h"
#include "monitor/acquisition/MessageTrace.h"
#include "monitor/acquisition/TraceFileWriter.h"

namespace lane::monitor {
namespace {

std::time_t LocalSeconds(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    return FromLocalTm(local);
}

// The queued lines, without their line feeds. Under the queue lock.
std::vector<std::string> QueuedLines(CTraceQueue& queue) {
    std::vector<std::string> lines;
    const std::string& text = queue.Text();
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        EXPECT_NE(end, std::string::npos) << "a queued line without its line feed";
        if (end == std::string::npos) {
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

class TraceLogTest : public ::testing::Test {
  protected:
    TraceLogTest() {
        trace.SetDisplayList(&list);
        trace.SetTraceQueue(&queue);
    }
    std::string LastMessage() { return list.Snapshot().back().message; }

    FakeClock clock{WallTime{LocalSeconds(2024, 3, 5, 14, 7, 9), 42}};
    CTraceList list;
    CTraceQueue queue;
    CTraceLog trace{clock};
};

TEST_F(TraceLogTest, OperationsBuildTheirMessageTexts) {
    trace.TraceText("7 bytes rec'd from SecMod");
    EXPECT_EQ(LastMessage(), "7 bytes rec'd from SecMod");
    trace.TraceNote("Jam");
    EXPECT_EQ(LastMessage(), "  ** Jam **");
    const std::uint8_t raw[] = {0xA3, 0x01};
    trace.TraceRawInput(raw, 2);
    EXPECT_EQ(LastMessage(), "(A3 01 ) -- Raw Input --");
    std::string badData;
    trace.SetBadDataRecorder([&](std::time_t, const std::string& hex) { badData = hex; });
    const std::uint8_t unknown[] = {0x50};
    trace.TraceUnknown(unknown, 1);
    EXPECT_EQ(LastMessage(), "50  ** UNKNOWN MESSAGE **");
    EXPECT_EQ(badData, "50 ");
}

TEST_F(TraceLogTest, LinesCarryTheLocalTimeInListAndQueue) {
    trace.TraceText("hello");
    const TraceListItem item = list.Snapshot().back();
    EXPECT_EQ(item.time, "20240305 14:07:09.042");
    std::lock_guard<std::mutex> lock(queue.Lock());
    EXPECT_EQ(QueuedLines(queue), std::vector<std::string>{"20240305 14:07:09.042 : hello"});
    EXPECT_TRUE(queue.lineQueued.IsSet());
}

TEST_F(TraceLogTest, LongTextsAreCutTo999CharactersAndHexDumpsTo333Bytes) {
    trace.TraceText(std::string(1500, 'x'));
    EXPECT_EQ(LastMessage().size(), 999u);
    const std::vector<std::uint8_t> bytes(400, 0x11);
    trace.TraceRawInput(bytes.data(), bytes.size());
    // "(" then 332 bytes reach 997 characters; the suffix is then cut at 999.
    EXPECT_EQ(LastMessage().substr(0, 4), "(11 ");
    EXPECT_EQ(LastMessage().size(), 999u);
}

TEST_F(TraceLogTest, ACollectingThreadQueuesItsLinesInBatchesWithOneWakeEach) {
    int handOvers = 0;
    trace.SetHandOverHook([&handOvers] { ++handOvers; });
    // The screen: lines shown so far, and how many of them it was told to write out.
    std::size_t shown = 0;
    std::size_t flushedAt = 0;
    list.SetObserver([&shown](const TraceListItem&) { ++shown; },
                     [&shown, &flushedAt] { flushedAt = shown; });
    const auto takeQueue = [this] {
        std::vector<std::string> taken = QueuedLines(queue);
        queue.Text().clear();
        queue.lineQueued.Reset();
        return taken;
    };
    trace.BeginCollecting();
    // Nothing collected: the reader may wait for input without limit.
    EXPECT_EQ(trace.HandOverWaitMs(), kInfiniteMs);
    trace.TraceText("one");
    EXPECT_EQ(trace.HandOverWaitMs(), kHandOverDelayMs);
    trace.TraceText("two");
    // The list shows each line at once; the file's queue and the screen's write wait for the
    // hand-over.
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_EQ(shown, 2u);
    EXPECT_EQ(flushedAt, 0u);
    EXPECT_TRUE(queue.Text().empty());
    EXPECT_FALSE(queue.lineQueued.IsSet());
    // Another thread's line is not held back, unless that thread is in a batch of its own.
    std::thread([this] { trace.TraceText("other"); }).join();
    ASSERT_EQ(takeQueue().size(), 1u);
    EXPECT_EQ(flushedAt, 3u);
    std::thread([this, &flushedAt] {
        trace.BeginThreadBatch();
        trace.TraceNote("a");
        trace.TraceNote("b");
        EXPECT_TRUE(queue.Text().empty());
        EXPECT_EQ(flushedAt, 3u);
        trace.EndThreadBatch();
        EXPECT_EQ(flushedAt, 5u);
    }).join();
    EXPECT_EQ(takeQueue(), (std::vector<std::string>{"20240305 14:07:09.042 :   ** a **",
                                                     "20240305 14:07:09.042 :   ** b **"}));

    trace.TraceText("three");
    trace.HandOver();
    EXPECT_EQ(flushedAt, 6u);
    EXPECT_EQ(trace.HandOverWaitMs(), kInfiniteMs);
    EXPECT_TRUE(queue.lineQueued.IsSet());
    const auto batch = takeQueue();
    ASSERT_EQ(batch.size(), 3u);
    EXPECT_EQ(batch[1], "20240305 14:07:09.042 : two");
    EXPECT_EQ(batch[2], "20240305 14:07:09.042 : three");
    EXPECT_EQ(handOvers, 1);

    // A long batch is handed over by itself at its size; the stop hands over the rest.
    for (std::size_t i = 0; i < kHandOverLines + 3; ++i) {
        trace.TraceText("line " + std::to_string(i));
    }
    EXPECT_EQ(takeQueue().size(), kHandOverLines);
    EXPECT_EQ(handOvers, 2);
    trace.EndCollecting();
    const auto rest = takeQueue();
    ASSERT_EQ(rest.size(), 3u);
    EXPECT_EQ(rest.back(), "20240305 14:07:09.042 : line " + std::to_string(kHandOverLines + 2));
    // Not collecting any more: each line is queued as it comes.
    trace.TraceText("after");
    EXPECT_EQ(QueuedLines(queue).size(), 1u);
}

TEST(TraceLog, WithoutDisplayModeOrLoggingNothingIsKept) {
    FakeClock clock;
    CTraceLog trace(clock);
    CTraceList list;
    trace.TraceText("nowhere");
    EXPECT_EQ(list.Count(), 0u);
}

TEST(TraceList, KeepsTheNewestLinesUpToItsCap) {
    CTraceList list(3);
    // Each line shorter than the one before, so that no line can show through another.
    for (int i = 0; i < 5; ++i) {
        list.Append(std::string(static_cast<std::size_t>(5 - i), 't'),
                    std::string(static_cast<std::size_t>(5 - i), static_cast<char>('a' + i)));
    }
    const auto items = list.Snapshot();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].message, "ccc");
    EXPECT_EQ(items[1].message, "dd");
    EXPECT_EQ(items[2].message, "e");
    EXPECT_EQ(items[2].time, "t");

    // Long lines followed by short ones: the full list does not keep the long lines' storage.
    for (int i = 0; i < 3; ++i) {
        list.Append("t", std::string(900, 'x'));
    }
    EXPECT_GE(list.TextBytes(), 2700u);
    for (int i = 0; i < 3; ++i) {
        list.Append("t", "short");
    }
    EXPECT_LT(list.TextBytes(), 300u);
    EXPECT_EQ(list.Snapshot().back().message, "short");
}

TEST(MessageTraceText, HexLayoutAndDescriptions) {
    MonitorMessage message;
    message.code = 0xA3;
    message.subCode = 0x01;
    EXPECT_EQ(MessageTraceText(message, ""), "A3 01  - Lane Light On");
    message.code = 0xB2;
    message.subCode = 0x02;
    message.length = 2;
    message.data[0] = 0x41;
    message.data[1] = 0x42;
    EXPECT_EQ(MessageTraceText(message, ""), "B2 02 [02] 41 42  - Data FROM Cash System");
    message.code = 0xA2;
    message.subCode = 0x09;
    message.length = 0;
    EXPECT_EQ(MessageTraceText(message, ""), "A2 09 ");
    message.code = 0xA9;
    message.subCode = 0x02;
    EXPECT_EQ(MessageTraceText(message, " - Bill Jammed,"), "A9 02  - Bill Jammed,");
    message.code = 0x50;
    EXPECT_EQ(MessageTraceText(message, ""), "50 02  ** UNKNOWN MESSAGE **");
    // Appended to a text, the same layout follows it, and a full message's dump is whole.
    message.code = 0xB2;
    message.subCode = 0x01;
    message.length = kMonitorMessageDataSize;
    message.data.fill(0xE7);
    std::string text = "x";
    AppendMessageTraceText(text, message, "");
    EXPECT_EQ(text, "x" + MessageTraceText(message, ""));
    EXPECT_EQ(text.size(), 1 + 6 + 5 + 3 * 128 + std::string(" - Data TO Cash System").size());
}

class TraceFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        directory =
            std::filesystem::temp_directory_path() /
            ("tavrik-trace-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory);
        path = (directory / "tavrikitor.trc").string();
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::unique_ptr<platform::SharedFile> Open() {
        std::unique_ptr<platform::SharedFile> file;
        EXPECT_EQ(platform::OpenSharedFile(path, file), 0u);
        EXPECT_EQ(file->SeekToEnd(), 0u);
        return file;
    }
    std::string Contents() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path directory;
    std::string path;
    FakeClock clock;
    CTraceQueue queue;
};

TEST_F(TraceFileTest, AppendsToAnExistingFileWithALineFeedPerLine) {
    std::ofstream(path) << "old line\n";
    CTraceFileWriter writer(clock, queue, Open(), 40, nullptr);
    queue.Push("20240305 14:07:09.042 : first");
    queue.Push("20240305 14:07:09.043 : second");
    writer.WriteQueuedLines();
    EXPECT_EQ(Contents(),
              "old line\n20240305 14:07:09.042 : first\n20240305 14:07:09.043 : second\n");
    EXPECT_FALSE(queue.lineQueued.IsSet());
}

TEST_F(TraceFileTest, ALineThatWouldPassTheLimitEmptiesTheFileFirst) {
    std::ofstream(path) << std::string(1000, 'a');
    CTraceFileWriter writer(clock, queue, Open(), 1, nullptr);
    const std::string line(29, 'b');  // 30 bytes with its line feed: 1030 > 1024
    queue.Push(line);
    writer.WriteQueuedLines();
    EXPECT_EQ(Contents(), line + "\n");
    // In one batch: the lines that fit go first, the one that would pass the limit starts the
    // file again, and a line longer than the whole limit is still written, alone.
    const std::string fill(900, 'c');
    std::string batch =
        fill + "\n" + std::string(200, 'd') + "\n" + std::string(1100, 'e') + "\n" + "f\n";
    queue.PushText(batch);
    EXPECT_TRUE(batch.empty());
    writer.WriteQueuedLines();
    EXPECT_EQ(Contents(), "f\n");
    queue.Push(std::string(1100, 'g'));
    queue.Push("h");
    writer.WriteQueuedLines();
    EXPECT_EQ(Contents(), "h\n");
}

TEST_F(TraceFileTest, WriterThreadWritesQueuedLinesAndEndsOnStop) {
    ManualResetEvent stop;
    CTraceFileWriter writer(clock, queue, Open(), 40, nullptr);
    writer.Start(stop);
    queue.Push("one");
    stop.Set();
    writer.Join();
    writer.WriteQueuedLines();
    EXPECT_EQ(Contents(), "one\n");
}

TEST_F(TraceFileTest, AFullQueueHoldsBatchesBackUntilTheWriterTakesItOrTheStop) {
    CTraceFileWriter writer(clock, queue, Open(), 40000, nullptr);
    std::string full(kMaxQueuedTraceBytes - 1, 'a');
    full += '\n';
    queue.PushText(full);
    // This batch waits for room (or goes at once, should the writer have taken the text first);
    // either way it ends up in the file after the full text, whole.
    std::thread batch([this] {
        std::string lines = "late\n";
        queue.PushText(lines);
    });
    writer.WriteQueuedLines();
    batch.join();
    writer.WriteQueuedLines();
    EXPECT_EQ(Contents().size(), kMaxQueuedTraceBytes + 5);
    EXPECT_EQ(Contents().substr(kMaxQueuedTraceBytes), "late\n");
    // Once closed at the stop, nothing waits any more: the text is queued beyond the limit.
    std::string again(kMaxQueuedTraceBytes - 1, 'b');
    again += '\n';
    queue.PushText(again);
    queue.Close();
    std::thread([this] {
        std::string lines = "after\n";
        queue.PushText(lines);
    }).join();
    std::lock_guard<std::mutex> lock(queue.Lock());
    EXPECT_EQ(queue.Text().size(), kMaxQueuedTraceBytes + 6);
}

TEST_F(TraceFileTest, WithoutAnOpenFileLinesAreDroppedSilently) {
    CTraceFileWriter writer(clock, queue, nullptr, 40, [](std::uint32_t) { FAIL(); });
    queue.Push("lost");
    writer.WriteQueuedLines();
    std::lock_guard<std::mutex> lock(queue.Lock());
    EXPECT_TRUE(queue.Text().empty());
}

}  // namespace
}  // namespace lane::monitor
