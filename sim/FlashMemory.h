#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sim {

// The probe's firmware region: NOR-like flash that erases to 0xFF and is programmed only where
// erased. Addresses are the probe's own; everything outside [base, base + size) is refused.
class FlashMemory {
public:
    FlashMemory(uint32_t base, uint32_t size);

    uint32_t base() const { return regionBase; }
    uint32_t size() const { return static_cast<uint32_t>(cells.size()); }
    bool contains(uint32_t address, uint64_t length) const;

    // Sets the range to 0xFF. False, with nothing changed, when it leaves the region.
    bool erase(uint32_t address, uint32_t length);
    // Programs the range. False, with nothing changed, when it leaves the region or a target
    // byte is not erased (writing the same byte twice needs an erase in between).
    bool program(uint32_t address, std::span<const uint8_t> data);
    // CRC-32/BZIP2 of the range, or nothing when it leaves the region.
    std::optional<uint32_t> crc(uint32_t address, uint32_t length) const;

    // The bytes of the range; empty when it leaves the region.
    std::vector<uint8_t> read(uint32_t address, uint32_t length) const;
    // Little-endian word; 0xFFFFFFFF (what erased flash reads) outside the region.
    uint32_t word(uint32_t address) const;

    // Stores bytes whatever was there (factory programming, test set-up); clipped to the region.
    void load(uint32_t address, std::span<const uint8_t> data);
    // Flips the bits of one stored byte, as a worn or disturbed cell would read back.
    void corrupt(uint32_t address);

private:
    uint32_t regionBase;
    std::vector<uint8_t> cells;
};

}  // namespace sim
