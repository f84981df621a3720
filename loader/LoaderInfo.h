#pragma once

#include <cstdint>

// What the probe's resident loader reports about itself and the firmware installed above it.
// Fields in the order in which the reply carries them.
struct LoaderInfo {
    uint16_t loaderMajor = 0;
    uint16_t loaderMinor = 0;
    uint32_t info4 = 0;
    uint32_t firmwareFormat = 0;
    uint32_t firmwareMagic = 0;
    uint32_t info16 = 0;
    uint32_t info20 = 0;
    uint32_t info24 = 0;
    uint32_t info28 = 0;
    uint16_t firmwareMajor = 0;
    uint16_t firmwareMinor = 0;
    // 36 bytes of text plus a NUL of our own, so the text ends even when the probe fills all 36.
    char firmwareBuildText[37] = {};
};
