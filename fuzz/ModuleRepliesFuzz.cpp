// Fuzz target of the utility's reply loops: the input is cut into received packets (port,
// command, length, data) and put on the link's receive queue, then every request of the start-up
// sequence and of the bill acceptor, and the bill acceptor upload's exchange, read their
// replies from there. Each loop ends on its match, on the hundredth packet or on an empty queue,
// and what it fills from a reply has the form the rest of the utility relies on.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "Moxtel/BillAcceptorImage.h"
#include "Moxtel/BillAcceptorSender.h"
#include "Moxtel/CaptureWriter.h"
#include "Moxtel/LogMessage.h"
#include "Moxtel/PgmCnfg.h"
#include "Moxtel/SecurityModuleIdentity.h"
#include "Moxtel/UtilityOptions.h"
#include "Moxtel/UtilityRun.h"
#include "Moxtel/securitymodule_commands.h"
#include "common/Clock.h"
#include "link/LinkConfig.h"
#include "link/TMCB_Support.h"
#include "link/securitymodule.h"
#include "platform/Console.h"
#include "platform/DeviceDriver.h"
#include "platform/LanePath.h"
#include "platform/Registry.h"

namespace {

using namespace lane;
using namespace lane::moxtel;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// A clock whose timed waits end at once at their deadline, so the reply loops' looks at an
// empty queue and the pauses after error lines cost no time. A wait without a deadline still
// waits to be woken.
class SteppingClock final : public Clock {
  public:
    std::int64_t TickMs() const override { return tickMs_.load(); }
    WallTime Now() const override {
        const std::int64_t tick = tickMs_.load();
        return WallTime{kStartSeconds + static_cast<std::time_t>(tick / 1000),
                        static_cast<unsigned>(tick % 1000)};
    }
    void WaitUntil(WaitState& state, std::int64_t deadlineMs) override {
        std::unique_lock<std::mutex> lock(state.mutex);
        if (deadlineMs == kInfiniteMs) {
            state.cv.wait(lock, [&] { return state.signalled; });
        } else if (!state.signalled) {
            std::int64_t tick = tickMs_.load();
            while (tick < deadlineMs && !tickMs_.compare_exchange_weak(tick, deadlineMs)) {
            }
        }
        state.signalled = false;
    }

  private:
    static constexpr std::time_t kStartSeconds = 1741083630;
    std::atomic<std::int64_t> tickMs_{0};
};

// A console nobody sits at: output is dropped, input has ended.
class SilentConsole final : public platform::Console {
  public:
    void Write(std::string_view) override {}
    int GetKey() override { return platform::kConsoleExitKey; }
    bool KeyWaiting() override { return false; }
    void FlushKeys() override {}
    bool InputEnded() const override { return true; }
};

// The module's driver end: accepts every handle and takes every write whole.
class AcceptingDriver {
  public:
    AcceptingDriver(const platform::LanePaths& paths, const std::string& name) {
        Check(platform::ListenDevice(paths, name, server_) == 0);
        acceptor_ = std::thread([this] { AcceptLoop(); });
    }
    ~AcceptingDriver() {
        server_->Shutdown();
        acceptor_.join();
        for (const auto& connection : connections_) {
            connection->Close();
        }
        for (auto& thread : servers_) {
            thread.join();
        }
    }
    AcceptingDriver(const AcceptingDriver&) = delete;
    AcceptingDriver& operator=(const AcceptingDriver&) = delete;

  private:
    void AcceptLoop() {
        for (;;) {
            std::unique_ptr<platform::DeviceConnection> connection = server_->Accept(-1);
            if (connection == nullptr) {
                return;
            }
            platform::DeviceConnection* raw = connection.get();
            connections_.push_back(std::move(connection));
            servers_.emplace_back([raw] { Serve(*raw); });
        }
    }
    static void Serve(platform::DeviceConnection& connection) {
        platform::DeviceRequest request;
        while (connection.Receive(request, -1) ==
               platform::DeviceConnection::ReceiveStatus::Received) {
            switch (request.kind) {
                case platform::DeviceRequestKind::Write:
                    connection.ReplyWritten(request.id, 0,
                                            static_cast<std::uint32_t>(request.input.size()));
                    break;
                case platform::DeviceRequestKind::Close:
                    break;
                default:
                    connection.Reply(request.id, 0, {});
                    break;
            }
        }
    }

