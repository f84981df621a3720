#include "sim/FlashMemory.h"

#include <algorithm>

#include "loader/Crc32.h"
#include "platform/LittleEndian.h"

namespace sim {

namespace {
constexpr uint8_t kErased = 0xFF;
}

FlashMemory::FlashMemory(uint32_t base, uint32_t size) : regionBase(base), cells(size, kErased) {}

bool FlashMemory::contains(uint32_t address, uint64_t length) const {
    return address >= regionBase && uint64_t{address} - regionBase + length <= cells.size();
}

bool FlashMemory::erase(uint32_t address, uint32_t length) {
    if (!contains(address, length))
        return false;
    std::fill_n(cells.begin() + (address - regionBase), length, kErased);
    return true;
}

bool FlashMemory::program(uint32_t address, std::span<const uint8_t> data) {
    if (!contains(address, data.size()))
        return false;
    const auto first = cells.begin() + (address - regionBase);
    if (!std::all_of(first, first + static_cast<std::ptrdiff_t>(data.size()),
                     [](uint8_t cell) { return cell == kErased; }))
        return false;
    std::copy(data.begin(), data.end(), first);
    return true;
}

std::optional<uint32_t> FlashMemory::crc(uint32_t address, uint32_t length) const {
    if (!contains(address, length))
        return std::nullopt;
    return crc32(cells.data() + (address - regionBase), length);
}

std::vector<uint8_t> FlashMemory::read(uint32_t address, uint32_t length) const {
    if (!contains(address, length))
        return {};
    const auto first = cells.begin() + (address - regionBase);
    return {first, first + length};
}

uint32_t FlashMemory::word(uint32_t address) const {
    if (!contains(address, 4))
        return 0xFFFFFFFFu;
    const uint8_t* p = cells.data() + (address - regionBase);
    return readLe32(p);
}

void FlashMemory::load(uint32_t address, std::span<const uint8_t> data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        const uint64_t at = uint64_t{address} + i;
        if (at >= regionBase && at - regionBase < cells.size())
            cells[at - regionBase] = data[i];
    }
}

void FlashMemory::corrupt(uint32_t address) {
    if (contains(address, 1))
        cells[address - regionBase] ^= 0xFF;
}

}  // namespace sim
