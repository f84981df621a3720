#include "firmware/UpdateProcedure.h"

#include "firmware/FirmwareImage.h"
#include "firmware/UserMessages.h"
#include "link/openDataLink.h"
#include "loader/LoaderProtocol.h"
#include "platform/HException.h"

namespace {

constexpr unsigned linkTimeoutMs = 60000;

// Full blocks in a loop, then whatever is left in one request, with progress after each. A
// request answers whether to go on; the phase answers whether it went through to the end.
template <typename Request>
bool runPhase(const UpdatePhase& phase, uint32_t address, uint32_t size, const uint8_t* data,
              const UpdateProgress& progress, Request request) {
    try {
        progress(0, static_cast<int>(size), phase.taskdesc, messages::progressUnits);
        uint32_t done = 0;
        uint32_t remaining = size;
        while (remaining > phase.block) {
            if (!request(address, phase.block, data)) {
                progress(static_cast<int>(size), -1, nullptr, nullptr);
                return false;
            }
            done += phase.block;
            remaining -= phase.block;
            address += phase.block;
            if (data)
                data += phase.block;
            progress(static_cast<int>(done), -1, nullptr, nullptr);
        }
        if (remaining != 0) {
            const bool goOn = request(address, remaining, data);
            progress(static_cast<int>(size), -1, nullptr, nullptr);
            return goOn;
        }
        return true;
    } catch (HException& e) {
        progress(static_cast<int>(size), -1, nullptr, nullptr);
        throw HException(phase.prefix + e.message());
    }
}

}  // namespace

void eraseImage(HDataLink& link, uint32_t address, uint32_t size, const UpdateProgress& progress) {
    runPhase(erasePhase, address, size, nullptr, progress,
             [&](uint32_t at, uint32_t n, const uint8_t*) {
                 memoryErase(link, at, n);
                 return true;
             });
}

void downloadImage(HDataLink& link, uint32_t address, uint32_t size, const uint8_t* data,
                   const UpdateProgress& progress) {
    runPhase(downloadPhase, address, size, data, progress,
             [&](uint32_t at, uint32_t n, const uint8_t* bytes) {
                 memoryWrite(link, at, n, bytes);
                 return true;
             });
}

void verifyImage(HDataLink& link, uint32_t address, uint32_t size, const uint8_t* data,
                 const UpdateProgress& progress) {
    runPhase(verifyPhase, address, size, data, progress,
             [&](uint32_t at, uint32_t n, const uint8_t* bytes) {
                 if (!crcCheck(link, at, n, bytes))
                     throw HException(messages::crcMismatch);
                 return true;
             });
}

UpdatePhases standardPhases(const UpdateProgress& progress) {
    return {[progress](HDataLink& link, uint32_t address, uint32_t size) {
                eraseImage(link, address, size, progress);
            },
            [progress](HDataLink& link, uint32_t address, uint32_t size, const uint8_t* data) {
                downloadImage(link, address, size, data, progress);
            },
            [progress](HDataLink& link, uint32_t address, uint32_t size, const uint8_t* data) {
                verifyImage(link, address, size, data, progress);
            }};
}

std::unique_ptr<HDataLink> openUpdateLink(platform::Context context, const USBDeviceInfo& device) {
    std::unique_ptr<HDataLink> link = openDataLink(context, device);
    if (!link)
        throw HException(messages::noUsbLink);
    link->setTimeout(linkTimeoutMs);
    return link;
}

void connectLoader(platform::Context context, std::unique_ptr<HDataLink>& link,
                   const USBDeviceInfo& device, bool firmwareInstalled, const FirmwareImage& row,
                   const ReturnPause& pause) {
    if (!(firmwareInstalled && row.reopenAfterConnect)) {
        // A reopen that failed earlier may have left the panel without a link.
        if (!link)
            link = openUpdateLink(context, device);
        loaderConnect(*link);
        return;
    }
    // The firmware answers this connect by restarting into the loader, which drops the link;
    // whatever it answers is of no use.
    if (link) {
        try {
            loaderConnect(*link);
        } catch (HException&) {
        }
    }
    const ReturnPause wait = pause ? pause : sleepingOn(context.clock);
    awaitProbeReturn(
        [&] {
            link = openUpdateLink(context, device);
            loaderConnect(*link);
        },
        [&](unsigned attempt, unsigned attempts, uint32_t ms) {
            // The old link goes before the pause: the probe is leaving under it.
            link.reset();
            wait(attempt, attempts, ms);
        });
}

bool holdsImage(platform::Context context, std::unique_ptr<HDataLink>& link,
                const USBDeviceInfo& device, bool firmwareInstalled, const FirmwareImage& row,
                const UpdateProgress& progress, const ReturnPause& pause) {
    connectLoader(context, link, device, firmwareInstalled, row, pause);
    const bool same = runPhase(checkPhase, row.address, row.size, row.data, progress,
                               [&](uint32_t at, uint32_t n, const uint8_t* bytes) {
                                   return crcCheck(*link, at, n, bytes);
                               });
    loaderDisconnect(*link);
    return same;
}

void installFirmware(platform::Context context, std::unique_ptr<HDataLink>& link,
                     const USBDeviceInfo& device, bool firmwareInstalled, const FirmwareImage& row,
                     const UpdatePhases& phases, const ReturnPause& pause) {
    connectLoader(context, link, device, firmwareInstalled, row, pause);
    phases.erase(*link, row.address, row.size);
    phases.download(*link, row.address, row.size, row.data);
    phases.verify(*link, row.address, row.size, row.data);
    loaderDisconnect(*link);
}
