// A whole update, as the firmware panel runs it, against a virtual probe whose answers come from
// the input. Two kinds of probe:
//
// - one that answers every transfer with arbitrary bytes;
// - one with a working loader and flash of its own that misbehaves where the input says (no
//   reply, cut or mistagged replies, refusals, busy without doing the work, a corrupted write),
//   but never lies about the CRC of its flash.
//
// Whatever happens, the update either fails with one of the program's messages or succeeds, and
// it may only succeed when the host really erased, wrote and CRC-checked the whole image with
// every CRC answer matching; for the second kind of probe, its flash must then hold the image.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "firmware/FirmwareImage.h"
#include "firmware/InstalledFirmware.h"
#include "firmware/UpdateProcedure.h"
#include "link/ProbeModels.h"
#include "loader/Crc32.h"
#include "loader/LoaderProtocol.h"
#include "platform/HException.h"
#include "platform/LittleEndian.h"
#include "sim/FirmwareImageBuilder.h"
#include "sim/FlashMemory.h"
#include "sim/FrameAssembler.h"
#include "sim/ProbeFactory.h"
#include "sim/ResidentLoader.h"
#include "sim/VirtualBus.h"
#include "sim/VirtualClock.h"
#include "tests/support/UpdateMessages.h"

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

constexpr uint16_t kProductId = 6;  // the plain bulk probe: its waits cost nothing on the clock
constexpr uint32_t kFlashBase = 0x1A008000;
constexpr uint32_t kFlashSize = 0x78000;
constexpr uint32_t kEraseBlock = 0x2000;
constexpr uint32_t kWriteBlock = 0x1000;

// The bus, the probe and a small image (two erase and CRC blocks, three writes), made once.
struct World {
    sim::VirtualClockScope clock;
    sim::VirtualBusScope scope;
    std::shared_ptr<sim::VirtualProbe> probe = sim::makeProbe(kProductId, "FZ000001");
    std::string path = scope.bus().attach(probe);
    std::vector<uint8_t> image = sim::buildFirmwareImage({.majorVersion = 3, .payloadSize = 9000});
    USBDeviceInfo device = [this] {
        USBDeviceInfo info;
        info.vendorId = probeVendorId;
        info.productId = kProductId;
        info.serialNumber = "FZ000001";
        info.devicePath = path;
        return info;
    }();
};

World& world() {
    static World instance;
    return instance;
}

// A probe that answers each transfer with the next piece of the input.
std::vector<uint8_t> arbitraryAnswer(FuzzedDataProvider& input) {
    return input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 80));
}

// A probe with a loader and flash of its own, misbehaving where the input says.
class MisbehavingLoader {
public:
    // `preinstalled`: the flash holds an older image, so the loader reports firmware installed
    // and rows that ask for it take the reopen path.
    MisbehavingLoader(FuzzedDataProvider& source, bool preinstalled) : input(source) {
        static const std::vector<uint8_t> older =
            sim::buildFirmwareImage({.majorVersion = 1, .payloadSize = 5000, .seed = 9});
        if (preinstalled)
            flash.load(kFlashBase, older);
    }

    std::vector<uint8_t> answer(std::span<const uint8_t> received) {
        std::vector<uint8_t> out;
        for (sim::LoaderRequest& request : assembler.feed(received)) {
            const uint8_t choice = input.remaining_bytes() ? input.ConsumeIntegral<uint8_t>() : 0;
            std::vector<uint8_t> reply;
            switch (choice >> 4) {
                case 9:  // no reply, nothing done
                    continue;
                case 10:  // refused
                    reply = sim::ResidentLoader::statusReply(request.tag, 0x00);
                    break;
                case 11:  // busy, nothing done
                    reply = sim::ResidentLoader::statusReply(request.tag, 0xFF);
                    break;
                case 12:  // a write stored with one byte flipped
                    if (!request.data.empty())
                        request.data[choice % request.data.size()] ^= 0xFF;
                    reply = loader.execute(request).bytes;
                    break;
                case 13:  // done, the reply cut short
                    reply = loader.execute(request).bytes;
                    reply.resize(std::min<std::size_t>(reply.size(), choice & 0x0F));
                    break;
                case 14:  // done, another tag or status in front
                    reply = loader.execute(request).bytes;
                    reply[choice & 1] = input.ConsumeIntegral<uint8_t>();
                    break;
                case 15:  // done, the reply sent twice
                    reply = loader.execute(request).bytes;
                    reply.insert(reply.end(), reply.begin(), reply.end());
                    break;
                default:
                    reply = loader.execute(request).bytes;
                    break;
            }
            out.insert(out.end(), reply.begin(), reply.end());
        }
        return out;
    }

