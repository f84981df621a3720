// The files that open the probes to the user on Linux name exactly the probe model table's
// probes: the udev rule by vendor and product id, the AppStream metadata by modalias.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>

#include "link/ProbeModels.h"

namespace {

std::set<std::string> fromTable(const char* format) {
    std::set<std::string> texts;
    for (const ProbeModel& model : probeModels) {
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
    std::ifstream file(std::string(VX_SOURCE_DIR "/packaging/") + name);
    EXPECT_TRUE(file) << name;
    std::set<std::string> found;
    std::smatch match;
    for (std::string line; std::getline(file, line);) {
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
