// For benchmarks that run updates through the command-line tool, which records every update in
// the history of the user's state folder: a state folder of their own, made under the temporary
// folder and removed at the end, keeps those updates out of the user's history.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    std::string state = std::filesystem::temp_directory_path() / "vx-bench-state-XXXXXX";
    if (!mkdtemp(state.data()) || ::setenv("XDG_STATE_HOME", state.c_str(), 1) != 0) {
        std::cerr << "no state folder of the benchmark's own\n";
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    const bool unrecognised = benchmark::ReportUnrecognizedArguments(argc, argv);
    if (!unrecognised)
        benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(state, ignored);
    return unrecognised ? 1 : 0;
}
