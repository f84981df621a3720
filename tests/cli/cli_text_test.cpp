// The command line, what the tool says without a probe, and how it prints what probes report.
#include <gtest/gtest.h>

#include "CliRun.h"
#include "cli/CliArguments.h"
#include "cli/DisplayText.h"
#include "cli/ProgressDisplay.h"
#include "firmware/FirmwareImage.h"

TEST(CliArguments, RefusesWhatMakesNoSense) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no command given"},
        {{"flash"}, "unknown command 'flash'"},
        {{"--json"}, "unknown option '--json'"},
        {{"list", "--all"}, "unknown option '--all'"},
        {{"images", "extra"}, "unexpected argument 'extra'"},
        {{"update", "--serial"}, "--serial needs a serial number"},
        {{"update", "--serial="}, "--serial needs a serial number"},
        {{"update", "--serial", "A", "--serial", "B"}, "--serial given twice"},
        {{"update", "--serial", "A", "--all"}, "--serial and --all exclude each other"},
        {{"notes"}, "notes needs a variant name, e.g. 'notes heron'"},
        {{"notes", "heron", "wren"}, "notes takes one variant name"},
        {{"update", "--image", "f"},
         "--image needs --serial: an image file names no variant, so choose the probe"},
        {{"update", "--image", "f", "--all"}, "--image installs into one probe, not --all"},
        {{"update", "--allow-older"}, "--allow-older goes with --image"},
        {{"images", "--force"}, "images takes --force only with --export"},
        {{"inspect"}, "inspect needs a file name"},
        {{"images", "--export"}, "--export needs a folder name"},
        {{"history", "--history"}, "--history needs a file name"},
        {{"list", "--history", "f"}, "unknown option '--history'"},
    };
    for (const auto& [args, message] : cases) {
        const auto parsed = cli::parseArguments(args);
        EXPECT_FALSE(parsed.request);
        EXPECT_EQ(parsed.error, message);
    }
    const CliRun run = cliRun({"flash"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "velantrix-update-cli: unknown command 'flash' (see --help)\n");
}

TEST(Cli, HelpVersionCatalogueAndReleaseNotes) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"help"}, {"-h"}, {"update", "--bogus", "--help"}})  // help wins over mistakes
        EXPECT_EQ(cliRun(args).out.rfind("Usage: velantrix-update-cli COMMAND [OPTIONS]\n", 0), 0u);
    EXPECT_EQ(cliRun({"--version"}).out.rfind("velantrix-update-cli 1.", 0), 0u);
    EXPECT_NE(cliRun({"images"})
                  .out.find("Velantrix Osprey   6           0x1A008000  60212   3.1 - Build: "
                            "2024042402.56362\n"),
              std::string::npos);
    const FirmwareImage& heronRow = firmwareCatalogue[0];
    for (const char* name : {"heron", "HERON", "velantrix heron"}) {
        const CliRun notes = cliRun({"notes", name});
        EXPECT_EQ(notes.status, 0);
        EXPECT_EQ(notes.out, std::string(heronRow.releaseNotes, heronRow.releaseNotesLength));
    }
    const CliRun unknown = cliRun({"notes", "Velantrix"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err,
              "velantrix-update-cli: no firmware image for variant 'Velantrix' (Velantrix Heron, "
              "Velantrix Wren, Velantrix Kestrel, Velantrix Osprey, Velantrix Egret)\n");
}

TEST(CliDisplayText, DeviceTextCannotDriveTheTerminalNorBreakJson) {
    const std::string hostile = "A\x1b[2J\"\\\n\t\x7f\x9f\xa0\xe9";
    EXPECT_EQ(cli::displayText(hostile), "A?[2J\"\\????\xc2\xa0\xc3\xa9");
    EXPECT_EQ(cli::jsonString(hostile), R"("A\u001b[2J\"\\\n\t\u007f\u009f\u00a0\u00e9")");
    EXPECT_EQ(cli::jsonString("\r~"), R"("\r~")");
}

namespace {

// The reports of one phase of `size` bytes: `done` after each request (a failing request
// reports the phase done), then its end.
std::string shown(bool terminal, int size, const std::vector<int>& done, bool ok = true) {
    std::ostringstream out;
    cli::ProgressDisplay display(out, terminal);
    const UpdateProgress progress = display.callback();
    progress(0, size, "Verifying firmware", "bytes");
    for (const int step : done)
        progress(step, -1, nullptr, nullptr);
    display.finish(ok);
    return out.str();
}

}  // namespace

TEST(CliProgressDisplay, LinesForLogsAndABarForTerminalsShowWhereAPhaseStopped) {
    EXPECT_EQ(shown(false, 20000, {8192, 16384, 20000}),
              "Verifying firmware: 0/20000 bytes\nVerifying firmware: 20000/20000 bytes\n");
    const auto bar = [](std::size_t filled, const std::string& rest) {
        return "\r  [" + std::string(filled, '#') + std::string(40 - filled, '-') + "] " + rest;
    };
    EXPECT_EQ(shown(true, 16384, {8192, 16384}),
              "Verifying firmware\n" + bar(0, "  0%  0/16384 bytes") +
                  bar(20, " 50%  8192/16384 bytes") + bar(40, "100%  16384/16384 bytes\n"));
    EXPECT_EQ(shown(true, 16384, {16384}, false), "Verifying firmware\n" +
                                                      bar(0, "  0%  0/16384 bytes") +
                                                      bar(0, "  0%  0/16384 bytes  stopped\n"));
}
