#include "session/CommandLine.h"

#include "hardware/SimulatedChargerBox.h"
#include "session/PortSelection.h"

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    auto usage = [&line](std::string error) {
        line.action = CommandLine::Action::Usage;
        line.error = std::move(error);
        return line;
    };
    // The sub-commands come first, each with its own options.
    if (!arguments.empty() && arguments[0] == "charge") {
        line.action = CommandLine::Action::Charge;
        for (size_t i = 1; i < arguments.size(); ++i) {
            const std::string& a = arguments[i];
            auto value = [&](const char* option, std::string& into) {
                const std::string withEquals = std::string(option) + "=";
                if (a == option && i + 1 < arguments.size()) {
                    into = arguments[++i];
                    return true;
                }
                if (a.rfind(withEquals, 0) == 0) {
                    into = a.substr(withEquals.size());
                    return true;
                }
                return false;
            };
            if (value("--port", line.port)) {
                line.portGiven = true;
            } else if (value("--timed", line.chargeTimed)) {
                line.chargeTimedGiven = true;
            } else if (value("--pack", line.chargePack) || value("--format", line.chargeFormat)) {
            } else if (value("--mqtt", line.chargeMqtt)) {
                if (line.chargeMqtt.empty()) {
                    return usage("--mqtt takes the broker's URL, mqtt://host[:port][/prefix]");
                }
            } else if (a == "--keep-stopped") {
                line.keepStopped = true;
            } else {
                return usage("unknown option \"" + a + "\" for charge");
            }
        }
        if (!line.chargeFormat.empty() && line.chargeFormat != "text" &&
            line.chargeFormat != "csv" && line.chargeFormat != "json") {
            return usage("--format takes text, csv or json");
        }
        if (line.portGiven && !IsPortSettingUnderstood(line.port)) {
            return usage("--port: \"" + ShownPortSetting(line.port) + "\" is not understood");
        }
        return line;
    }
    if (!arguments.empty() && (arguments[0] == "packs" || arguments[0] == "pack")) {
        size_t i = 1;
        if (arguments[0] == "pack") {
            if (arguments.size() < 2 || arguments[1].rfind("--", 0) == 0) {
                return usage("pack needs the name of a pack");
            }
            line.packName = arguments[1];
            i = 2;
        }
        line.action =
            arguments[0] == "packs" ? CommandLine::Action::Packs : CommandLine::Action::Pack;
        for (; i < arguments.size(); ++i) {
            const std::string& a = arguments[i];
            std::string format;
            if (a == "--format" && i + 1 < arguments.size()) {
                format = arguments[++i];
            } else if (a.rfind("--format=", 0) == 0) {
                format = a.substr(9);
            } else {
                return usage("unknown option \"" + a + "\" for " + arguments[0]);
            }
            if (format != "text" && format != "json") {
                return usage("--format takes text or json");
            }
            line.json = format == "json";
        }
        return line;
    }
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--help" || a == "-h") {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (a == "--version") {
            line.action = CommandLine::Action::Version;
        } else if (a == "--port" || a.rfind("--port=", 0) == 0) {
            std::string value;
            if (a == "--port") {
                if (i + 1 >= arguments.size() || arguments[i + 1].rfind("--", 0) == 0) {
                    return usage(
                        "--port needs a value: auto, sim, sim:key=value,..., "
                        "/dev/parportN or io:0x378");
                }
                value = arguments[++i];
            } else {
                value = a.substr(7);
            }
            if (value.empty()) {
                return usage("--port needs a value");
            }
            line.port = value;
            line.portGiven = true;
        } else if (a == "--check-port" || a.rfind("--check-port=", 0) == 0) {
            if (line.action != CommandLine::Action::Version) {
                line.action = CommandLine::Action::CheckPort;
            }
            if (a != "--check-port") {
                line.port = a.substr(13);
                line.portGiven = true;
            } else if (i + 1 < arguments.size() && arguments[i + 1].rfind("-", 0) != 0) {
                line.port = arguments[++i];
                line.portGiven = true;
            }
        } else if (a.rfind("-platform", 0) == 0 || a.rfind("-style", 0) == 0 ||
                   a.rfind("-display", 0) == 0) {
            // Qt's own options (with their value) go on to Qt.
            if (a.find('=') == std::string::npos) {
                ++i;
            }
        } else {
            return usage("unknown option \"" + a + "\"");
        }
    }
    // A port value that is not understood is a command line not understood, said before any
    // window (or any lock) is made.
    if (line.portGiven && line.action != CommandLine::Action::Version &&
        !IsPortSettingUnderstood(line.port)) {
        const std::string option =
            line.action == CommandLine::Action::CheckPort ? "--check-port" : "--port";
        SimOptions options;
        std::string why;
        if (line.port.rfind("sim:", 0) == 0 && line.port.size() <= kLongestPortSetting &&
            !ParseSimOptions(line.port.substr(4), options, why)) {
            return usage(option + ": " + why);
        }
        return usage(option + ": \"" + ShownPortSetting(line.port) +
                     "\" is not understood; use auto, sim, sim:key=value,..., /dev/parportN or "
                     "io:0x378");
    }
    return line;
}

