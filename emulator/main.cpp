// velantrix-probe-emulator: runs a program (the window, the command-line tool, a shell) with
// emulated Velantrix probes attached. The probes are published in a umockdev testbed and the
// program runs with umockdev's preload library, so its own libudev and libusb calls reach them
// through sysfs and usbdevfs exactly as they would reach real probes. This process serves the
// probes' device nodes and reports what the program does with them until the program ends.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "emulator/EmulatedUsb.h"
#include "emulator/EmulatorOptions.h"
#include "emulator/ProbeReport.h"
#include "platform/Clock.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/ProbeFactory.h"

extern char** environ;

namespace {

constexpr const char* kPreloadName = VX_UMOCKDEV_PRELOAD_NAME;
// How often the emulated bus catches up with the probes (a probe back from restarting into its
// loader) and the report with what the program did.
constexpr auto kSettleInterval = std::chrono::milliseconds(10);

volatile std::sig_atomic_t forwardedSignal = 0;

void say(const std::string& line) {
    std::cerr << "velantrix-probe-emulator: " << line << std::endl;
}

struct WatchedProbe {
    std::string serial;
    std::shared_ptr<sim::VirtualProbe> probe;
    std::string path;
    emulator::ProbeSnapshot last;
    emulator::ProbeSnapshot sessionStart;
};

void report(emulator::EmulatedUsb& usb, WatchedProbe& watched) {
    emulator::ProbeSnapshot now = emulator::snapshotOf(*watched.probe, usb.nodeOf(watched.path));
    for (const std::string& line :
         emulator::probeEvents(watched.serial, watched.last, now, watched.sessionStart))
        say(line);
    if (now.count(sim::Command::Connect) > watched.last.count(sim::Command::Connect))
        watched.sessionStart = watched.last;
    watched.last = std::move(now);
}

WatchedProbe plugIn(emulator::EmulatedUsb& usb, const emulator::ProbeOption& option) {
    std::vector<uint8_t> image;
    if (option.firmware)
        image = sim::buildFirmwareImage({.majorVersion = option.firmware->major,
                                         .minorVersion = option.firmware->minor,
                                         .buildText = "Build: emulated"});
    WatchedProbe watched{
        option.serial, sim::makeProbe(option.productId, option.serial, image), {}, {}, {}};
    for (const emulator::FaultOption& fault : option.faults)
        emulator::applyFault(fault, *watched.probe);
    watched.path = usb.attach(watched.probe);
    say(option.serial + " (" + watched.probe->variant().product + ") plugged in at " +
        watched.path + " with " + emulator::firmwareInFlash(*watched.probe) +
        (option.faults.empty()
             ? std::string()
             : ", " + std::to_string(option.faults.size()) + " fault(s) scripted"));
    return watched;
}

// The program's environment: ours, with the testbed's folder, umockdev's preload library in
// front of any the caller gave, and AddressSanitizer's check that its runtime comes first among
// the preloaded libraries turned off (a sanitized program links that runtime itself; the check
// would refuse umockdev's library in front of it).
std::vector<std::string> childEnvironment(const std::string& testbedRoot) {
    struct Prepended {
        std::string_view name;
        std::string value;
    };
    Prepended prepended[] = {{"LD_PRELOAD=", std::string(kPreloadName)},
                             {"ASAN_OPTIONS=", "verify_asan_link_order=0"}};
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        bool taken = variable.starts_with("UMOCKDEV_DIR=");
        for (Prepended& mine : prepended) {
            if (!taken && variable.starts_with(mine.name)) {
                mine.value += ":" + variable.substr(mine.name.size());
                taken = true;
            }
        }
        if (!taken)
            variables.push_back(variable);
    }
    for (const Prepended& mine : prepended)
        variables.push_back(std::string(mine.name) + mine.value);
    variables.push_back("UMOCKDEV_DIR=" + testbedRoot);
    return variables;
}

pid_t spawn(const std::vector<std::string>& command, const std::vector<std::string>& environment) {
    std::vector<char*> argv;
    argv.reserve(command.size() + 1);
    for (const std::string& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (const std::string& variable : environment)
        envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);
    pid_t child = 0;
    const int error = posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), envp.data());
    if (error != 0)
        throw std::runtime_error("cannot start " + command[0] + ": " + std::strerror(error));
    return child;
}

int run(const emulator::EmulatorOptions& options) {
    // The probes keep real time: the program is another process, on the steady clock.
    emulator::EmulatedUsb usb(platform::steadyClock());
    std::vector<WatchedProbe> probes;
    for (const emulator::ProbeOption& option : options.probes)
        probes.push_back(plugIn(usb, option));
    if (probes.empty())
        say("no probe plugged in (add --probe VARIANT)");

    // The program ends on these; this process waits for it, so that the testbed outlives it.
    std::signal(SIGINT, [](int signal) { forwardedSignal = signal; });
    std::signal(SIGTERM, [](int signal) { forwardedSignal = signal; });
    const pid_t child = spawn(options.command, childEnvironment(usb.root()));

    int status = 0;
    for (;;) {
        if (const int signal = forwardedSignal) {
            forwardedSignal = 0;
            ::kill(child, signal);
        }
        usb.settle();
        for (WatchedProbe& watched : probes)
            report(usb, watched);
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child || (ended < 0 && errno != EINTR))
            break;
        std::this_thread::sleep_for(kSettleInterval);
    }
    for (const WatchedProbe& watched : probes)
        say(watched.serial + " ends with " + emulator::firmwareInFlash(*watched.probe));
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    emulator::EmulatorOptions options;
    try {
        options = emulator::parseEmulatorOptions(arguments);
    } catch (const std::invalid_argument& e) {
        say(e.what());
        std::cerr << emulator::emulatorUsage();
        return 2;
    }
    if (options.help) {
        std::cout << emulator::emulatorUsage();
        return 0;
    }
    try {
        return run(options);
    } catch (const std::exception& e) {
        say(e.what());
        return 1;
    }
}
