// The UPS menu and its items: connect ('Y', the UPS answers S and M), the sensitivity query
// ('s', then '+').
#include "Moxtel/Command_UPS.h"

#include <cctype>
#include <string>

#include "Moxtel/securitymodule_commands.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_UPS";

constexpr const char* kMenuItems =
    " 1 - UPS Config Options\n"
    " 2 - Set Sensitivity Value\n"
    " X - Exit\n";

// A reply character for "%c": a position the reply did not reach shows as a blank.
char Shown(char c) {
    return c == '\0' ? ' ' : c;
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

const char* SensitivityText(char c) {
    switch (c) {
        case 'H':
            return "High";
        case 'M':
            return "Medium";
        case 'L':
            return "Low";
        default:
            return "Invalid";
    }
}

// The connect exchange: 'Y' sent, the reply shown; a UPS that does not answer S and M is named.
void Connect(CCarouselPorts& ports) {
    UtilityRun& run = ports.Run();
    ports.Prompt("\nConnecting to UPS: ");
    CUpsReplyReader reply;
    reply.Clear();
    if (ports.WriteUps('Y') == 0 && ports.ReadUpsReply(reply) > 0) {
        ports.Show("Connected...");
    } else {
        ports.Show("UPS did not Respond.");
        ports.Prompt("Press any key to continue");
        static_cast<void>(run.console.GetKey());
    }
    if (reply.At(0) != 'S' || reply.At(1) != 'M') {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                           "UPS Returned Invalid Data: %c %c", Shown(reply.At(0)),
                           Shown(reply.At(1)));
        ports.WaitForKey();
    }
}

}  // namespace

int UpsConfigOptions(CCarouselPorts& ports) {
    int result = ports.WriteUps('s');
    if (result != 0) {
        return result;
    }
    CUpsReplyReader reply;
    if (ports.ReadUpsReply(reply) == 0) {
        ports.Show("Request for Config Data Failed.");
        return 50;
    }
    ports.Prompt("Sensitivity Setting :");
    ports.Show(SensitivityText(reply.At(0)));
    return ports.WriteUps('+');
}

void UpsMenu(UtilityRun& run) {
    CCarouselPorts ports(run, kModule);
    ports.Show("Connect UPS to port 3/SC using APC cable 940-0024B");
    ports.Show("WARNING failure to use the correct cable can damage UPS and Security Module");
    ports.Prompt("Press and key when ready");
    static_cast<void>(run.console.GetKey());
    ports.Show("\nOpening Port 3 to UPS");
    if (ports.OpenDevicePort(link::kUpsPort) != 0) {
        ports.Show("ERROR 1B: Port 3 open Failed.");
        return;
    }
    ports.Flush(link::kUpsPort);
    Connect(ports);
    for (;;) {
        // Drawn again on a cleared screen each time, as the carousel menu is.
        SecurityModuleCommands(run).ClearScreen();
        run.console.Write("******* UPS Menu *******\n\n");
        run.console.Write(kMenuItems);
        ports.Prompt("\n Enter Function :");
        const int choice = ReadChoice(run);
        if (choice == 'X') {
            break;
        }
        if (choice == '1') {
            static_cast<void>(UpsConfigOptions(ports));
        }
        if (choice == '1' || choice == '2') {
            ports.WaitForKey();
        }
    }
    static_cast<void>(ports.CloseDevicePort(link::kUpsPort));
}

}  // namespace lane::moxtel
