#pragma once

#include <cstdint>
#include <string>

#include "platform/Clock.h"

// Root of device I/O: a byte stream in both directions. Counts are signed, -1 for failure.
class HIOInterface {
public:
    HIOInterface() = default;
    HIOInterface(const HIOInterface&) = delete;
    HIOInterface& operator=(const HIOInterface&) = delete;
    virtual ~HIOInterface();

    // Blocks until `length` bytes arrived or the link gives up; answers the bytes placed in
    // `buffer` (fewer when time ran out) or -1 when the transfer failed. Never throws.
    virtual int read(void* buffer, unsigned length) = 0;
    // Sends `length` bytes in one transfer; answers the bytes accepted or -1. Never throws.
    virtual int write(const void* buffer, unsigned length) = 0;
};

// A data link to one probe. Open exactly while the object lives: constructors open or throw
// HException, destructors close. A link waits on the clock it was made with, and answers it, so
// that whatever talks over it keeps the same time. One thread at a time: links to different
// probes may work on several threads at once, one link never.
class HDataLink : public HIOInterface {
public:
    explicit HDataLink(platform::Clock& runsOn) : linkClock(runsOn) {}

    platform::Clock& clock() const { return linkClock; }

    // Discards data pending in either direction. Links that can refuse throw HException.
    virtual void purge();
    virtual void setTimeouts(unsigned readMs, unsigned writeMs);
    // Both bounds at once; a virtual call so that links with their own bookkeeping see it.
    virtual void setTimeout(unsigned ms);

    // Operations a byte-stream link could offer. Nothing in this program needs them, so every
    // link answers 0.
    virtual int bytesAvailable();
    virtual int flush();
    virtual int reset();
    virtual int setBaudRate(unsigned baud);

    unsigned readTimeoutMs() const { return readTimeout; }
    unsigned writeTimeoutMs() const { return writeTimeout; }

protected:
    // Every wait of both links is bounded by readTimeout; writeTimeout is kept for the interface.
    uint32_t readTimeout = 1000;
    uint32_t writeTimeout = 1000;

private:
    platform::Clock& linkClock;
};

// The operations that only an FTDI bridge link has.
class Ftd2xxDataLinkInterface : public HDataLink {
public:
    using HDataLink::HDataLink;

    virtual void setBitMode(uint8_t mask, uint8_t mode) = 0;
    virtual std::string description() const = 0;
};
