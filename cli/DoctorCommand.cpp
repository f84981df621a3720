#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>

#include "cli/CliMessages.h"
#include "cli/Commands.h"
#include "cli/DisplayText.h"
#include "cli/ExitStatus.h"
#include "cli/ProbeSurvey.h"
#include "link/ProbeModels.h"

namespace cli {

namespace {

std::string hex4(unsigned id) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", id);
    return text;
}

// The value of `key=="VALUE"` on a rule line, or empty.
std::string ruleValue(const std::string& line, const std::string& key) {
    const std::string opening = key + "==\"";
    const std::size_t at = line.find(opening);
    if (at == std::string::npos)
        return {};
    const std::size_t start = at + opening.size();
    const std::size_t end = line.find('"', start);
    return end == std::string::npos ? std::string() : line.substr(start, end - start);
}

struct RuleFinding {
    std::string file;               // the first rule file that opens our probes to the seat
    std::set<std::string> product;  // the product ids its lines name, "0003"
};

void readRuleFile(const std::string& path, const std::string& text, RuleFinding& found) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (ruleValue(line, "ATTR{idVendor}") != hex4(probeVendorId) ||
            line.find("\"uaccess\"") == std::string::npos)
            continue;
        if (found.file.empty())
            found.file = path;
        if (found.file == path)
            found.product.insert(ruleValue(line, "ATTR{idProduct}"));
    }
}

// Whether a rule where udev reads rules gives every model of the table to the user at the seat.
bool checkRule(const Console& console, const platform::AccessQueries& system) {
    RuleFinding found;
    std::string directories;
    for (const std::string& directory : system.ruleDirectories) {
        directories += (directories.empty() ? "" : ", ") + directory;
        std::vector<std::string> names = system.filesIn(directory);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            std::string path = directory;
            path += '/';
            path += name;
            const auto text = name.ends_with(".rules") ? system.readFile(path) : std::nullopt;
            if (text)
                readRuleFile(path, *text, found);
        }
    }
    if (found.file.empty()) {
        console.out << messages::doctorRuleMissing(directories) << '\n';
        return false;
    }
    std::string missing;
    for (const ProbeModel& model : probeModels) {
        if (!found.product.contains(hex4(model.productId)))
            missing += (missing.empty() ? "" : ", ") + hex4(model.productId);
    }
    console.out << (missing.empty() ? messages::doctorRuleOk(found.file)
                                    : messages::doctorRuleLacks(found.file, missing))
                << '\n';
    return missing.empty();
}

std::string probeName(const USBDeviceInfo& probe) {
    const ProbeModel* model = findProbeModel(probe.productId);
    return displayText(probe.serialNumber) + " (" +
           (model ? model->variantName : messages::productIdText(probe.productId)) + ")";
}

// Whether this user may open every attached probe: its node (Linux), its driver (Windows).
bool checkProbe(const Console& console, const platform::AccessQueries& system,
                const USBDeviceInfo& probe) {
    const std::string name = probeName(probe);
    if (system.winUsbBound) {
        const bool bound = system.winUsbBound(probe.devicePath);
        console.out << (bound ? messages::doctorWinUsbOk(name) : messages::doctorNoWinUsb(name))
                    << '\n';
        return bound;
    }
    if (!system.nodeOf)
        return true;
    const auto node = system.nodeOf(probe.devicePath);
    if (!node) {
        console.out << messages::doctorNoNode(name) << '\n';
        return false;
    }
    const bool allowed = system.mayReadWrite(*node);
    console.out << (allowed ? messages::doctorNodeOk(name, *node)
                            : messages::doctorNodeDenied(name, *node))
                << '\n';
    return allowed;
}

bool checkYesNo(const Console& console, const std::function<bool()>& query, const char* ok,
                const char* advice) {
    if (!query)
        return true;
    const bool yes = query();
    console.out << (yes ? ok : advice) << '\n';
    return yes;
}

}  // namespace

int diagnose(platform::Context context, const Console& console,
             const platform::AccessQueries& system) {
    bool well = system.ruleDirectories.empty() || checkRule(console, system);
    const std::vector<USBDeviceInfo> probes = attachedProbes(context);
    if (probes.empty())
        console.out << messages::doctorNoProbe << '\n';
    for (const USBDeviceInfo& probe : probes)
        well = checkProbe(console, system, probe) && well;
    well =
        checkYesNo(console, system.atSeat, messages::doctorSeatOk, messages::doctorNoSeat) && well;
    well = checkYesNo(console, system.usbLibraryWorks, messages::doctorLibusbOk,
                      messages::doctorLibusbFails) &&
           well;
    return well ? exitSuccess : exitFailure;
}

}  // namespace cli
