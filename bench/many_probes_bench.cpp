// `update --all` through the command-line tool as a user runs it (cli::runCli with
// {"update", "--all"}) on 1, 8 and 32 Herons on a virtual bus whose probes take their modelled
// full-speed time in real time (RealTimeClock): different probes' erases and writes overlap as
// on real ports. Each opened probe works on a thread of its own (DeviceThreads): the host's
// worker hands every transfer over and sleeps until it is done, as it would in the kernel, so the
// probes' own work (their emulation and the sleeps standing in for wire time) is counted apart.
// Measured: the whole run's wall-clock time (listing, opening, every update, the history lines,
// the summary), the process's CPU time, and of that the probes' threads' (device_cpu_ms) and the
// rest, the host's (host_cpu_ms). Afterwards every probe's flash must hold the image.
// report.py sets N probes' time against one probe's and the host's CPU per probe against one
// update's wire time.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/DeviceThreads.h"
#include "bench/RealTimeClock.h"
#include "bench/UpdateRig.h"
#include "bench/WireTime.h"
#include "cli/Commands.h"
#include "loader/Crc32.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/ProbeFactory.h"
#include "sim/TimingModel.h"
#include "sim/VirtualBus.h"

namespace {

constexpr uint16_t heronId = 3;

const FirmwareImage* heronRow() {
    for (const bench::CatalogueEntry& entry : bench::updatableEntries()) {
        if (entry.productId == heronId)
            return entry.row;
    }
    return nullptr;
}

// Probes running older firmware, so that each is updated; the timing model on from the start.
std::vector<std::shared_ptr<sim::VirtualProbe>> plugHerons(sim::VirtualBus& bus, int count) {
    const std::vector<uint8_t> older =
        sim::buildFirmwareImage({.majorVersion = 2, .minorVersion = 10, .buildText = "old"});
    std::vector<std::shared_ptr<sim::VirtualProbe>> probes;
    for (int i = 0; i < count; ++i) {
        auto probe = sim::makeProbe(heronId, "BH" + std::to_string(100000 + i), older);
        probe->setTiming(sim::TimingModel{});
        bus.attach(probe);
        probes.push_back(std::move(probe));
    }
    return probes;
}

int64_t processCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

bool allHold(const std::vector<std::shared_ptr<sim::VirtualProbe>>& probes,
             const FirmwareImage& row) {
    const uint32_t expected = crc32(row.data, row.size);
    for (const auto& probe : probes) {
        if (probe->flashCrc(row.address, row.size) != expected)
            return false;
    }
    return true;
}

void ManyProbes(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    const FirmwareImage* row = heronRow();
    if (!row) {
        state.SkipWithError("no Heron row in the catalogue");
        return;
    }
    bench::RealTimeClock clock;
    double deviceCpuNs = 0;
    double hostCpuNs = 0;
    double handOvers = 0;
    for (auto _ : state) {
        state.PauseTiming();
        sim::VirtualBus bus(clock);
        const auto probes = plugHerons(bus, count);
        bench::DeviceThreads devices(bus);
        std::ostringstream out;
        std::ostringstream err;
        state.ResumeTiming();
        const int64_t before = processCpuNs();
        const int status = cli::runCli({devices, clock}, {"update", "--all"}, {out, err, false});
        const int64_t processNs = processCpuNs() - before;
        state.PauseTiming();
        // Probes are opened only inside the timed call; once it has closed them all, each
        // thread's time is in. The host's is taken here, per run, so that a median over
        // repetitions pairs each run's process time with its own probes'.
        deviceCpuNs += static_cast<double>(devices.deviceCpuNs());
        hostCpuNs += static_cast<double>(processNs - devices.deviceCpuNs());
        handOvers += static_cast<double>(devices.handOvers());
        if (status != 0 || !allHold(probes, *row)) {
            state.SkipWithError(("update --all failed: " + err.str()).c_str());
            break;
        }
        if (devices.openDevices() != 0) {
            state.SkipWithError("update --all left a probe open: its thread's time is not all in");
            break;
        }
        state.ResumeTiming();
    }
    const bench::WireTime wire =
        bench::updateWireTime(sim::TimingModel{}, bench::Carrier::FtdiBridge, *row, false);
    state.counters["probes"] = count;
    state.counters["wire_ms"] = static_cast<double>(wire.totalUs()) / 1000.0;
    state.counters["device_cpu_ms"] =
        benchmark::Counter(deviceCpuNs / 1e6, benchmark::Counter::kAvgIterations);
    state.counters["host_cpu_ms"] =
        benchmark::Counter(hostCpuNs / 1e6, benchmark::Counter::kAvgIterations);
    state.counters["hand_overs"] =
        benchmark::Counter(handOvers, benchmark::Counter::kAvgIterations);
    state.SetLabel(row->name);
}
BENCHMARK(ManyProbes)
    ->ArgName("probes")
    ->Arg(1)
    ->Arg(8)
    ->Arg(32)
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
