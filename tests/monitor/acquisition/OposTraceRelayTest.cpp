// The OPOS trace relay against the recording collector built beside the tests: which classes
// load it, the enable entry asked before every record, and the records byte for byte.
#include "monitor/acquisition/OposTraceRelay.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/FakeClock.h"
#include "common/TimeText.h"
#include "monitor/acquisition/TraceLog.h"

namespace lane::monitor {
namespace {

// The recorder's own entries, reached through a second load of the same library.
class Recorder {
  public:
    Recorder() {
        EXPECT_EQ(library_.Load(kOposTraceLibraryName), 0u);
        reset_ = reinterpret_cast<void (*)(std::int32_t)>(library_.Proc("RecorderReset"));
        calls_ = reinterpret_cast<void (*)(char*, std::size_t)>(library_.Proc("RecorderCalls"));
        record_ =
            reinterpret_cast<bool (*)(std::size_t, unsigned char*, std::int32_t*, std::int32_t*)>(
                library_.Proc("RecorderRecord"));
        EXPECT_TRUE(reset_ != nullptr && calls_ != nullptr && record_ != nullptr);
    }
    void Reset(std::int32_t accept) { reset_(accept); }
    std::string Calls() {
        char text[256];
        calls_(text, sizeof text);
        return text;
    }
    struct Record {
        std::int32_t kind = 0;
        std::int32_t length = 0;
        std::vector<unsigned char> bytes = std::vector<unsigned char>(kOposRecordSize);
    };
    bool Get(std::size_t index, Record& record) {
        return record_(index, record.bytes.data(), &record.kind, &record.length);
    }

  private:
    platform::DynamicLibrary library_;
    void (*reset_)(std::int32_t) = nullptr;
    void (*calls_)(char*, std::size_t) = nullptr;
    bool (*record_)(std::size_t, unsigned char*, std::int32_t*, std::int32_t*) = nullptr;
};

// The record the collector must receive for these fields, built independently of the relay.
std::vector<unsigned char> ExpectedRecord(std::uint32_t level, const std::string& name,
                                          const std::string& source, const std::string& text) {
    std::vector<unsigned char> record(5224, 0);
    record[0] = static_cast<unsigned char>(level);
    record[1] = static_cast<unsigned char>(level >> 8);
    record[2] = static_cast<unsigned char>(level >> 16);
    record[3] = static_cast<unsigned char>(level >> 24);
    std::memcpy(&record[4], name.data(), name.size());
    std::memcpy(&record[54], source.data(), source.size());
    std::memcpy(&record[104], text.data(), std::min<std::size_t>(text.size(), 5120));
    return record;
}

TEST(OposTraceRelayTest, OnlyClassesOfTheTableWithTheirEntryLoadTheCollector) {
    Recorder recorder;
    recorder.Reset(1);
    struct Case {
        const char* deviceClass;
        const char* enableEntry;
        bool loaded;  // the recorder serves the scale's entry only
    };
    const Case cases[] = {
        {"CTAVRIK", "", false},
        {"cscale", "", false},
        {"CSCALE", "IsOposScaleEnabled", true},
        {"CMSR", "IsOposMsrEnabled", false},
        {"S1COMMIO", "IsOposSystemEnabled", false},
        {"CSYSTEM", "IsOposSystemEnabled", false},
        {"CTOTALS", "IsOposHardTotalsEnabled", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.deviceClass);
        COposTraceRelay relay(c.deviceClass, "CTavrkView");
        EXPECT_EQ(relay.EnableEntryName(), c.enableEntry);
        EXPECT_EQ(relay.Loaded(), c.loaded);
        if (!c.loaded) {
            relay.SendTrace(4, "ListInput", "%s", "dropped");
        }
    }
    EXPECT_EQ(recorder.Calls(), "");  // the relays that are off never called anything
}

TEST(OposTraceRelayTest, ScaleRelayAsksBeforeEveryRecordAndSendsExactRecords) {
    Recorder recorder;
    recorder.Reset(0);
    COposTraceRelay relay("CSCALE", "CTavrkView");
    ASSERT_TRUE(relay.Loaded());
    relay.SendTrace(4, "ListInput", "%s : %s", "20240305 14:07:09.042", "refused");
    relay.SendTrace(4, "ListInput", "%s : %s", "20240305 14:07:09.042", "refused");
    EXPECT_EQ(recorder.Calls(), "EE");
    Recorder::Record record;
    EXPECT_FALSE(recorder.Get(0, record));

    recorder.Reset(1);
    relay.SendTrace(4, "ListInput", "%s : %s", "20240305 14:07:09.042", "A3 01  - Lane Light On");
    const std::string longText(6000, 'x');
    relay.SendTrace(0x01020304, "Source", "%s", longText.c_str());
    const std::string exact(5120, 'y');
    relay.SendTrace(7, "", "%s", exact.c_str());
    EXPECT_EQ(recorder.Calls(), "ESESES");

    const std::string line = "20240305 14:07:09.042 : A3 01  - Lane Light On";
    ASSERT_TRUE(recorder.Get(0, record));
    EXPECT_EQ(record.kind, 100);
    EXPECT_EQ(record.length, static_cast<std::int32_t>(104 + line.size()));
    EXPECT_EQ(record.bytes, ExpectedRecord(4, "CTavrkView", "ListInput", line));
    // A text longer than the field is cut at 5120 characters, which fill the field.
    ASSERT_TRUE(recorder.Get(1, record));
    EXPECT_EQ(record.length, 5224);
    EXPECT_EQ(record.bytes, ExpectedRecord(0x01020304, "CTavrkView", "Source", longText));
    ASSERT_TRUE(recorder.Get(2, record));
    EXPECT_EQ(record.length, 5224);
    EXPECT_EQ(record.bytes, ExpectedRecord(7, "CTavrkView", "", exact));
}

TEST(OposTraceRelayTest, TraceOffersEveryLineWithLevelFourAndListInput) {
    Recorder recorder;
    recorder.Reset(1);
    // A relay name longer than the kept 39 characters is cut.
    COposTraceRelay relay("CSCALE", std::string(45, 'N'));
    FakeClock clock{WallTime{0, 42}};
    CTraceLog trace(clock);
    trace.SetRelay(&relay);
    trace.TraceNote("Jam");
    EXPECT_EQ(recorder.Calls(), "ES");
    Recorder::Record record;
    ASSERT_TRUE(recorder.Get(0, record));
    const std::string line = TraceTimeText(clock.Now()) + " :   ** Jam **";
    EXPECT_EQ(record.bytes, ExpectedRecord(4, std::string(39, 'N'), "ListInput", line));
}

}  // namespace
}  // namespace lane::monitor
