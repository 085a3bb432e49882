// serial_backend::ListPortDetails on Linux: the serial ports sysfs knows, with their stable
// names under /dev/serial/by-id and the USB adapter's maker and model.
//
// Every system path read is prefixed with `root`, so a test can lay out a fake /sys and /dev.
#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <map>

#include "serial/SerialBackend.h"

namespace serial_backend {

namespace {

bool StartsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Names in a directory, without "." and ".."; false when it cannot be read.
bool DirectoryNames(const std::string& dir, std::vector<std::string>& names) {
    DIR* listing = opendir(dir.c_str());
    if (!listing) return false;
    for (const dirent* entry = readdir(listing); entry; entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(listing);
    return true;
}

// The first line of a small sysfs attribute file, without trailing blanks; "" if none.
std::string ReadAttribute(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line;
}

// The 8250 driver registers ttyS0..ttySn whether or not a UART sits behind them; the real
// ones report a non-zero port type. Other drivers' ports have a device behind them, consoles
// and virtual terminals do not; USB adapters always count.
bool IsSerialPort(const std::string& ttyDir, const std::string& name) {
    if (StartsWith(name, "ttyUSB") || StartsWith(name, "ttyACM")) return true;
    const std::string entry = ttyDir + "/" + name;
    if (StartsWith(name, "ttyS")) {
        std::ifstream typeFile(entry + "/type");
        long type = 0;
        return typeFile >> type && type != 0;
    }
    return Exists(entry + "/device");
}

// Kernel name -> /dev/serial/by-id/<link> for every link there (the first by name wins).
std::map<std::string, std::string> StableNames(const std::string& root) {
    const std::string dir = "/dev/serial/by-id";
    std::vector<std::string> links;
    std::map<std::string, std::string> byKernelName;
    if (!DirectoryNames(root + dir, links)) return byKernelName;
    std::sort(links.begin(), links.end());
    for (const std::string& link : links) {
        char target[PATH_MAX];
        const ssize_t n = readlink((root + dir + "/" + link).c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        const std::string path(target, size_t(n));
        const std::string kernelName = path.substr(path.find_last_of('/') + 1);
        byKernelName.emplace(kernelName, dir + "/" + link);
    }
    return byKernelName;
}

// The USB device above the port's device in sysfs (the directory with idVendor) gives the
// adapter's maker and model; "" for a port that is not on USB.
std::string UsbDescription(const std::string& root, const std::string& deviceLink) {
    char resolved[PATH_MAX];
    if (!realpath(deviceLink.c_str(), resolved)) return std::string();
    std::string dir = resolved;
    char sysResolved[PATH_MAX];
    const std::string sys = realpath((root + "/sys").c_str(), sysResolved) ? sysResolved : "";
    while (!sys.empty() && dir.size() > sys.size() && StartsWith(dir, sys.c_str())) {
        if (Exists(dir + "/idVendor")) {
            const std::string maker = ReadAttribute(dir + "/manufacturer");
            const std::string model = ReadAttribute(dir + "/product");
            if (maker.empty() && model.empty())
                return "USB " + ReadAttribute(dir + "/idVendor") + ":" +
                       ReadAttribute(dir + "/idProduct");
            return maker.empty() || model.empty() ? maker + model : maker + " " + model;
        }
        dir.erase(dir.find_last_of('/'));
    }
    return std::string();
}

std::string Lowered(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

bool ListPortDetails(std::vector<PortInfo>& ports, const std::string& root) {
    const std::string ttyDir = root + "/sys/class/tty";
    std::vector<std::string> names;
    if (!DirectoryNames(ttyDir, names)) return false;
    const std::map<std::string, std::string> stable = StableNames(root);
    ports.clear();
    for (const std::string& name : names) {
        if (!IsSerialPort(ttyDir, name)) continue;
        PortInfo port;
        port.name = name;
        port.path = "/dev/" + name;
        const auto link = stable.find(name);
        if (link != stable.end()) port.stablePath = link->second;
        port.description = UsbDescription(root, ttyDir + "/" + name + "/device");
        ports.push_back(port);
    }
    std::sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
        return Lowered(a.name) < Lowered(b.name);
    });
    return true;
}

}  // namespace serial_backend
