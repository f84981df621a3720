// Host-side byte work of an update: the CRC of every verified block and the removal of the FTDI
// status bytes from every bulk IN transfer.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "link/FtdiFraming.h"
#include "loader/Crc32.h"

namespace {

std::vector<uint8_t> noise(std::size_t size) {
    std::vector<uint8_t> bytes(size);
    uint32_t state = 0x12345678;
    for (uint8_t& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

void Crc32(benchmark::State& state) {
    const std::vector<uint8_t> data = noise(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(crc32(data.data(), data.size()));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
// One verify block, and the largest catalogue image at once.
BENCHMARK(Crc32)->Arg(8192)->Arg(349968);

// A full 4096-byte raw transfer (64 packets of 64 bytes) into the link's payload area.
void FtdiDeframing(benchmark::State& state) {
    const std::vector<uint8_t> raw = noise(static_cast<std::size_t>(state.range(0)));
    std::vector<uint8_t> payload(4096);
    for (auto _ : state) {
        benchmark::DoNotOptimize(stripFtdiStatus(raw, payload));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
// A status-only packet, a short reply, and a full transfer.
BENCHMARK(FtdiDeframing)->Arg(2)->Arg(79)->Arg(4096);

}  // namespace
