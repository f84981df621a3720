// A whole update through the real window: the install button of the panel that poll() built,
// the window's progress slot with its processEvents(). A zero-interval timer fires on every pass
// of the event loop; the longest stretch of process CPU time between two firings is the longest
// the window could not react for its own doing (on the process CPU clock, so that stretch is host
// work). The probe's full-speed timing model is on: the window draws its bar by its clock, so the
// clock has to move as a real update's would for the drawings to be counted as a real update
// makes them; on the virtual clock that time itself costs nothing.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "bench/GapMeter.h"
#include "bench/UpdateRig.h"
#include "bench/WindowRig.h"
#include "loader/Crc32.h"
#include "sim/ProbeFactory.h"
#include "sim/TimingModel.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualClock.h"
#include "ui/VelantrixUpdaterWidget.h"

namespace {

// How often the watched widget is painted.
struct PaintCounter : QObject {
    int64_t count = 0;
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

void updatableProductIds(benchmark::internal::Benchmark* bm) {
    bm->ArgName("pid");
    for (const bench::CatalogueEntry& entry : bench::updatableEntries())
        bm->Arg(entry.productId);
}

void WindowUpdate(benchmark::State& state) {
    const auto productId = static_cast<uint16_t>(state.range(0));
    const FirmwareImage* row = nullptr;
    for (const bench::CatalogueEntry& entry : bench::updatableEntries()) {
        if (entry.productId == productId)
            row = entry.row;
    }
    sim::VirtualClock clock;
    sim::VirtualBus bus(clock);
    auto probe = sim::makeProbe(productId, "BENCH001");
    bus.attach(probe);
    bench::WindowRig rig({bus, clock});  // its first poll builds the panel
    auto* panel = rig.window().findChild<VelantrixUpdaterWidget*>();
    auto* button =
        panel ? panel->findChild<QPushButton*>(QStringLiteral("installButton")) : nullptr;
    if (!row || !button) {
        state.SkipWithError("the window built no panel for the probe");
        return;
    }
    state.SetLabel(row->name);
    probe->setTiming(sim::TimingModel{});

    bench::GapMeter pumps(CLOCK_PROCESS_CPUTIME_ID);
    int failures = 0;
    QTimer heartbeat;
    heartbeat.setInterval(0);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        pumps.mark();
        // A failed update ends in the error box; answer it so that the benchmark goes on.
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++failures;
            box->reject();
        }
    });
    int64_t reports = 0;
    QObject::connect(panel, &UpdaterWidget::progress, [&reports] { ++reports; });
    PaintCounter barDrawings;
    if (auto* bar = rig.window().findChild<QProgressBar*>(QStringLiteral("progressBar")))
        bar->installEventFilter(&barDrawings);

    const uint32_t expectedCrc = crc32(row->data, row->size);
    for (auto _ : state) {
        heartbeat.start();
        pumps.start();
        button->click();
        pumps.finish();
        heartbeat.stop();
        state.PauseTiming();
        if (failures > 0 || probe->flashCrc(row->address, row->size) != expectedCrc) {
            state.SkipWithError("the update failed");
            break;
        }
        probe->clearTrace();
        state.ResumeTiming();
    }
    state.counters["gap_us"] = pumps.medianUs();
    state.counters["gap_worst_us"] = pumps.worstUs();
    state.counters["pumps"] = static_cast<double>(pumps.marks()) /
                              static_cast<double>(std::max<int64_t>(1, state.iterations()));
    state.counters["reports"] = static_cast<double>(reports) /
                                static_cast<double>(std::max<int64_t>(1, state.iterations()));
    state.counters["bar_drawings"] = static_cast<double>(barDrawings.count) /
                                     static_cast<double>(std::max<int64_t>(1, state.iterations()));
}
// Process CPU time: Qt's raster engine hands large fills to its thread pool.
BENCHMARK(WindowUpdate)
    ->Apply(updatableProductIds)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
