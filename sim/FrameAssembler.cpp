#include "sim/FrameAssembler.h"

#include <algorithm>
#include <cstring>

#include "platform/LittleEndian.h"

namespace sim {

namespace {

LoaderRequest malformedRequest(uint8_t tag) {
    LoaderRequest request;
    request.tag = tag;
    request.malformed = true;
    return request;
}

}  // namespace

std::vector<LoaderRequest> FrameAssembler::feed(std::span<const uint8_t> bytes) {
    std::vector<LoaderRequest> done;
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (dataExpected > 0) {
            const auto take =
                static_cast<uint32_t>(std::min<std::size_t>(dataExpected, bytes.size() - at));
            if (!pendingWrite.dataDropped)
                pendingWrite.data.insert(pendingWrite.data.end(), bytes.subspan(at).begin(),
                                         bytes.subspan(at, take).end());
            at += take;
            dataExpected -= take;
            if (dataExpected == 0)
                done.push_back(std::move(pendingWrite));
            continue;
        }
        if (header.empty() && bytes[at] == 0) {
            ++at;
            continue;
        }
        header.push_back(bytes[at++]);
        const uint8_t tag = header[0];
        if (!isCommandTag(tag)) {
            done.push_back(malformedRequest(tag));
            header.clear();
            break;
        }
        const std::size_t signatureSeen = std::min<std::size_t>(header.size() - 1, 4);
        if (std::memcmp(header.data() + 1, kCommandSignature, signatureSeen) != 0) {
            done.push_back(malformedRequest(tag));
            header.clear();
            break;
        }
        const Command command = static_cast<Command>(tag);
        if (header.size() < requestSize(command))
            continue;
        LoaderRequest request;
        request.tag = tag;
        if (header.size() == kMemoryRequestSize) {
            request.address = readLe32(header.data() + 5);
            request.length = readLe32(header.data() + 9);
        }
        header.clear();
        if (command == Command::Write && request.length > 0) {
            request.dataDropped = request.length > kMaxKeptData;
            if (!request.dataDropped)
                request.data.reserve(request.length);
            pendingWrite = std::move(request);
            dataExpected = pendingWrite.length;
            continue;
        }
        done.push_back(std::move(request));
    }
    return done;
}

void FrameAssembler::discard() {
    header.clear();
    dataExpected = 0;
    pendingWrite = {};
}

}  // namespace sim