    bool holds(const std::vector<uint8_t>& image) const {
        return flash.crc(kFlashBase, static_cast<uint32_t>(image.size())) ==
               crc32(image.data(), image.size());
    }

private:
    FuzzedDataProvider& input;
    sim::FlashMemory flash{kFlashBase, kFlashSize};
    sim::ResidentLoader loader{flash, 2, 1};
    sim::FrameAssembler assembler;
};

// What the host sent and what it read back, from the probe's trace: on success the host must
// have erased, written (the image's own bytes) and CRC-checked every block in order, read a
// matching CRC for each, and disconnected.
void requireWholeUpdate(const std::vector<sim::LoggedRequest>& requests,
                        const std::vector<uint8_t>& image) {
    struct Command {
        uint8_t tag;
        uint32_t address;
        uint32_t length;
        std::vector<uint8_t> data;   // a write's data transfer
        std::vector<uint8_t> reply;  // the IN transfers up to the next command
    };
    std::vector<Command> commands;
    bool expectData = false;
    for (const sim::LoggedRequest& request : requests) {
        if (request.kind == sim::LoggedRequest::Kind::BulkIn) {
            if (!commands.empty() && request.result > 0)
                commands.back().reply.insert(commands.back().reply.end(), request.data.begin(),
                                             request.data.end());
            continue;
        }
        if (request.kind != sim::LoggedRequest::Kind::BulkOut || request.result < 0)
            continue;
        if (expectData) {
            commands.back().data = request.data;
            expectData = false;
            continue;
        }
        const std::vector<uint8_t>& frame = request.data;
        require(frame.size() == 5 || frame.size() == 13);
        Command command{frame[0], 0, 0, {}, {}};
        if (frame.size() == 13) {
            command.address = readLe32(frame.data() + 5);
            command.length = readLe32(frame.data() + 9);
        }
        expectData = command.tag == 0x03;
        commands.push_back(std::move(command));
    }

    const auto size = static_cast<uint32_t>(image.size());
    std::size_t at = 0;
    while (at < commands.size() && commands[at].tag != 0x05)
        ++at;  // connects and whatever the reopen loop needed
    for (uint32_t done = 0; done < size; done += kEraseBlock, ++at) {
        require(at < commands.size() && commands[at].tag == 0x05);
        require(commands[at].address == kFlashBase + done &&
                commands[at].length == std::min(kEraseBlock, size - done));
    }
    for (uint32_t done = 0; done < size; done += kWriteBlock, ++at) {
        const uint32_t length = std::min(kWriteBlock, size - done);
        require(at < commands.size() && commands[at].tag == 0x03);
        require(commands[at].address == kFlashBase + done && commands[at].length == length);
        require(commands[at].data ==
                std::vector<uint8_t>(image.begin() + done, image.begin() + done + length));
    }
    for (uint32_t done = 0; done < size; done += kEraseBlock, ++at) {
        const uint32_t length = std::min(kEraseBlock, size - done);
        require(at < commands.size() && commands[at].tag == 0x07);
        require(commands[at].address == kFlashBase + done && commands[at].length == length);
        require(commands[at].reply.size() >= 6 &&
                readLe32(commands[at].reply.data() + 2) == crc32(image.data() + done, length));
    }
    require(at + 1 == commands.size() && commands[at].tag == 0x02);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    World& w = world();
    // Power-cycle the probe: nothing queued, nothing half received, nothing scripted.
    w.probe->clearScript();
    w.scope.bus().reattach(w.path);
    w.probe->clearTrace();

    const bool modelled = input.ConsumeBool();
    const bool reopens = input.ConsumeBool();
    MisbehavingLoader loader(input, input.ConsumeBool());
    if (modelled)
        w.probe->answerWith(
            [&](std::span<const uint8_t> received) { return loader.answer(received); });
    else
        w.probe->answerWith([&](std::span<const uint8_t>) { return arbitraryAnswer(input); });

    const FirmwareImage row{
        "Fuzz",  kFlashBase, w.image.data(), static_cast<uint32_t>(w.image.size()),
        nullptr, 0,          reopens};
    bool succeeded = false;
    try {
        // As the panel does: a link, the loader's word on what is installed, then the update.
        std::unique_ptr<HDataLink> link = openUpdateLink(w.device);
        const bool installed = readInstalledFirmware(*link).has_value();
        installFirmware(link, w.device, installed, row,
                        standardPhases([](int, int, const char*, const char*) {}));
        succeeded = true;
    } catch (HException& e) {
        require(updateFailureMessages().contains(e.message()) ||
                e.message() == "get loader info failed, unexpected tag returned");
    }
    w.probe->answerWith(nullptr);

    if (succeeded) {
        requireWholeUpdate(w.probe->requests(), w.image);
        if (modelled)
            require(loader.holds(w.image));
    }
    return 0;
}
