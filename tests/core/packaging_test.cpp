// The packaging files that open the probes to the user name exactly the probe model table's
// probes: the udev rule by vendor and product id, the AppStream metadata by modalias, and the
// Windows driver package, which binds the generic USB driver, by hardware id, only to the models
// this program updates over USB (binding it to the others would take them from the driver they
// need); the driver package also has that driver register the probes' own interface class.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>

#include "link/ProbeModels.h"
#include "platform/InterfaceClassGuids.h"

namespace {

std::set<std::string> fromTable(const char* format, bool updatableOnly = false) {
    std::set<std::string> texts;
    for (const ProbeModel& model : probeModels) {
        if (updatableOnly && !updatableOverUsb(model))
            continue;
        char text[96];
        std::snprintf(text, sizeof text, format, unsigned{probeVendorId},
                      unsigned{model.productId});
        texts.insert(text);
    }
    return texts;
}

// What `pattern` captures in the lines of a packaging file; with `strict`, every line that is
// not blank or a comment must match, and one that does not is kept whole.
std::set<std::string> fromFile(const char* name, const char* pattern, bool strict) {
    std::ifstream file(std::string(VX_SOURCE_DIR "/packaging/") + name, std::ios::binary);
    EXPECT_TRUE(file) << name;
    std::set<std::string> found;
    std::smatch match;
    for (std::string line; std::getline(file, line);) {
        if (line.ends_with('\r'))
            line.pop_back();
        if (std::regex_search(line, match, std::regex(pattern)))
            found.insert(match[1]);
        else if (strict && !line.empty() && line[0] != '#')
            found.insert(line);
    }
    return found;
}

}  // namespace

TEST(Packaging, UdevRuleOpensTheDeviceNodeOfEveryProbeModelAndNothingElse) {
    EXPECT_EQ(fromFile("udev/70-velantrix-update.rules",
                       R"(^SUBSYSTEM=="usb", ENV\{DEVTYPE\}=="usb_device", )"
                       R"((ATTR\{idVendor\}=="\w+", ATTR\{idProduct\}=="\w+"), TAG\+="uaccess"$)",
                       true),
              fromTable(R"(ATTR{idVendor}=="%04x", ATTR{idProduct}=="%04x")"));
}

TEST(Packaging, AppStreamMetadataProvidesTheModaliasOfEveryProbeModel) {
    EXPECT_EQ(fromFile("io.velantrix.Update.metainfo.xml", R"(<modalias>(.*)</modalias>)", false),
              fromTable("usb:v%04Xp%04Xd*"));
}

// Windows reads an INF with either line end; its tools and editors expect CRLF throughout.
TEST(Packaging, WindowsDriverPackageBindsTheModelsUpdatedOverUsbAndRegistersTheirClass) {
    const char* inf = "windows/velantrix-probes.inf";
    EXPECT_EQ(fromFile(inf, R"((USB\\VID_\w{4}&PID_\w{4}))", false),
              fromTable(R"(USB\VID_%04X&PID_%04X)", true));
    std::ifstream file(std::string(VX_SOURCE_DIR "/packaging/") + inf, std::ios::binary);
    std::string text(1 << 16, '\0');
    text.resize(static_cast<std::size_t>(file.read(text.data(), std::ssize(text)).gcount()));
    EXPECT_FALSE(std::regex_search(text, std::regex("(^|[^\r])\n"))) << "a line without CRLF";
    EXPECT_EQ(
        fromFile(inf, R"x(DeviceInterfaceGUIDs,0x10000,"([^"]*)")x", false),
        std::set<std::string>{platform::interfaceClassGuid(platform::InterfaceClass::Extra1)});
}
