// Cost of a firmware upload to lanesim's module: (a) a bare client that writes the start packet
// and the image's data packets to the system port as the utility does, until lanesim has written
// the received image; (b) the utility itself, `Moxtel -SecurityModuleUpload`, process start to
// exit at the default capture level. And the bill acceptor's upload behind the cash port: (c) a
// bare client that writes each 32-byte block and reads its reply; (d) `Moxtel
// -BillAcceptorUpload`, its waits made 100 times shorter (the 50-second restart wait included).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/RealClock.h"
#include "platform/DeviceDriver.h"
#include "platform/LanePath.h"
#include "platform/Process.h"
#include "platform/Registry.h"

namespace {

using namespace lane;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kImageName = "SCv464.TSK";
constexpr std::uint32_t kIoctlWriteSystemPort = 0x22AB86;
constexpr std::size_t kUploadChunkBytes = 60;
constexpr std::int64_t kStartTimeoutMs = 20000;
constexpr std::int64_t kImageTimeoutMs = 60000;
// The bill acceptor's upload: a synthetic image of 32 KiB less one byte (1,024 blocks of 32).
constexpr const char* kBillAcceptorImageName = "BA.bin";
constexpr std::size_t kBillAcceptorImageBytes = 32767;
constexpr std::size_t kBlockBytes = 32;
constexpr std::uint32_t kMoxtelTimeScale = 100;

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The USB wire form: DA, DC, DL, data, checksum (low byte of the sum).
Bytes WirePacket(std::uint8_t da, std::uint8_t dc, const std::uint8_t* data, std::size_t count) {
    Bytes wire{da, dc, static_cast<std::uint8_t>(count)};
    for (std::size_t i = 0; i < count; ++i) {
        wire.push_back(data[i]);
    }
    unsigned sum = 0;
    for (const std::uint8_t byte : wire) {
        sum += byte;
    }
    wire.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    return wire;
}

// The packets the utility writes for an image: the start, then data of at most 60 bytes.
std::vector<Bytes> UploadPackets(const std::string& image) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(image.data());
    const std::uint8_t start[5] = {static_cast<std::uint8_t>((image.size() >> 8) & 0xFF),
                                   static_cast<std::uint8_t>(image.size() & 0xFF), 0xAA, 0x55,
                                   0xA0};
    std::vector<Bytes> packets{WirePacket(0x00, 0xF0, start, sizeof start)};
    for (std::size_t from = 0; from < image.size(); from += kUploadChunkBytes) {
        const std::size_t count = std::min(kUploadChunkBytes, image.size() - from);
        packets.push_back(WirePacket(0x00, 0xF1, bytes + from, count));
    }
    return packets;
}