std::string HelpText(const std::string& program) {
    return "Usage: " + program +
           " [--port VALUE]\n"
           "       " +
           program +
           " --check-port [VALUE]\n"
           "       " +
           program +
           " charge [--port P] [--pack NAME] [--timed H:MM:SS]\n"
           "              [--format text|csv|json] [--keep-stopped] [--mqtt URL]\n"
           "       " +
           program +
           " packs [--format text|json]\n"
           "       " +
           program +
           " pack NAME [--format text|json]\n"
           "       " +
           program +
           " --help | --version\n"
           "\n"
           "Control program for a Ni-Cd / Ni-MH battery charger box on the parallel port.\n"
           "\n"
           "Options:\n"
           "  --port VALUE         the port to drive (wins over KVC410_PORT):\n"
           "                         auto            /dev/parport0 when it exists, else the\n"
           "                                         simulated charger box (the default)\n"
           "                         sim[:k=v,...]   the simulated charger box\n"
           "                         /dev/parportN   that port through ppdev (group lp)\n"
           "                         io:0x378        direct port I/O (root only)\n"
           "  --check-port [VALUE] say which port would be used and what stands in the way,\n"
           "                       with the remedy; starts no charge and opens no window\n"
           "  charge               one charge without a window (SSH, scripts): a status line\n"
           "                       each second on a terminal, else CSV lines (or JSON), then\n"
           "                       a summary; Ctrl+C stops it (stored with --keep-stopped)\n"
           "  --mqtt URL           charge: publish it to this MQTT broker (Home Assistant\n"
           "                       discovery, a remote Stop): mqtt://[user@]host[:port][/prefix],\n"
           "                       mqtts://...[?ca=FILE] for TLS; the password is read from\n"
           "                       ~/.config/Quillmark/kvc410-mqtt-password (mode 600)\n"
           "  packs                the packs, each with its last charge (never written to)\n"
           "  pack NAME            one pack's last charge, as Pack Information shows it\n"
           "  --format text|json   for packs and pack: lines for people, or JSON\n"
           "  --help               this text\n"
           "  --version            the version\n"
           "\n"
           "Environment:\n"
           "  KVC410_PORT          the port, as --port (the option wins)\n"
           "  KVC410_PORT_TRACE    append every port access to this file\n"
           "  KVC410_LOCK_DIR      the folder of the per-port lock (default /run/lock)\n"
           "  KVC410_MQTT_PASSWORD_FILE  the MQTT password's file, in place of the one above\n"
           "\n"
           "Files:\n"
           "  ~/.config/Quillmark/KVC410.ini   settings, packs and their records\n"
           "  ~/KVC410 Output/                 CSV logs of finished charges\n"
           "  nomove.gif                       the end picture: the log folder, beside the\n"
           "                                   program, then its share/kvc410 folder\n"
           "  /run/lock/kvc410-<port>.lock     one program per port\n"
           "\n"
           "Exit status:\n"
           "  0  success (--check-port: the port can be driven)\n"
           "  1  the program could not start (port, lock or guardian refused)\n"
           "  2  the command line is not understood\n"
           "  3  --check-port, charge: the port cannot be driven\n"
           "  4  charge: the charger or the battery missing\n"
           "  5  charge: ended by a backup cut-off (the peak was not detected), or a timed\n"
           "     charge ended early because the pack was already full\n"
           "  6  charge: stopped (Ctrl+C, SIGTERM)\n"
           "  7  charge: interrupted: the program stopped measuring (stopped, or held by\n"
           "     its output) and the watchdog switched the charger off\n"
           "  8  standard output could not be written (charge: the charge's record and\n"
           "     log are kept)\n";
}

std::string VersionText() {
    return "KVC410 " + VersionNumber() + "\n";
}

std::string VersionNumber() {
    return KVC410_VERSION;
}
