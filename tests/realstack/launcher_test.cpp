// The launcher's command line and its report, without a testbed.

#include <gtest/gtest.h>

#include "emulator/EmulatorOptions.h"
#include "emulator/ProbeReport.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/ProbeFactory.h"
#include "sim/VirtualBus.h"

using emulator::FaultOption;
using emulator::FirmwareVersion;
using emulator::parseEmulatorOptions;
using Kind = emulator::FaultOption::Kind;

namespace {

emulator::EmulatorOptions parse(std::vector<std::string> words) {
    return parseEmulatorOptions(words);
}

std::string rejection(std::vector<std::string> words) {
    try {
        parse(std::move(words));
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "<accepted>";
}

FaultOption commandFault(sim::Command command, int occurrence, sim::CommandFault fault,
                         uint32_t argument = 0) {
    FaultOption option;
    option.command = command;
    option.position = occurrence;
    option.commandFault = fault;
    option.argument = argument;
    return option;
}

}  // namespace

TEST(LauncherOptions, ProbesWithTheirFaultsThenTheProgram) {
    const auto options = parse({"--probe", "osprey:OS000001:3.0", "--fault", "erase:3:noreply",
                                "--fault", "write:2:corruptwrite:17", "--probe", "heron", "--",
                                "./velantrix-update", "--probe"});
    ASSERT_EQ(options.probes.size(), 2u);
    EXPECT_EQ(options.probes[0].productId, 6);
    EXPECT_EQ(options.probes[0].serial, "OS000001");
    EXPECT_EQ(options.probes[0].firmware, (FirmwareVersion{3, 0}));
    EXPECT_EQ(options.probes[0].faults,
              (std::vector<FaultOption>{
                  commandFault(sim::Command::Erase, 3, sim::CommandFault::NoReply),
                  commandFault(sim::Command::Write, 2, sim::CommandFault::CorruptWrite, 17)}));
    EXPECT_EQ(options.probes[1].productId, 3);
    EXPECT_EQ(options.probes[1].serial, "HR000002");  // made up, numbered by position
    EXPECT_EQ(options.probes[1].firmware, (FirmwareVersion{1, 0}));
    EXPECT_TRUE(options.probes[1].faults.empty());
    // Everything after "--" belongs to the program, options included.
    EXPECT_EQ(options.command, (std::vector<std::string>{"./velantrix-update", "--probe"}));
}

TEST(LauncherOptions, VariantsByNameOrIdAndProbesWithoutFirmware) {
    const auto options =
        parse({"--probe", "16", "--probe", "egret::none", "--probe", "wren:", "prog", "arg"});
    ASSERT_EQ(options.probes.size(), 3u);
    EXPECT_EQ(options.probes[0].productId, 16);
    EXPECT_EQ(options.probes[0].serial, "KS000001");
    EXPECT_EQ(options.probes[1].firmware, std::nullopt);
    EXPECT_EQ(options.probes[1].serial, "EG000002");
    EXPECT_EQ(options.probes[2].productId, 4);
    EXPECT_EQ(options.command, (std::vector<std::string>{"prog", "arg"}));
    EXPECT_TRUE(parse({"--help"}).help);
}

TEST(LauncherOptions, FaultWords) {
    auto only = [](const std::string& fault) {
        return parse({"--probe", "heron", "--fault", fault, "x"}).probes[0].faults.at(0);
    };
    EXPECT_EQ(only("connect:1:busy"),
              commandFault(sim::Command::Connect, 1, sim::CommandFault::Busy, 1));
    EXPECT_EQ(only("connect:2:busy:4"),
              commandFault(sim::Command::Connect, 2, sim::CommandFault::Busy, 4));
    EXPECT_EQ(only("crc:5:shortreply:3"),
              commandFault(sim::Command::Crc, 5, sim::CommandFault::ShortReply, 3));
    EXPECT_EQ(only("info:1:wrongtag:9"),
              commandFault(sim::Command::Info, 1, sim::CommandFault::WrongTag, 9));
    EXPECT_EQ(only("disconnect:1:unplug"),
              commandFault(sim::Command::Disconnect, 1, sim::CommandFault::Unplug));
    const FaultOption request = only("request:40:timeout");
    EXPECT_EQ(request.kind, Kind::Request);
    EXPECT_EQ(request.position, 40);
    EXPECT_EQ(request.requestFault, sim::RequestFault::TimeOut);
    EXPECT_EQ(only("open").kind, Kind::RefuseOpen);
    EXPECT_EQ(only("claim:3").position, 3);
}

TEST(LauncherOptions, MistakesAreNamed) {
    EXPECT_EQ(rejection({"--probe", "albatross", "x"}), "unknown probe variant \"albatross\"");
    EXPECT_EQ(rejection({"--fault", "erase:1:fail", "x"}),
              "--fault erase:1:fail comes before any --probe");
    EXPECT_EQ(rejection({"--probe", "heron:S:3", "x"}),
              "a firmware version is MAJOR.MINOR or none, not \"3\"");
    EXPECT_EQ(rejection({"--probe", "heron", "--fault", "erase:0:fail", "x"}),
              "not a valid command occurrence: \"0\"");
    EXPECT_EQ(rejection({"--probe", "heron", "--fault", "erase:1:noreply:5", "x"}),
              "the fault noreply takes no argument");
    EXPECT_EQ(rejection({"--probe", "heron", "--fault", "write:1:shortreply", "x"}),
              "the fault shortreply needs an argument");
    EXPECT_EQ(rejection({"--probe", "heron", "--fault", "flash:1:fail", "x"}),
              "unknown fault \"flash:1:fail\"");
    EXPECT_EQ(rejection({"--probe", "heron"}), "no program to run");
    EXPECT_EQ(rejection({"--probe"}), "--probe needs a value");
    EXPECT_EQ(rejection({"--verbose", "x"}), "unknown option --verbose");
}

TEST(LauncherOptions, RefusalsReachTheProbe) {
    const auto options = parse({"--probe", "osprey", "--fault", "open:2", "x"});
    auto probe = sim::makeProbe(6, "OS000001");
    emulator::applyFault(options.probes[0].faults[0], *probe);
    sim::VirtualBus bus;
    const std::string path = bus.attach(probe);
    EXPECT_FALSE(bus.openUsbDevice(path));
    EXPECT_FALSE(bus.openUsbDevice(path));
    EXPECT_TRUE(bus.openUsbDevice(path));
}

TEST(LauncherReport, BusMovesAndLoaderSessions) {
    emulator::ProbeSnapshot before;
    before.node = "/dev/bus/usb/001/002";
    before.firmware = "3.0 - Build: emulated";
    emulator::ProbeSnapshot after = before;
    EXPECT_TRUE(emulator::probeEvents("OS1", before, after, before).empty());

    after.node = "/dev/bus/usb/001/003";  // restarted between two looks
    after.commands[0] = 1;                // a connect
    EXPECT_EQ(
        emulator::probeEvents("OS1", before, after, before),
        (std::vector<std::string>{"OS1 left the bus", "OS1 is on the bus at /dev/bus/usb/001/003",
                                  "OS1: loader connected"}));

    const emulator::ProbeSnapshot session = after;
    emulator::ProbeSnapshot done = after;
    done.commands = {1, 1, 15, 8, 8, 0};  // connect, disconnect, write, erase, crc, info
    done.firmware = "3.1 - Build: x";
    EXPECT_EQ(emulator::probeEvents("OS1", after, done, session),
              (std::vector<std::string>{"OS1: loader disconnected after 8 erases, 15 writes "
                                        "and 8 CRC checks; the flash holds 3.1 - Build: x"}));
    emulator::ProbeSnapshot gone = done;
    gone.node.reset();
    gone.commands[5] = 1;
    EXPECT_EQ(emulator::probeEvents("OS1", done, gone, session),
              (std::vector<std::string>{"OS1 left the bus",
                                        "OS1: loader information read (firmware 3.1 - Build: x)"}));
}

TEST(LauncherReport, FirmwareInFlash) {
    EXPECT_EQ(emulator::firmwareInFlash(*sim::makeProbe(5, "EG1")), "no firmware");
    const auto image =
        sim::buildFirmwareImage({.majorVersion = 2, .minorVersion = 5, .buildText = "Build: x"});
    EXPECT_EQ(emulator::firmwareInFlash(*sim::makeProbe(6, "OS1", image)), "2.5 - Build: x");
}
