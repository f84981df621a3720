// One progress report through the window's slot: what each request of an update costs the GUI
// thread on top of the update's own work (status line, bar, processEvents()). On the steady
// clock these loops never wait the 50 ms after which the window draws its bar again, so the
// reports in the middle of a phase measure what is paid between two drawings; how often the bar
// is drawn in a whole update is the window update benchmark's count.
#include <benchmark/benchmark.h>

#include "bench/WindowRig.h"
#include "firmware/UpdateProcedure.h"

namespace {

constexpr int total = 100000;
constexpr const char* task = erasePhase.taskdesc;

// A report in the middle of a phase that moves the bar by a tenth (Qt would draw that at once).
void ProgressReportMoves(benchmark::State& state) {
    bench::WindowRig rig(platform::systemContext());
    rig.window().progress(0, total, task, messages::progressUnits);
    bench::WindowRig::settle();
    int step = 0;
    for (auto _ : state) {
        step = step == 40000 ? 50000 : 40000;
        rig.window().progress(step, -1, nullptr, nullptr);
    }
}
BENCHMARK(ProgressReportMoves)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

// A report that leaves the bar where it was to the pixel: the slot and processEvents() alone.
void ProgressReportStill(benchmark::State& state) {
    bench::WindowRig rig(platform::systemContext());
    rig.window().progress(40000, total, task, messages::progressUnits);
    bench::WindowRig::settle();
    int step = 40000;
    for (auto _ : state) {
        step = step == 40000 ? 40001 : 40000;
        rig.window().progress(step, -1, nullptr, nullptr);
    }
}
BENCHMARK(ProgressReportStill)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

// The first and the last report of a phase: the task sentence, then the bar and line cleared.
void ProgressPhaseEnds(benchmark::State& state) {
    bench::WindowRig rig(platform::systemContext());
    for (auto _ : state) {
        rig.window().progress(0, total, task, messages::progressUnits);
        rig.window().progress(total, -1, nullptr, nullptr);
    }
}
BENCHMARK(ProgressPhaseEnds)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

}  // namespace
