// The carousel menu, its first items (configuration, reset, zero, factory defaults) and the
// unattended EBoxRound02.
#include "Moxtel/Command_Carousel.h"

#include <cctype>
#include <string>

#include "Moxtel/securitymodule_commands.h"
#include "link/LinkConfig.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_Carousel";

// Pauses after the carousel work before the E-Box is polled again.
constexpr std::int64_t kBeforePollingMs = 1000;
constexpr std::int64_t kAfterRoundingMs = 1000;

// The load cell serial numbers: six slots of six characters, five of them the number.
constexpr std::size_t kSerialSlots = 6;
constexpr std::size_t kSerialSlotWidth = 6;
constexpr std::size_t kSerialLength = 5;

constexpr const char* kMenuItems =
    " 1 - Carousel Config Options\n"
    " 2 - Reset Carousel E-Box\n"
    " 3 - Zero Carousel Scale\n"
    " 4 - Set E-Box to Factory Defaults\n"
    " 5 - Calibrate Carousel Scale\n"
    " 6 - Set Filter Mode\n"
    " 7 - Set Weight Rounding\n"
    " 8 - Display Weight\n"
    " X - Exit\n";

// A reply character for "%c": a position the reply did not reach shows as a blank.
char Shown(char c) {
    return c == '\0' ? ' ' : c;
}

// One request and its reply; 0 or non-zero (already shown).
int Ask(CCarouselPorts& ports, const std::string& request, CEBoxReplyReader& reply) {
    const int written = ports.WriteEBox(request);
    return written != 0 ? written : ports.ReadEBoxReply(reply);
}

bool UsbBoard(UtilityRun& run) {
    return run.config.Access(run.log).SecurityModuleType == link::kBoardTypeUsb;
}

int ReadChoice(UtilityRun& run) {
    if (!run.options.acknowledgeResults) {
        return 'X';
    }
    const int key = std::toupper(run.console.GetKey());
    std::string echo(1, static_cast<char>(key));
    echo += "\n\n";
    run.console.Write(echo);
    return key;
}

int RunItem(CCarouselPorts& ports, int choice) {
    switch (choice) {
        case '1':
            return CarouselConfigOptions(ports);
        case '2':
            return ResetCarouselEBox(ports);
        case '3':
            return ZeroCarouselScale(ports);
        case '4':
            return SetEBoxFactoryDefaults(ports);
        case '5':
            return CalibrateCarouselScale(ports);
        case '6':
            return SetFilterMode(ports);
        case '7':
            return SetWeightRounding(ports);
        case '8':
            return DisplayWeight(ports);
        default:
            return 0;
    }
}

// Port 4 opened for the carousel; on failure polling is switched on again.
int OpenCarouselPort(CCarouselPorts& ports) {
    ports.Show("Opening Port 4 to Carousel");
    const int result = ports.OpenDevicePort(link::kCarouselPort);
    if (result != 0) {
        ports.Show("ERROR 1B: Port 4 open Failed.");
        ports.Control(CarouselControl::PollingOn);
    }
    return result;
}

}  // namespace

void CarouselMenu(UtilityRun& run) {
    CCarouselPorts ports(run, kModule);
    if (UsbBoard(run) && run.identity.version < kCarouselModuleVersion) {
        ports.Show("Incorrect Security Module Version must be >= 4.29");
        return;
    }
    ports.Control(CarouselControl::PollingOff);
    if (OpenCarouselPort(ports) != 0) {
        return;
    }
    ports.Flush(link::kCarouselPort);
    for (;;) {
        // Drawn again on a cleared screen each time, so an item's output never pushes the title
        // off a 25-line terminal.
        SecurityModuleCommands(run).ClearScreen();
        run.console.Write("******* Carousel Menu *******\n\n");
        run.console.Write(kMenuItems);
        ports.Prompt("\n Enter Function :");
        const int choice = ReadChoice(run);
        if (choice == 'X') {
            break;
        }
        static_cast<void>(RunItem(ports, choice));
        if (choice >= '1' && choice <= '7') {
            ports.WaitForKey();
        }
    }
    static_cast<void>(ResetCarouselEBox(ports));
    static_cast<void>(ports.CloseDevicePort(link::kCarouselPort));
    run.clock.SleepMs(kBeforePollingMs);
    ports.Control(CarouselControl::PollingOn);
}

