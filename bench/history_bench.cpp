// One line added to the history of updates, as the window and the tool add one after every
// update: encoded, appended in one write and flushed to the disk (fsync) before it returns. The
// file lives in a folder of its own under the system's temporary folder (on this machine's disk
// where /tmp is no tmpfs), never in the user's state folder. Wall-clock time: the flush is spent
// waiting for the disk, on the thread that reports the update.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "firmware/UpdateHistory.h"

namespace {

void HistoryAppend(benchmark::State& state) {
    std::string folder = (std::filesystem::temp_directory_path() / "vx-bench-history-XXXXXX");
    if (!mkdtemp(folder.data())) {
        state.SkipWithError("no temporary folder for the history");
        return;
    }
    const std::string file = folder + "/history.jsonl";
    UpdateRecord record;
    record.serialNumber = "BENCH001";
    record.variant = "Velantrix Heron";
    record.before = "2.10 - Build: old";
    record.after = "2.16 - Build: 2019032603.38702";
    record.imageSize = 112408;
    record.imageCrc = 0x6E1C0B1A;
    record.result = UpdateResult::Updated;
    record.seconds = 0.836;
    for (auto _ : state) {
        if (const auto warning = recordUpdate(file, record)) {
            state.SkipWithError(warning->c_str());
            break;
        }
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(HistoryAppend)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
