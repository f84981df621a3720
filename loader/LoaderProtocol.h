#pragma once

#include <cstdint>

#include "link/HDataLink.h"
#include "loader/LoaderInfo.h"

// The host side of the probe loader's commands. Each call is one complete request/reply exchange
// over `link`, bounded by the link's time-out; it returns normally or throws HException with a
// message fit for the user. The link stays open either way. The commands keep no state of their
// own: two links may be worked on two threads at once.

// Opens the conversation. A busy loader is asked again after a pause of a second on the link's
// clock, ten times in all.
void loaderConnect(HDataLink& link);
void loaderDisconnect(HDataLink& link);

void memoryErase(HDataLink& link, uint32_t address, uint32_t length);

// `data` must hold `length` bytes. A length the link cannot report as sent (above INT_MAX) and a
// null `data` with a nonzero length are refused before anything is sent.
void memoryWrite(HDataLink& link, uint32_t address, uint32_t length, const uint8_t* data);

// Whether the probe's CRC-32/BZIP2 of `length` bytes at `address` equals that of `data`. A
// mismatch is an answer, not a failure. A null `data` with a nonzero length is refused before
// anything is sent.
bool crcCheck(HDataLink& link, uint32_t address, uint32_t length, const uint8_t* data);

void getLoaderInfo(HDataLink& link, LoaderInfo& info);
