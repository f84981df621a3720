// Whole updates of every catalogue row, against the virtual probe (rows without a link say so):
//  - UpdateHostCost: timing model off, so the probe answers at once and costs no time; what is
//    measured is the CPU the host (with the emulated probe) spends on one update, and the longest
//    stretch between two progress reports, i.e. between two processEvents() in the window.
//  - UpdateFullSpeed: the full-speed timing model on the virtual clock; the update's virtual time
//    set against the wire time of the same request sequence (WireTime.h).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "bench/GapMeter.h"
#include "bench/UpdateRig.h"
#include "platform/HException.h"

namespace {

// Every catalogue row by the product id that selects it, with the probe in its loader; then the
// updatable rows whose probes restart into the loader, with the probe running firmware (the
// reopen path). Rows without a link are listed too, and report that they cannot be updated.
void catalogueRows(benchmark::internal::Benchmark* bm) {
    bm->ArgNames({"pid", "running"});
    for (const bench::CatalogueEntry& entry : bench::catalogueEntries())
        bm->Args({entry.productId, 0});
    for (const bench::CatalogueEntry& entry : bench::updatableEntries()) {
        if (entry.row->reopenAfterConnect)
            bm->Args({entry.productId, 1});
    }
}

// For a row the program has no link for: says so and answers true.
bool skipWithoutLink(benchmark::State& state) {
    for (const bench::CatalogueEntry& entry : bench::catalogueEntries()) {
        if (entry.productId != state.range(0) || entry.updatable)
            continue;
        state.SetLabel(entry.row->name);
        const std::string reason = "n/a: no data link for product id " +
                                   std::to_string(entry.productId) +
                                   ": this row cannot be updated over USB";
        state.SkipWithError(reason.c_str());
        return true;
    }
    return false;
}

void label(benchmark::State& state, const bench::UpdateRig& rig) {
    state.SetLabel(std::string(rig.row().name) + (rig.reopens() ? ", reopen path" : ""));
}

void UpdateHostCost(benchmark::State& state) {
    if (skipWithoutLink(state))
        return;
    std::string failure;
    const auto made = bench::UpdateRig::make(static_cast<uint16_t>(state.range(0)),
                                             state.range(1) != 0, std::nullopt, failure);
    if (!made) {
        state.SkipWithError(failure.c_str());
        return;
    }
    bench::UpdateRig& rig = *made;
    bench::GapMeter gaps;
    const UpdateProgress report = [&gaps](int, int, const char*, const char*) { gaps.mark(); };
    std::size_t commands = 0;
    std::size_t transfers = 0;
    try {
        for (auto _ : state) {
            gaps.start();
            rig.install(report);
            gaps.finish();
            state.PauseTiming();
            const sim::ProbeTrace trace = rig.probe().trace();
            commands = trace.commands.size();
            transfers = trace.requests.size();
            if (!rig.imageInFlash()) {
                state.SkipWithError("the image did not arrive in flash");
                break;
            }
            rig.rewind();
            state.ResumeTiming();
        }
    } catch (HException& e) {
        state.SkipWithError(e.message().c_str());
    }
    const auto size = static_cast<int64_t>(rig.row().size);
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["image_bytes"] = static_cast<double>(size);
    state.counters["requests"] = static_cast<double>(commands);
    state.counters["transfers"] = static_cast<double>(transfers);
    state.counters["gap_us"] = gaps.medianUs();
    state.counters["gap_worst_us"] = gaps.worstUs();
    label(state, rig);
}
BENCHMARK(UpdateHostCost)->Apply(catalogueRows)->Unit(benchmark::kMillisecond);

void UpdateFullSpeed(benchmark::State& state) {
    if (skipWithoutLink(state))
        return;
    const sim::TimingModel timing;
    std::string failure;
    const auto made = bench::UpdateRig::make(static_cast<uint16_t>(state.range(0)),
                                             state.range(1) != 0, timing, failure);
    if (!made) {
        state.SkipWithError(failure.c_str());
        return;
    }
    bench::UpdateRig& rig = *made;
    const bench::WireTime wire = bench::updateWireTime(
        timing, bench::carrierFor(rig.device().productId), rig.row(), rig.reopens());
    uint64_t updateUs = 0;
    uint64_t longestStallUs = 0;
    uint64_t lastReportUs = 0;
    const UpdateProgress report = [&](int, int, const char*, const char*) {
        const uint64_t now = rig.clock().elapsedUs();
        longestStallUs = std::max(longestStallUs, now - lastReportUs);
        lastReportUs = now;
    };
    std::size_t commands = 0;
    try {
        for (auto _ : state) {
            const uint64_t start = rig.clock().elapsedUs();
            lastReportUs = start;
            rig.install(report);
            updateUs = rig.clock().elapsedUs() - start;
            state.PauseTiming();
            commands = rig.probe().trace().commands.size();
            if (!rig.imageInFlash()) {
                state.SkipWithError("the image did not arrive in flash");
                break;
            }
            if (commands != static_cast<std::size_t>(wire.exchanges)) {
                state.SkipWithError("the update's requests differ from the wire-time sequence");
                break;
            }
            rig.rewind();
            state.ResumeTiming();
        }
    } catch (HException& e) {
        state.SkipWithError(e.message().c_str());
    }
    const auto ms = [](uint64_t us) { return static_cast<double>(us) / 1000.0; };
    state.counters["update_ms"] = ms(updateUs);
    state.counters["wire_ms"] = ms(wire.totalUs());
    state.counters["bus_ms"] = ms(wire.busUs);
    state.counters["probe_ms"] = ms(wire.probeUs);
    state.counters["hold_ms"] = ms(wire.bridgeHoldUs);
    state.counters["pause_ms"] = ms(wire.pauseUs);
    state.counters["ratio"] = static_cast<double>(updateUs) / static_cast<double>(wire.totalUs());
    state.counters["requests"] = static_cast<double>(commands);
    state.counters["wire_longest_ms"] = ms(wire.longestExchangeUs);
    state.counters["stall_max_ms"] = ms(longestStallUs);
    label(state, rig);
}
BENCHMARK(UpdateFullSpeed)->Apply(catalogueRows)->Unit(benchmark::kMillisecond);

}  // namespace
