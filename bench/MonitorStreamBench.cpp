// Throughput of the reader's path: received bytes, ParseMonitorStream and trace-line building,
// with the trace file off and on.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "common/RealClock.h"
#include "monitor/acquisition/MessageTrace.h"
#include "monitor/acquisition/MonitorReader.h"
#include "monitor/acquisition/StreamParser.h"
#include "monitor/acquisition/TraceFileWriter.h"
#include "monitor/acquisition/TraceLog.h"

namespace {

using namespace lane;
using namespace lane::monitor;

// What the view does with parser output while no decoder takes messages.
class ViewLikeSink final : public ParserSink {
  public:
    explicit ViewLikeSink(CTraceLog& trace) : trace_(trace) {}
    void StampEventTimes(const MonitorMessage&) override {}
    void StampCommunicated(std::time_t) override {}
    void TraceMonitorMessage(const MonitorMessage& message) override {
        trace_.Emit(MessageTraceText(message, ""));
    }
    void TraceUnknown(const std::uint8_t* bytes, std::size_t count) override {
        trace_.TraceUnknown(bytes, count);
    }
    void Post(Device, std::unique_ptr<MonitorMessage>) override { ++posted; }
    long posted = 0;

  private:
    CTraceLog& trace_;
};

class NoBox final : public platform::MessageBoxService {
  public:
    void Show(const std::string&, const std::string&, platform::MessageIcon) override {}
};

// A lane's mixed traffic: lights and buttons, conveyor and scale, coins, bills with their
// coin-acceptor copies, dispenser frames and cash-system data, in packets of up to 60 bytes.
std::vector<std::vector<std::uint8_t>> MixedPackets(int& framesPerRound) {
    static const std::vector<std::vector<std::uint8_t>> frames = {
        {0xA3, 0x01},
        {0xA3, 0x05},
        {0xA2, 0x01},
        {0xA5, 0x01},
        {0xA5, 0x02},
        {0xA6, 0x05},
        {0xA7, 0x02},
        {0xAF, 0x01},
        {0xAF, 0x02},
        {0xA8, 0x01, 0x04, 0x10, 0x00, 0x19, 0x00},
        {0xA9, 0x04, 0x03, 0x11, 0x22, 0x33},
        {0xA9, 0x06, 0x01, 0x02, 0x04, 0x10, 0x20, 0x30, 0x40},
        {0xAA, 0x01, 0x02, 0x05, 0x00},
        {0xAB, 0x01, 0x06, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36},
        {0xAB, 0x05},
        {0xB2, 0x01, 0x10, 0x02, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x41,
         0x42, 0x43, 0x44, 0x03},
    };
    framesPerRound = static_cast<int>(frames.size()) * 4;
    std::vector<std::uint8_t> stream;
    for (int round = 0; round < 4; ++round) {
        for (const auto& frame : frames) {
            for (const std::uint8_t byte : frame) {
                stream.push_back(byte);
            }
        }
    }
    const std::size_t packetCount = (stream.size() + 59) / 60;
    std::vector<std::vector<std::uint8_t>> packets(packetCount);
    for (std::size_t i = 0; i < stream.size(); ++i) {
        packets[i / 60].push_back(stream[i]);
    }
    return packets;
}

void RunStream(benchmark::State& state, bool traceFile) {
    RealClock clock;
    CTraceLog trace(clock);
    CTraceQueue queue;
    ManualResetEvent stop;
    std::unique_ptr<CTraceFileWriter> writer;
    const auto path = std::filesystem::temp_directory_path() / "bench-tavrikitor.trc";
    if (traceFile) {
        std::unique_ptr<platform::SharedFile> file;
        if (platform::OpenSharedFile(path.string(), file) != 0) {
            state.SkipWithError("cannot open the trace file");
            return;
        }
        writer = std::make_unique<CTraceFileWriter>(clock, queue, std::move(file), 65536, nullptr);
        writer->Start(stop);
        trace.SetTraceQueue(&queue);
    }
    ViewLikeSink sink(trace);
    MonitorSwitches switches;
    CStreamParser parser(clock, switches, sink);
    NoBox box;
    CMonitorReader reader(clock, trace, parser, box);
    int framesPerRound = 0;
    const auto packets = MixedPackets(framesPerRound);
    std::size_t bytesPerRound = 0;
    for (const auto& packet : packets) {
        bytesPerRound += packet.size();
    }
    for (auto _ : state) {
        for (const auto& packet : packets) {
            reader.HandleBytes(packet.data(), packet.size());
        }
    }
    if (writer) {
        stop.Set();
        writer->Join();
        writer->WriteQueuedLines();
        std::filesystem::remove(path);
    }
    state.counters["frames/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * framesPerRound, benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytesPerRound));
}

void BM_StreamTraceFileOff(benchmark::State& state) {
    RunStream(state, false);
}
void BM_StreamTraceFileOn(benchmark::State& state) {
    RunStream(state, true);
}

BENCHMARK(BM_StreamTraceFileOff)->UseRealTime();
BENCHMARK(BM_StreamTraceFileOn)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
