// One loader request and its reply, as the update issues them, over the virtual probe (timing
// model off, so only CPU is spent) and over a link that answers at once (the host's share).
#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <string>

#include "bench/InstantLink.h"
#include "bench/UpdateRig.h"
#include "firmware/UpdateProcedure.h"
#include "loader/LoaderInfo.h"
#include "loader/LoaderProtocol.h"
#include "platform/HException.h"
#include "sim/ProbeVariants.h"

namespace {

enum class Request { Info, Erase8K, Write4K, Crc8K };

constexpr uint32_t eraseBlock = erasePhase.block;
constexpr uint32_t writeBlock = downloadPhase.block;
constexpr uint32_t crcBlock = verifyPhase.block;

constexpr int64_t tidyEvery = 256;

// Runs `request` against `link` until the benchmark has enough; writes walk through the region
// and re-erase it (untimed) when they reach its end, as flash takes each byte once per erase.
// `tidy` runs untimed now and then (the virtual probe's trace would grow without end).
void exchange(benchmark::State& state, HDataLink& link, Request request, uint32_t base,
              uint32_t regionSize, const std::function<void()>& eraseRegion,
              const std::function<void()>& tidy) {
    const FirmwareImage& image = firmwareCatalogue.front();
    uint32_t offset = 0;
    int64_t sinceTidy = 0;
    try {
        for (auto _ : state) {
            if (++sinceTidy == tidyEvery) {
                state.PauseTiming();
                tidy();
                sinceTidy = 0;
                state.ResumeTiming();
            }
            switch (request) {
                case Request::Info: {
                    LoaderInfo info{};
                    getLoaderInfo(link, info);
                    benchmark::DoNotOptimize(info);
                    break;
                }
                case Request::Erase8K:
                    memoryErase(link, base, eraseBlock);
                    break;
                case Request::Write4K:
                    if (offset + writeBlock > regionSize) {
                        state.PauseTiming();
                        eraseRegion();
                        offset = 0;
                        state.ResumeTiming();
                    }
                    memoryWrite(link, base + offset, writeBlock, image.data);
                    offset += writeBlock;
                    break;
                case Request::Crc8K:
                    benchmark::DoNotOptimize(crcCheck(link, base, crcBlock, image.data));
                    break;
            }
        }
    } catch (HException& e) {
        state.SkipWithError(e.message().c_str());
    }
}

void overVirtualProbe(benchmark::State& state, Request request) {
    const auto productId = static_cast<uint16_t>(state.range(0));
    std::string failure;
    const auto made = bench::UpdateRig::make(productId, false, std::nullopt, failure);
    if (!made) {
        state.SkipWithError(failure.c_str());
        return;
    }
    bench::UpdateRig& rig = *made;
    try {
        loaderConnect(rig.link());
    } catch (HException& e) {
        state.SkipWithError(e.message().c_str());
        return;
    }
    const sim::ProbeVariant* variant = sim::findProbeVariant(productId);
    sim::VirtualProbe& probe = rig.probe();
    exchange(
        state, rig.link(), request, variant->flashBase, variant->flashSize,
        [&probe] { probe.installImage({}); }, [&probe] { probe.clearTrace(); });
    state.SetLabel(productId == 6 ? "bulk pipes" : "FTDI bridge");
}

void overInstantLink(benchmark::State& state, Request request) {
    sim::VirtualClock clock;  // a busy connect's pauses cost nothing
    bench::InstantLink link(clock);
    exchange(
        state, link, request, 0x2000, 0x40000, [] {}, [] {});
    state.SetLabel("answers at once");
}

void LoaderInfoRequest(benchmark::State& state) {
    overVirtualProbe(state, Request::Info);
}
void Erase8KiB(benchmark::State& state) {
    overVirtualProbe(state, Request::Erase8K);
}
void Write4KiB(benchmark::State& state) {
    overVirtualProbe(state, Request::Write4K);
}
void Crc8KiB(benchmark::State& state) {
    overVirtualProbe(state, Request::Crc8K);
}
BENCHMARK(LoaderInfoRequest)->ArgName("pid")->Arg(3)->Arg(6);
BENCHMARK(Erase8KiB)->ArgName("pid")->Arg(3)->Arg(6);
BENCHMARK(Write4KiB)->ArgName("pid")->Arg(3)->Arg(6);
BENCHMARK(Crc8KiB)->ArgName("pid")->Arg(3)->Arg(6);

void HostOnlyErase8KiB(benchmark::State& state) {
    overInstantLink(state, Request::Erase8K);
}
void HostOnlyWrite4KiB(benchmark::State& state) {
    overInstantLink(state, Request::Write4K);
}
void HostOnlyCrc8KiB(benchmark::State& state) {
    overInstantLink(state, Request::Crc8K);
}
BENCHMARK(HostOnlyErase8KiB);
BENCHMARK(HostOnlyWrite4KiB);
BENCHMARK(HostOnlyCrc8KiB);

}  // namespace