// A lane root of its own with the image under c:\FirmwareUpdate, the lane set up for the USB
// module, and lanesim serving the module and writing each uploaded image.
class UploadLane {
  public:
    // `billAcceptor`: lanesim plays the bill acceptor behind the cash port, which takes a
    // synthetic image of kBillAcceptorImageBytes, instead of the module's system-port upload.
    explicit UploadLane(bool billAcceptor = false)
        : root_(std::filesystem::temp_directory_path() /
                ("lane-bench-upload-" + std::to_string(std::random_device{}()))),
          billAcceptor_(billAcceptor) {}
    ~UploadLane() {
        if (lanesim_.Running()) {
            static_cast<void>(lanesim_.Terminate());
            platform::ProcessExit exit;
            static_cast<void>(lanesim_.Wait(exit));
        }
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    // False with `error` when the lane cannot be set up or lanesim does not come up.
    bool Start(std::string& error) {
        std::filesystem::create_directories(root_ / "c" / "FirmwareUpdate");
        if (billAcceptor_) {
            PlaceBillAcceptorImage();
        } else {
            image_ = ReadAll(std::filesystem::path(LANE_FIRMWARE_IMAGE_DIR) / kImageName);
            if (image_.empty()) {
                error = std::string("no image ") + LANE_FIRMWARE_IMAGE_DIR + "/" + kImageName;
                return false;
            }
            std::filesystem::copy_file(std::filesystem::path(LANE_FIRMWARE_IMAGE_DIR) / kImageName,
                                       root_ / "c" / "FirmwareUpdate" / kImageName);
        }
        platform::Registry registry((root_ / "registry" / "HKEY_LOCAL_MACHINE.reg").string());
        if (registry.SetValue("SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane",
                              "SecurityModuleType",
                              platform::RegValue::String("USB_SECURITY_MODULE")) != 0) {
            error = "cannot write the lane's registry";
            return false;
        }
        const auto scenario = root_ / "upload.scn";
        std::ofstream(scenario) << (billAcceptor_
                                        ? "bill-acceptor image-size " +
                                              std::to_string(kBillAcceptorImageBytes) + "\n"
                                        : std::string())
                                << "repeat 1000000\n"
                                   "  module expect-upload within 86400000\n"
                                   "end\n";
        if (lanesim_.Start(LANESIM_PATH,
                           {billAcceptor_ ? "--bill-acceptor-image" : "--upload-image",
                            Uploaded().string(), scenario.string()},
                           Environment()) != 0) {
            error = "cannot start lanesim";
            return false;
        }
        std::string line;
        for (int sockets = 0; sockets < 2;) {
            if (lanesim_.ReadLine(line, kStartTimeoutMs) != 0) {
                error = "lanesim did not come up";
                return false;
            }
            sockets += line.rfind("lanesim: listening on", 0) == 0 ? 1 : 0;
        }
        return true;
    }

    std::vector<std::pair<std::string, std::string>> Environment() const {
        return {{"LANE_ROOT", root_.string()}};
    }
    platform::LanePaths Paths() const { return platform::LanePaths(root_.string()); }
    const std::string& Image() const { return image_; }
    std::filesystem::path Uploaded() const { return root_ / "uploaded.TSK"; }

    void ForgetUploaded() {
        std::error_code ignored;
        std::filesystem::remove(Uploaded(), ignored);
    }

    // Waits (bounded) until lanesim has written the whole image; false when it did not, or
    // wrote something else.
    bool AwaitUploaded() {
        RealClock clock;
        const std::int64_t deadlineMs = clock.TickMs() + kImageTimeoutMs;
        while (!std::filesystem::exists(Uploaded())) {
            if (clock.TickMs() > deadlineMs) {
                return false;
            }
            clock.SleepMs(1);
        }
        return ReadAll(Uploaded()) == Expected();
    }

    // What the bill acceptor holds after an upload: the file, its end-of-file byte, zeros to
    // the end of the last block.
    const std::string& Expected() const { return billAcceptor_ ? expected_ : image_; }

  private:
    void PlaceBillAcceptorImage() {
        image_.resize(kBillAcceptorImageBytes);
        std::mt19937 random(7);
        for (char& byte : image_) {
            byte = static_cast<char>(random() & 0xFF);
        }
        std::ofstream(root_ / "c" / "FirmwareUpdate" / kBillAcceptorImageName, std::ios::binary)
            << image_;
        expected_ = image_ + '\xFF';
        expected_.resize((expected_.size() + kBlockBytes - 1) / kBlockBytes * kBlockBytes, '\0');
    }

    std::filesystem::path root_;
    bool billAcceptor_;
    std::string expected_;
    std::string image_;
    platform::ChildProcess lanesim_;
};

void BM_UploadBareClient(benchmark::State& state) {
    UploadLane lane;
    std::string error;
    if (!lane.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    platform::DeviceOpenMode mode;
    mode.desiredAccess = platform::kDeviceGenericWrite;
    mode.shareMode = platform::kDeviceShareRead | platform::kDeviceShareWrite;
    std::unique_ptr<platform::DeviceHandle> device;
    if (platform::OpenDevice(lane.Paths(), "\\\\.\\SecModuleDevice0", mode, device) != 0) {
        state.SkipWithError("cannot open \\\\.\\SecModuleDevice0");
        return;
    }
    std::vector<Bytes> packets = UploadPackets(lane.Image());
    for (auto _ : state) {
        state.PauseTiming();
        lane.ForgetUploaded();
        state.ResumeTiming();
        for (Bytes& packet : packets) {
            std::size_t returned = 0;
            if (device->IoControl(kIoctlWriteSystemPort, nullptr, 0, packet.data(), packet.size(),
                                  returned) != 0) {
                state.SkipWithError("a system-port write failed");
                return;
            }
        }
        if (!lane.AwaitUploaded()) {
            state.SkipWithError("lanesim did not write the uploaded image");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * lane.Image().size()));
    state.counters["packets"] = static_cast<double>(packets.size());
    state.counters["packets/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * packets.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UploadBareClient)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UploadMoxtel(benchmark::State& state) {
    UploadLane lane;
    std::string error;
    if (!lane.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::vector<std::string> arguments = {"-SecurityModuleUpload", "-InputFile",
                                                std::string("c:\\FirmwareUpdate\\") + kImageName};
    for (auto _ : state) {
        state.PauseTiming();
        lane.ForgetUploaded();
        state.ResumeTiming();
        platform::ChildProcess moxtel;
        if (moxtel.Start(MOXTEL_PATH, arguments, lane.Environment(), true) != 0) {
            state.SkipWithError("cannot start Moxtel");
            return;
        }
        std::string line;
        std::string last;
        while (moxtel.ReadLine(line, kImageTimeoutMs) == 0) {
            if (!line.empty()) {
                last = line;
            }
        }
        platform::ProcessExit exit;
        static_cast<void>(moxtel.Wait(exit));
        if (exit.signalled || exit.code != 0 || !lane.AwaitUploaded()) {
            error = "Moxtel ended with " + std::to_string(exit.code) +
                    " without uploading the image; its last line: " + last;
            state.SkipWithError(error.c_str());
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * lane.Image().size()));
}
BENCHMARK(BM_UploadMoxtel)->Unit(benchmark::kMillisecond)->UseRealTime();

// The block packets the utility writes to the cash port (USB layout), each with its block number.
std::vector<Bytes> BlockPackets(const std::string& image) {
    std::vector<Bytes> packets;
    for (std::size_t from = 0; from < image.size(); from += kBlockBytes) {
        const std::size_t block = from / kBlockBytes;
        Bytes data{'B', '8', static_cast<std::uint8_t>(block >> 8),
                   static_cast<std::uint8_t>(block & 0xFF)};
        for (std::size_t i = 0; i < kBlockBytes; ++i) {
            data.push_back(static_cast<std::uint8_t>(image[from + i]));
        }
        packets.push_back(WirePacket(0x05, 0x06, data.data(), data.size()));
    }
    return packets;
}

// Writes a port-5 request and, when `reply`, reads packets until the bill acceptor's reply
// ('b' after the sequence byte); false when a write or read fails.
bool Exchange(platform::DeviceHandle& writer, platform::DeviceHandle& reader, const Bytes& packet,
              bool reply) {
    std::size_t done = 0;
    if (writer.WriteFile(packet.data(), packet.size(), done) != 0) {
        return false;
    }
    std::uint8_t buffer[64];
    while (reply) {
        if (reader.ReadFile(buffer, sizeof buffer, done) != 0) {
            return false;
        }
        reply = !(done > 4 && buffer[0] == 0x05 && buffer[4] == 'b');
    }
    return true;
}

void BM_BillAcceptorUploadBareClient(benchmark::State& state) {
    UploadLane lane(true);
    std::string error;
    if (!lane.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    platform::DeviceOpenMode writeMode;
    writeMode.desiredAccess = platform::kDeviceGenericWrite;
    writeMode.shareMode = platform::kDeviceShareRead | platform::kDeviceShareWrite;
    platform::DeviceOpenMode readMode = writeMode;
    readMode.desiredAccess = platform::kDeviceGenericRead;
    std::unique_ptr<platform::DeviceHandle> writer;
    std::unique_ptr<platform::DeviceHandle> reader;
    if (platform::OpenDevice(lane.Paths(), "\\\\.\\SecModuleDevice0", writeMode, writer) != 0 ||
        platform::OpenDevice(lane.Paths(), "\\\\.\\SecModuleDevice0", readMode, reader) != 0) {
        state.SkipWithError("cannot open \\\\.\\SecModuleDevice0");
        return;
    }
    const std::vector<Bytes> blocks = BlockPackets(lane.Expected());
    const std::uint8_t start[2] = {'B', '7'};
    const std::uint8_t end[2] = {'B', '9'};
    const Bytes startPacket = WirePacket(0x05, 0x06, start, sizeof start);
    const Bytes endPacket = WirePacket(0x05, 0x06, end, sizeof end);
    for (auto _ : state) {
        state.PauseTiming();
        lane.ForgetUploaded();
        state.ResumeTiming();
        bool ok = Exchange(*writer, *reader, startPacket, true);
        for (std::size_t i = 0; ok && i < blocks.size(); ++i) {
            ok = Exchange(*writer, *reader, blocks[i], true);
        }
        if (!ok || !Exchange(*writer, *reader, endPacket, false) || !lane.AwaitUploaded()) {
            state.SkipWithError("the bill acceptor did not take the image");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * lane.Expected().size()));
    state.counters["blocks/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * blocks.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BillAcceptorUploadBareClient)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BillAcceptorUploadMoxtel(benchmark::State& state) {
    UploadLane lane(true);
    std::string error;
    if (!lane.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::vector<std::string> arguments = {
        "-BillAcceptorUpload", "-LE3900",
        std::string("c:\\FirmwareUpdate\\") + kBillAcceptorImageName};
    auto environment = lane.Environment();
    environment.emplace_back("LANE_TEST_TIME_SCALE", std::to_string(kMoxtelTimeScale));
    for (auto _ : state) {
        state.PauseTiming();
        lane.ForgetUploaded();
        state.ResumeTiming();
        platform::ChildProcess moxtel;
        if (moxtel.Start(MOXTEL_PATH, arguments, environment, true) != 0) {
            state.SkipWithError("cannot start Moxtel");
            return;
        }
        std::string line;
        std::string last;
        while (moxtel.ReadLine(line, kImageTimeoutMs) == 0) {
            if (!line.empty()) {
                last = line;
            }
        }
        platform::ProcessExit exit;
        static_cast<void>(moxtel.Wait(exit));
        if (exit.signalled || exit.code != 0 || !lane.AwaitUploaded()) {
            error = "Moxtel ended with " + std::to_string(exit.code) +
                    " without uploading the image; its last line: " + last;
            state.SkipWithError(error.c_str());
            return;
        }
    }
    const std::size_t blocks = lane.Expected().size() / kBlockBytes;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * lane.Expected().size()));
    state.counters["blocks"] = static_cast<double>(blocks);
    state.counters["time scale"] = static_cast<double>(kMoxtelTimeScale);
}
BENCHMARK(BM_BillAcceptorUploadMoxtel)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
