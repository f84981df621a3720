#include "link/HDataLink.h"

HIOInterface::~HIOInterface() = default;

void HDataLink::purge() {}

void HDataLink::setTimeouts(unsigned readMs, unsigned writeMs) {
    readTimeout = readMs;
    writeTimeout = writeMs;
}

void HDataLink::setTimeout(unsigned ms) {
    setTimeouts(ms, ms);
}

int HDataLink::bytesAvailable() {
    return 0;
}
int HDataLink::flush() {
    return 0;
}
int HDataLink::reset() {
    return 0;
}
int HDataLink::setBaudRate(unsigned) {
    return 0;
}
