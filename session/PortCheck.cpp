#include "session/PortCheck.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/ppdev.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/PortDrivers.h"
#include "platform/SingleInstance.h"
#include "session/PortSelection.h"

namespace {

class Report {
public:
    void Line(const std::string& text) { m_text += text + "\n"; }
    void Problem(const std::string& what, const std::string& remedy) {
        m_text += "\nProblem: " + what + "\n  Remedy: " + remedy + "\n";
        ++m_problems;
    }
    int Problems() const { return m_problems; }
    std::string Text() const { return m_text; }

private:
    std::string m_text;
    int m_problems = 0;
};

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> ParportDevices(const std::string& devFolder) {
    std::vector<std::string> found;
    if (DIR* dir = opendir(devFolder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (std::strncmp(entry->d_name, "parport", 7) == 0) {
                found.push_back(devFolder + "/" + entry->d_name);
            }
        }
        closedir(dir);
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string GroupName(gid_t gid) {
    if (const group* g = getgrgid(gid)) {
        return g->gr_name;
    }
    return std::to_string(gid);
}

// Whether the process has the group now, and whether the user is listed in it at all (a
// membership added since the login takes effect only at the next one).
void GroupMembership(gid_t gid, bool& now, bool& listed) {
    now = getegid() == gid;
    std::vector<gid_t> groups(static_cast<size_t>(std::max(getgroups(0, nullptr), 0)));
    if (!groups.empty()) {
        groups.resize(
            static_cast<size_t>(getgroups(static_cast<int>(groups.size()), groups.data())));
    }
    now = now || std::find(groups.begin(), groups.end(), gid) != groups.end();
    listed = now;
    if (const passwd* pw = getpwuid(geteuid())) {
        int count = 64;
        std::vector<gid_t> all(static_cast<size_t>(count));
        if (getgrouplist(pw->pw_name, pw->pw_gid, all.data(), &count) < 0) {
            all.resize(static_cast<size_t>(count));
            getgrouplist(pw->pw_name, pw->pw_gid, all.data(), &count);
        }
        all.resize(static_cast<size_t>(std::max(count, 0)));
        listed = listed || std::find(all.begin(), all.end(), gid) != all.end();
    }
}

void NoDevice(Report& report, const std::string& device, const PortCheckPlaces& places) {
    const std::vector<std::string> others = ParportDevices(places.devFolder);
    if (!others.empty()) {
        std::string list;
        for (const std::string& d : others) {
            list += (list.empty() ? "" : ", ") + d;
        }
        report.Problem(device + " does not exist; this machine has " + list + ".",
                       "name one of them: kvc410 --port " + others.front() + ".");
        return;
    }
    if (!Exists(places.moduleFolder + "/parport_pc")) {
        report.Problem(device +
                           " does not exist, and the parport_pc module (the driver of the "
                           "parallel port on the main board) is not loaded.",
                       "load it: sudo modprobe parport_pc (and add parport_pc to /etc/modules "
                       "to load it at every start). A port on a PCI or USB card needs that "
                       "card's own module.");
    } else if (!Exists(places.moduleFolder + "/ppdev")) {
        report.Problem(device +
                           " does not exist: the ppdev module, through which programs "
                           "reach the port, is not loaded.",
                       "load it: sudo modprobe ppdev (and add ppdev to /etc/modules).");
    } else {
        report.Problem(device +
                           " does not exist, although the parallel port drivers are "
                           "loaded: the kernel found no port.",
                       "make sure the port is switched on in the machine's firmware set-up, or "
                       "name the port's device with --port.");
    }
}

void CheckPpdev(Report& report, const std::string& device, const PortCheckPlaces& places) {
    struct stat st {};
    if (stat(device.c_str(), &st) != 0) {
        NoDevice(report, device, places);
        return;
    }
    const int fd = open(device.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM) {
            bool now = false;
            bool listed = false;
            GroupMembership(st.st_gid, now, listed);
            const std::string groupName = GroupName(st.st_gid);
            if (!listed) {
                report.Problem("you may not open " + device + ": it belongs to the group " +
                                   groupName + ", and you are not in it.",
                               "add yourself to the group: sudo adduser $USER " + groupName +
                                   ", then log out and in again.");
            } else if (!now) {
                report.Problem("you may not open " + device + ": you were added to the group " +
                                   groupName + " since you logged in.",
                               "log out and in again, so that the membership takes effect.");
            } else {
                report.Problem("you may not open " + device + " although you are in its group " +
                                   groupName +
                                   ": the device does not let the group read and "
                                   "write it.",
                               "let the group read and write it (a udev rule: "
                               "KERNEL==\"parport[0-9]*\", GROUP=\"lp\", MODE=\"0660\").");
            }
        } else {
            report.Problem(device + " cannot be opened: " + std::strerror(error) + ".",
                           "check that it is the parallel port's device.");
        }
        return;
    }
    if (!S_ISCHR(st.st_mode)) {
        report.Problem(device + " is not a device.",
                       "name the parallel port's device, such as /dev/parport0.");
        close(fd);
        return;
    }
    if (ioctl(fd, PPEXCL) != 0 || ioctl(fd, PPCLAIM) != 0) {
        const int error = errno;
        if (error == EBUSY) {
            report.Problem("another program holds " + device +
                               " (often the printer driver lp or a printer service).",
                           "unload the printer driver (sudo modprobe -r lp) or stop the printer "
                           "service (sudo systemctl stop cups), then try again.");
        } else {
            report.Problem(
                device + " is not a parallel port through ppdev: " + std::strerror(error) + ".",
                "name the parallel port's device, such as /dev/parport0.");
        }
        close(fd);
        return;
    }
    ioctl(fd, PPRELEASE);
    close(fd);
}

// Returns true when another KVC410 drives the port: then the port itself is left alone.
bool CheckLock(Report& report, const std::string& setting, const PortCheckPlaces& places) {
    const std::string name = PortLockName(setting.c_str(), places.autoDevice, places.parportInfo);
    if (name.empty()) {
        return false;
    }
    const std::string folder = places.lockFolder.empty() ? PortLockFolder() : places.lockFolder;
    std::string why;
    switch (AcquirePortLock(name, folder, why)) {
        case PortLock::Taken:
            break;
        case PortLock::InUse:
            report.Problem("another KVC410 is driving this port.",
                           "use that window, or end it first.");
            return true;
        case PortLock::Unavailable:
            report.Problem(
                "the lock that keeps a second program off the port cannot be made "
                "in " +
                    folder + " (" + why + ").",
                "make sure the folder exists and can be written, or name another "
                "one in KVC410_LOCK_DIR.");
            break;
    }
    return false;
}

}  // namespace

PortCheckResult CheckPort(const std::string& setting, const PortCheckPlaces& places) {
    Report report;
    const std::string value = setting.empty() ? "auto" : setting;
    std::string device;
    // A misspelt or hostile value is named in no lock file: refused before anything is made.
    if (!IsPortSettingUnderstood(value) && value.rfind("sim:", 0) != 0 &&
        value.rfind("io:", 0) != 0) {
        report.Problem(
            std::string("\"").append(ShownPortSetting(value)).append("\" is not a port."),
            "use auto, sim, sim:key=value,..., /dev/parportN or io:0x378.");
        return {false, report.Text()};
    }
    if (value == "auto") {
        device = places.autoDevice;
        if (!Exists(device)) {
            report.Line("Port: the simulated charger box (auto: " + device + " does not exist).");
            NoDevice(report, device, places);
            report.Line(
                "\nKVC410 would run on the simulated charger box; no charger can be "
                "driven.");
            return {false, report.Text()};
        }
        report.Line("Port: " + device + " (auto), through ppdev.");
    } else if (value == "sim" || value.rfind("sim:", 0) == 0) {
        PortChoice choice = OpenPortFromSetting(value.c_str(), nullptr);
        if (!choice.driver) {
            report.Problem(choice.error, "see kvc410 --help for the port values.");
            return {false, report.Text()};
        }
        report.Line("Port: the simulated charger box, as asked. No hardware is needed.");
        return {true, report.Text()};
    } else if (value.rfind("/dev/", 0) == 0) {
        device = value;
        report.Line("Port: " + device + ", through ppdev.");
    } else if (value.rfind("io:", 0) == 0) {
        report.Line("Port: " + value + ", by direct port I/O.");
        if (CheckLock(report, value, places)) {
            // A charge may be running there: the port is not touched.
        } else if (geteuid() != 0) {
            report.Problem("direct port I/O needs root, and you are not root.",
                           "run KVC410 as root, or better use the port's ppdev device "
                           "(--port /dev/parport0) as a member of the group lp.");
        } else {
            PortChoice choice = OpenPortFromSetting(value.c_str(), nullptr);
            if (!choice.driver) {
                report.Problem(choice.error, "check the address (cat /proc/ioports).");
            }
        }
    } else {
        report.Problem("\"" + value + "\" is not a port.",
                       "use auto, sim, sim:key=value,..., /dev/parportN or io:0x378.");
        return {false, report.Text()};
    }
    if (!device.empty() && !CheckLock(report, value, places)) {
        CheckPpdev(report, device, places);
    }
    report.Line(report.Problems() == 0 ? "\nThe port can be driven."
                                       : "\nThe port cannot be driven.");
    return {report.Problems() == 0, report.Text()};
}