    std::unique_ptr<platform::DeviceServer> server_;
    std::thread acceptor_;
    std::vector<std::unique_ptr<platform::DeviceConnection>> connections_;
    std::vector<std::thread> servers_;
};

// A lane folder of its own for the driver's socket and the registry; it has no capture folder,
// so the capture writer gives up at its first line and the run stays in memory.
class TemporaryLane {
  public:
    TemporaryLane()
        : path_(std::filesystem::temp_directory_path() /
                ("lane-fuzz-replies-" + std::to_string(std::random_device{}()))) {
        std::filesystem::create_directories(path_);
    }
    ~TemporaryLane() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryLane(const TemporaryLane&) = delete;
    TemporaryLane& operator=(const TemporaryLane&) = delete;
    std::string Path() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

// One utility run over a USB link whose driver takes every write; no reader threads, so the
// receive queue holds exactly what the input put there.
struct Rig {
    Rig() {
        Check(registry.SetValue(kLaneRegistryKey, "SecurityModuleType",
                                platform::RegValue::String("USB_SECURITY_MODULE")) == 0);
        static_cast<void>(config.Access(log));
        Check(link.Usb().OpenDriver() == 0);
    }
    ~Rig() { static_cast<void>(link.Usb().CloseDriver()); }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    TemporaryLane lane;
    platform::LanePaths paths{lane.Path()};
    platform::Registry registry{platform::Registry::DefaultHivePath(paths)};
    SteppingClock clock;
    SilentConsole console;
    CCaptureWriter capture{clock, paths};
    PgmCnfg config{ConfigSources{paths, registry, clock, "LANE-PC"}};
    CLogMessage log{clock, console, capture, config};
    CUtilityLinkReporter reporter{log};
    AcceptingDriver driver{paths, "SecModuleDevice0"};
    link::CSecurityModuleLink link{
        link::LinkConfig{link::LinkRole::Utility, link::kBoardTypeUsb, 0}, reporter, clock, paths};
    UtilityOptions options;
    SecurityModuleIdentity identity;
    BillAcceptorIdentity billAcceptor;
    // No reply ends the run.
    std::function<void(int)> endProcess = [](int) { Check(false); };
    UtilityRun run{log,   config,   options,      link,       console,
                   clock, identity, billAcceptor, endProcess, paths};
};

// Cuts the input into packets: DA, DC, DL and as many data bytes as DL asks for and the input
// and the packet still hold (the packet says how many it got).
std::vector<link::LinkPacket> Packets(const std::uint8_t* data, std::size_t size) {
    std::vector<link::LinkPacket> packets;
    std::size_t at = 0;
    while (size - at >= 3) {
        link::LinkPacket packet;
        packet.DA = data[at];
        packet.DC = data[at + 1];
        const std::size_t wanted = data[at + 2];
        at += 3;
        const std::size_t length = std::min({wanted, size - at, link::kLinkPacketDataSize});
        packet.DL = static_cast<std::uint8_t>(length);
        std::copy_n(data + at, length, packet.data.begin());
        at += length;
        packets.push_back(packet);
    }
    return packets;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "VV.VV DD/MM/YYYY" laid out from the reply, and the version number that the text's last three
// version digits give (0 when one is not a digit).
void CheckVersionText(const std::string& text, unsigned version) {
    Check(text.size() == 16 && text[2] == '.' && text[5] == ' ' && text[8] == '/' &&
          text[11] == '/');
    const bool digits = IsDigit(text[1]) && IsDigit(text[3]) && IsDigit(text[4]);
    const unsigned expected =
        digits ? static_cast<unsigned>((text[1] - '0') * 100 + (text[3] - '0') * 10 + text[4] - '0')
               : 0;
    Check(version == expected);
}

// A single exchange gives 0 on a match among the first 99 packets, 12 on the hundredth packet
// and 10 once the queue is empty.
void CheckExchange(int result, std::size_t before, std::size_t after) {
    Check(after <= before);
    const std::size_t taken = before - after;
    switch (result) {
        case 0:
            Check(taken >= 1 && taken < static_cast<std::size_t>(kReplyLoopPacketLimit));
            break;
        case 10:
            Check(after == 0 && taken < static_cast<std::size_t>(kReplyLoopPacketLimit));
            break;
        case 12:
            Check(taken == static_cast<std::size_t>(kReplyLoopPacketLimit));
            break;
        default:
            Check(false);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Rig rig;
    link::CReceiveQueue& queue = rig.link.Queue();
    link::LinkPacket left;
    while (queue.Take(left)) {
    }
    rig.identity = SecurityModuleIdentity{};
    rig.billAcceptor = BillAcceptorIdentity{};
    for (const link::LinkPacket& packet : Packets(data, size)) {
        queue.Add(packet);
    }

    // A request that finds the queue empty reads nothing: the run ends there, which keeps each
    // input to a handful of writes.
    SecurityModuleCommands commands(rig.run);
    const auto exchange = [&](int (SecurityModuleCommands::*request)()) {
        const std::size_t before = queue.Size();
        if (before == 0) {
            return -1;
        }
        const int result = (commands.*request)();
        CheckExchange(result, before, queue.Size());
        return result;
    };

    if (exchange(&SecurityModuleCommands::RequestEpromVersion) == 0) {
        CheckVersionText(rig.identity.versionText, rig.identity.version);
    }
    if (exchange(&SecurityModuleCommands::RequestChecksum) == 0) {
        Check(rig.identity.checksumText.size() == 4);
    }
    if (exchange(&SecurityModuleCommands::RequestModel) == 0) {
        Check(rig.identity.model.size() == 3);
    }
    static_cast<void>(exchange(&SecurityModuleCommands::SyncCashMachine));
    if (exchange(&SecurityModuleCommands::RequestCcuVersion) == 0) {
        CheckVersionText(rig.identity.ccuVersionText, rig.identity.ccuVersion);
    }
    if (exchange(&SecurityModuleCommands::RequestBillAcceptorStatus) == 0) {
        Check(rig.billAcceptor.startingBlock <= 65000);
        Check(rig.billAcceptor.uploadMode || rig.billAcceptor.startingBlock == 0);
    }
    if (queue.Size() == 0) {
        return 0;
    }
    // Several exchanges, chosen by the module version the first reply gave.
    const int version = commands.RequestBillAcceptorVersion();
    Check(version == 0 || version == 10 || version == 12);
    const BillAcceptorIdentity& acceptor = rig.billAcceptor;
    Check(acceptor.versionPartA.size() == 3 && acceptor.versionPartB.size() == 3);
    if (version == 0) {
        Check(acceptor.typeCode <= 0x7F && acceptor.versionNumber <= 0x7F);
        Check(acceptor.startingVersionKept && acceptor.startingVersion == acceptor.versionNumber);
        Check(acceptor.crc <= 0x7Fu * (4096 + 256 + 16 + 1));
        Check(rig.identity.version < 330 || acceptor.isoCode.size() == 3);
    }
    if (queue.Size() == 0) {
        return 0;
    }
    // The bill acceptor upload reads what is left: the upload mode after the start, then each
    // block's reply, from a starting block and mode the input chooses.
    static BillAcceptorImage image;
    if (image.count == 0) {
        LoadBillAcceptorImage(std::string(100, '\x5A'), image);
    }
    rig.billAcceptor.uploadMode = (data[0] & 1) != 0;
    rig.billAcceptor.startingBlock = data[0] >> 6;
    const int started = StartBillAcceptorUpload(rig.run, commands);
    Check(started == 0 || started == kBillStartNoReply || started == kBillStartTooManyPackets);
    if (started == 0 && queue.Size() > 0) {
        const int sent = SendBillAcceptorImage(rig.run, commands, image);
        Check(sent == 0 || sent == kBillBlockFailed);
    }
    return 0;
}