int CarouselConfigOptions(CCarouselPorts& ports) {
    UtilityRun& run = ports.Run();
    CEBoxReplyReader reply;
    int result = Ask(ports, EBoxSingleLetter('I'), reply);
    if (result != 0) {
        return result;
    }
    const std::string version(reply.Text());
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                       "E-Box Firmware Version   :%s", version.c_str());
    if ((result = Ask(ports, EBoxFramedQuery('S'), reply)) != 0) {
        return result;
    }
    const std::string maximum(reply.Text().substr(0, 5));
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                       "Scale Max Weight Value   :%s", maximum.c_str());
    if ((result = Ask(ports, EBoxFramedQuery('O'), reply)) != 0) {
        return result;
    }
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                       "Decimal Dot              :%c", Shown(reply.At(0)));
    ports.Prompt("Weight Rounding          :");
    ports.Show(WeightRoundingText(reply.At(1)).c_str());
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                       "Filter Mode              :%c", Shown(reply.At(2)));
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                       "Auto-Zero Negative Weight:%c Seconds", Shown(reply.At(3)));
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                       "Zero Tracking            :%c", Shown(reply.At(5)));
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                       "Stability Mode           :%c", Shown(reply.At(6)));
    if ((result = Ask(ports, EBoxFramedQuery('U'), reply)) != 0) {
        return result;
    }
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                       "Number of Load Cells     :%c", Shown(reply.At(4)));
    if ((result = Ask(ports, EBoxSingleLetter('C'), reply)) != 0) {
        return result;
    }
    ports.Prompt("Load Cells Serial Number :");
    bool first = true;
    for (std::size_t slot = 0; slot < kSerialSlots; ++slot) {
        const std::size_t at = slot * kSerialSlotWidth;
        if (reply.At(at) == '0' || reply.At(at) == '\0') {
            continue;  // an empty slot
        }
        const std::string serial(reply.Text().substr(at, kSerialLength));
        run.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__, first ? "%s" : ", %s",
                           serial.c_str());
        first = false;
    }
    ports.Show("\n");
    return 0;
}

int ResetCarouselEBox(CCarouselPorts& ports) {
    ports.Show("Resetting Carousel E-Box\n");
    CEBoxReplyReader reply;
    const int result = Ask(ports, EBoxSingleLetter('R'), reply);
    if (result != 0) {
        ports.Show("Reset Failed!");
        return result;
    }
    if (reply.At(0) == 'R') {
        ports.Show("Reset Complete");
        return 0;
    }
    ports.Run().log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                               "Reset Failed!, Code = %c", Shown(reply.At(0)));
    return 1;
}

int ZeroCarouselScale(CCarouselPorts& ports) {
    ports.Show("Zeroing Carousel Scale\n");
    CEBoxReplyReader reply;
    const int result = Ask(ports, EBoxSingleLetter('Z'), reply);
    if (result != 0) {
        ports.Show("Zero Failed!");
        return result;
    }
    if (reply.At(0) == 'Z') {
        ports.Show("Zero Complete!");
        return 0;
    }
    ports.Show("Zero failed!");
    if (reply.At(0) == 'F') {
        ports.Show("Timeout over 3 seconds");
    }
    ports.Show("Reset E-Box");
    ports.Show("Zero Scale");
    ports.Show("Calibrate Scale");
    return 1;
}

int SetEBoxFactoryDefaults(CCarouselPorts& ports) {
    UtilityRun& run = ports.Run();
    ports.Show("Resetting E-Box to Factory Defaults\n");
    ports.Prompt("Press \"D\" to continue :");
    if (ports.AskKey(true) != 'D') {
        ports.Show("E-Box not Reset to Defaults!");
        return 1;
    }
    ports.Show("Setting E-Box to Factory Defaults!\n");
    if (run.identity.version > kQuarnelDefaultsAbove) {
        ports.Show("Quarnel Default Values are set for Rounding of .05");
        ports.Show("The Lane must be powered off/on for Quarnel Values to be set");
        ports.Prompt("Do you want to Enable Quarnel E-Box defaults Values (y/n) :");
        ports.Control(ports.AskKey(true) == 'Y' ? CarouselControl::DefaultOverrideOn
                                                : CarouselControl::DefaultOverrideOff);
    }
    CEBoxReplyReader reply;
    const int result = Ask(ports, EBoxFactoryDefaults(), reply);
    if (result != 0) {
        ports.Show("Setting Defaults Failed!");
        return result;
    }
    if (reply.At(0) == 'D') {
        ports.Show("E-Box set to Defaults Complete!");
        return 0;
    }
    ports.Show("Setting to Defaults failed!");
    ports.Show("Reset E-Box");
    return 1;
}

int Command_EBoxRound02(UtilityRun& run) {
    CCarouselPorts ports(run, kModule);
    SecurityModuleCommands commands(run);
    // The control requests open and close port 6 themselves; a failure here is already shown.
    static_cast<void>(commands.OpenPort6());
    ports.Control(CarouselControl::DefaultOverrideOff);
    ports.Control(CarouselControl::PollingOff);
    int result = OpenCarouselPort(ports);
    if (result == 0) {
        ports.Flush(link::kCarouselPort);
        ports.Show("Setting Rounding to .02");
        result = RoundingExchange(ports, '2');
        run.clock.SleepMs(kAfterRoundingMs);
        static_cast<void>(ResetCarouselEBox(ports));
        static_cast<void>(ports.CloseDevicePort(link::kCarouselPort));
        run.clock.SleepMs(kBeforePollingMs);
        ports.Control(CarouselControl::PollingOn);
        ports.Show("Complete.");
    }
    static_cast<void>(commands.ClosePort6());
    return result;
}

}  // namespace lane::moxtel
