#include "sim/ProbeTrace.h"

#include <cstdio>

namespace sim {

std::string describe(const LoggedRequest& request) {
    char line[96];
    switch (request.kind) {
        case LoggedRequest::Kind::Control:
            std::snprintf(line, sizeof line, "#%d CTRL %02X %02X %04X %04X len %d -> %d",
                          request.index, request.requestType, request.request, request.value,
                          request.wIndex, request.length, request.result);
            break;
        case LoggedRequest::Kind::BulkOut:
        case LoggedRequest::Kind::BulkIn:
            std::snprintf(line, sizeof line, "#%d %s 0x%02X len %d -> %d", request.index,
                          request.kind == LoggedRequest::Kind::BulkIn ? "IN" : "OUT",
                          request.endpoint, request.length, request.result);
            break;
    }
    return line;
}

std::string ProbeTrace::text() const {
    std::string out;
    for (const LoggedRequest& request : requests)
        out += describe(request) + "\n";
    return out;
}

}  // namespace sim
