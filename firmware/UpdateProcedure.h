#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "firmware/ProbeReturn.h"
#include "firmware/UserMessages.h"
#include "link/HDataLink.h"
#include "link/USBDeviceInfo.h"
#include "platform/Context.h"

struct FirmwareImage;

// Threads: nothing here keeps state between calls. One update works one probe's link on one
// thread; updates of different probes may run on several threads at once, each with its own link
// (the context, shared or not, allows that).

// Progress of one update phase: `step` units of `steps` done (steps -1: total unchanged),
// `taskdesc` a new task sentence or null, `units` the unit name or null.
using UpdateProgress =
    std::function<void(int step, int steps, const char* taskdesc, const char* units)>;

// One phase of an update: the sentence it reports while it runs, the most bytes one request
// takes, and the prefix its failures carry. The one home of the block sizes: everything that
// works out an update's requests (the benchmarks' wire time) reads them here.
struct UpdatePhase {
    const char* taskdesc;
    uint32_t block;
    const char* prefix;
};
inline constexpr UpdatePhase erasePhase{messages::erasing, 0x2000, messages::eraseFailed};
inline constexpr UpdatePhase downloadPhase{messages::downloading, 0x1000, messages::downloadFailed};
inline constexpr UpdatePhase verifyPhase{messages::verifying, 0x2000, messages::verifyFailed};
// The verify phase's requests without writing anything first (holdsImage).
inline constexpr UpdatePhase checkPhase{messages::checking, 0x2000, messages::checkFailed};

// The three phases. Each reports 0 of `size` with its sentence first and `size` last, whether
// it succeeds or fails, and throws HException with its prefix in front of the loader's message.
// Requests are at most a block of the phase, straight from `data` without copying;
// verification stops at the first block whose CRC differs.
void eraseImage(HDataLink& link, uint32_t address, uint32_t size, const UpdateProgress& progress);
void downloadImage(HDataLink& link, uint32_t address, uint32_t size, const uint8_t* data,
                   const UpdateProgress& progress);
void verifyImage(HDataLink& link, uint32_t address, uint32_t size, const uint8_t* data,
                 const UpdateProgress& progress);

// How an update runs its phases: the window's panel through its own members, everything else
// through standardPhases.
struct UpdatePhases {
    std::function<void(HDataLink& link, uint32_t address, uint32_t size)> erase;
    std::function<void(HDataLink& link, uint32_t address, uint32_t size, const uint8_t* data)>
        download;
    std::function<void(HDataLink& link, uint32_t address, uint32_t size, const uint8_t* data)>
        verify;
};
UpdatePhases standardPhases(const UpdateProgress& progress);

// Makes a link for the probe on the context as the program always does, with both bounds at
// 60 s. Throws HException when it cannot be opened, or when the variant has no link this program
// can use.
std::unique_ptr<HDataLink> openUpdateLink(platform::Context context, const USBDeviceInfo& device);

// Connects to the loader. A probe that runs firmware of a variant that restarts into its loader
// on connect is connected once (ignoring the outcome), then the link is re-made on the context and
// connected while the probe comes back (awaitProbeReturn, pausing through `pause`; an empty pause
// sleeps on the context's clock). `link` may end up empty when the last attempt failed to make
// one; an empty link is made first.
void connectLoader(platform::Context context, std::unique_ptr<HDataLink>& link,
                   const USBDeviceInfo& device, bool firmwareInstalled, const FirmwareImage& row,
                   const ReturnPause& pause = {});

// Whether the probe's flash holds `row`'s image, block by block by CRC as the verify phase checks
// it (the check phase), without writing anything: connects as an update does,
// stops at the first block that differs, disconnects. The loader's version report only reflects
// the image's header, which an update writes first, so it cannot tell a complete image from one
// whose update failed part-way. Throws HException (the check phase's prefix for the CRC
// requests).
bool holdsImage(platform::Context context, std::unique_ptr<HDataLink>& link,
                const USBDeviceInfo& device, bool firmwareInstalled, const FirmwareImage& row,
                const UpdateProgress& progress, const ReturnPause& pause = {});

// Connect, erase, write, verify and disconnect: the whole update of `row` onto the probe.
// Throws HException with the message the user is to see; nothing is rolled back.
void installFirmware(platform::Context context, std::unique_ptr<HDataLink>& link,
                     const USBDeviceInfo& device, bool firmwareInstalled, const FirmwareImage& row,
                     const UpdatePhases& phases, const ReturnPause& pause = {});
