// Which purges of the plain bulk link read the pipe: those where the probe may still hold a reply
// the host did not take, and no others (each costs the drain's time-out on an idle pipe).
#include <gtest/gtest.h>

#include <string_view>

#include "link/USBDataLink.h"
#include "link_fake_usb.h"
#include "sim/VirtualClock.h"

using namespace linktest;

namespace {

constexpr const char* kPath = "/sys/devices/fake/usb1/1-4";

// Steps on one new link: R a read that gets its whole reply, r a read that runs out of time,
// W a write taken whole, w a write that stalls, P a purge. `drains` has one letter per purge:
// 1 when it read the pipe, 0 when it left it alone.
struct PurgeCase {
    const char* steps;
    const char* drains;
};

constexpr PurgeCase kCases[] = {
    {"P", "1"},      // an earlier link may have left a reply behind
    {"RP", "0"},     // the first reply came whole: nothing was waiting ahead of it
    {"PP", "10"},    // the drain found the pipe idle
    {"PRWP", "10"},  // and the link stays in step
    {"RrP", "1"},    // the reply given up on may still come
    {"RrRP", "1"},   // ... and a whole read after it may be that late reply
    {"RrPP", "10"},  // until a drain found the pipe idle
    {"RwP", "1"},    // the probe may hold part of a request, and answer it
    {"RWRP", "0"},   // whole transfers keep the link in step
};

}  // namespace

TEST(PlainLinkPurge, ReadsThePipeOnlyWhenTheProbeMayBeAhead) {
    for (const PurgeCase& c : kCases) {
        SCOPED_TRACE(c.steps);
        sim::VirtualClockScope time;
        FakeUsbScope bus;
        const std::shared_ptr<FakeUsbState> device = bus.add(kPath);
        USBDataLink link(probeAt(6, kPath), 0x01, 0x81);
        uint8_t bytes[2] = {};
        std::string drains;
        for (const char step : std::string_view(c.steps)) {
            device->outStalls = step == 'w';
            if (step == 'R')
                device->inAnswers.push_back({0xFE, 0x01});
            if (step == 'R' || step == 'r') {
                EXPECT_EQ(link.read(bytes, 2), step == 'R' ? 2 : -1);
            }
            if (step == 'W' || step == 'w') {
                EXPECT_EQ(link.write(bytes, 2), step == 'W' ? 2 : -1);
            }
            if (step == 'P') {
                const std::size_t before = device->calls.size();
                link.purge();
                drains += device->calls.size() > before ? '1' : '0';
            }
        }
        EXPECT_EQ(drains, c.drains);
    }
}
