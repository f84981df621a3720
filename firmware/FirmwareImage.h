#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "firmware/FirmwareImageHeader.h"
#include "link/ProbeModels.h"
#include "link/USBDeviceInfo.h"

// One row of the firmware catalogue: a probe variant and the image the program installs into
// it. Rows, images and notes are constant data of the program; nobody frees or changes them.
struct FirmwareImage {
    const char* name;             // display name of the probe variant
    uint32_t address;             // probe memory address of the image's first byte
    const uint8_t* data;          // the whole image, header included
    uint32_t size;                // bytes at `data`
    const char* releaseNotes;     // ASCII, NUL-terminated; may be null
    uint32_t releaseNotesLength;  // bytes of `releaseNotes`, the NUL not counted
    bool reopenAfterConnect;      // a probe running firmware must be reconnected to its loader
};

// The images the program carries, one per supported probe variant: the probe models that have an
// image, in the order of the probe model table. Constant from before main to after it: any thread
// may read it, and everything below, at any time.
extern const std::array<FirmwareImage, modelsWithImage> firmwareCatalogue;

// The catalogue row for the probe `device`, or null when the probe is not supported. Pure.
const FirmwareImage* findFirmwareImage(const USBDeviceInfo& device);

// The probe model whose image `row` is, or null for a row that is not the catalogue's.
const ProbeModel* probeModelOf(const FirmwareImage& row);

// An image is usable when it holds at least a header and opens with the magic word. The payload
// CRC is the probe's to check.
bool isValidImage(const FirmwareImage& image);

// The version description of the image's own header; empty for an invalid image.
std::string imageVersionDescription(const FirmwareImage& image);
