#include "CliSimTest.h"
#include "cli/ExitStatus.h"

using clitest::catalogueImage;

namespace {

using CliList = clitest::CliSimTest;

const std::string heron = "2.16 - Build: 2019032603.38702";
const std::string osprey = "3.1 - Build: 2024042402.56362";
const std::string egret = "1.1 - Built: 14 June 2006 16:56:46";
const std::string kestrel = "2.14 - Build: 2012100404.16304";

}  // namespace

TEST_F(CliList, NothingAttachedIsAnEmptyListingNotAFailure) {
    EXPECT_EQ(run({"list"}), cli::exitSuccess);
    EXPECT_EQ(out(), "No devices connected, attach the Velantrix you wish to configure.\n");
    EXPECT_EQ(run({"list", "--json"}), cli::exitSuccess);
    EXPECT_EQ(out(), "[]\n");
    EXPECT_EQ(err(), "");
}

TEST_F(CliList, OneProbeShowsInstalledAndOfferedFirmware) {
    attach(3, "0300A1",
           sim::buildFirmwareImage(
               {.majorVersion = 2, .minorVersion = 15, .buildText = "Build: 2018111901.31517"}));
    EXPECT_EQ(run({"list"}), cli::exitSuccess);
    EXPECT_EQ(out(),
              "SERIAL  VARIANT          INSTALLED                       OFFERED                 "
              "        STATUS\n"
              "0300A1  Velantrix Heron  2.15 - Build: 2018111901.31517  " +
                  heron + "  update available\n");
}

// Every kind of row at once: up to date, update available, nothing recognised installed, a
// variant without a catalogue image, one without a USB link, and one whose loader is silent.
TEST_F(CliList, SeveralProbesOfEveryKindInTextAndJson) {
    attach(6, "0600B7", catalogueImage(3));
    attach(5, "0500C3");
    attach(4, "04010000");
    attach(16, "1000D4", catalogueImage(2));
    auto silent = attach(3, "0300E5", catalogueImage(0));
    silent->on(sim::Command::Info, 1).noReply();
    silent->on(sim::Command::Info, 2).noReply();
    attach(3, "0300A1", sim::buildFirmwareImage({.majorVersion = 2, .minorVersion = 15}));

    EXPECT_EQ(run({"list", "--json"}), cli::exitSuccess);
    const std::string readTimedOut = "hardware error: target JTAG adapter data link read timed out";
    EXPECT_EQ(out(),
              "[\n"
              "  {\"serial\": \"0600B7\", \"productId\": 6, \"variant\": \"Velantrix Osprey\", "
              "\"state\": \"ready\", \"installed\": \"" +
                  osprey + "\", \"offered\": \"" + osprey +
                  "\", \"updateAvailable\": false, \"message\": null},\n"
                  "  {\"serial\": \"0500C3\", \"productId\": 5, \"variant\": \"Velantrix Egret\", "
                  "\"state\": \"ready\", \"installed\": null, \"offered\": \"" +
                  egret +
                  "\", \"updateAvailable\": true, \"message\": null},\n"
                  "  {\"serial\": \"04010000\", \"productId\": 4, \"variant\": null, "
                  "\"state\": \"unsupported\", \"installed\": null, \"offered\": null, "
                  "\"updateAvailable\": false, \"message\": \"The attached Velantrix is not "
                  "supported by Velantrix Update.\"},\n"
                  "  {\"serial\": \"1000D4\", \"productId\": 16, \"variant\": \"Velantrix "
                  "Kestrel\", \"state\": \"unreachable\", \"installed\": null, \"offered\": \"" +
                  kestrel +
                  "\", \"updateAvailable\": false, \"message\": \"The attached Velantrix "
                  "cannot be updated over its USB connection by Velantrix Update.\"},\n"
                  "  {\"serial\": \"0300E5\", \"productId\": 3, \"variant\": \"Velantrix Heron\", "
                  "\"state\": \"error\", \"installed\": null, \"offered\": \"" +
                  heron + "\", \"updateAvailable\": false, \"message\": \"" + readTimedOut +
                  "\"},\n"
                  "  {\"serial\": \"0300A1\", \"productId\": 3, \"variant\": \"Velantrix Heron\", "
                  "\"state\": \"ready\", \"installed\": \"2.15 - Build: virtual\", \"offered\": "
                  "\"" +
                  heron +
                  "\", \"updateAvailable\": true, \"message\": null}\n"
                  "]\n");

    EXPECT_EQ(run({"list"}), cli::exitSuccess);
    std::istringstream lines(out());
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);)
        rows.push_back(line);
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0].rfind("SERIAL    VARIANT            INSTALLED", 0), 0u) << rows[0];
    EXPECT_NE(rows[1].find(osprey), std::string::npos) << rows[1];
    EXPECT_NE(rows[1].find("reports the offered version"), std::string::npos) << rows[1];
    EXPECT_NE(rows[2].find("not installed"), std::string::npos) << rows[2];
    EXPECT_NE(rows[2].find("update available"), std::string::npos) << rows[2];
    EXPECT_NE(rows[3].find("product id 4"), std::string::npos) << rows[3];
    EXPECT_NE(rows[3].find("The attached Velantrix is not supported by Velantrix Update."),
              std::string::npos);
    EXPECT_NE(rows[4].find("cannot be updated over its USB connection"), std::string::npos);
    EXPECT_NE(rows[5].find(readTimedOut), std::string::npos) << rows[5];
    // Columns line up under the heading whatever the cells hold: the variant starts after the
    // widest serial number and the gap.
    for (const auto& row : rows)
        EXPECT_EQ(row.substr(8, 3).find_first_not_of(' '), 2u) << row;
}
