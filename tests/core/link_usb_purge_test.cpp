// Which purges of the plain bulk link read the pipe: those where the probe may still hold a reply
// the host did not take, and no others (each costs the drain's time-out on an idle pipe).
#include <gtest/gtest.h>

#include <string_view>

#include "link/USBDataLink.h"
#include "tests/support/ScriptedUsb.h"

namespace {

constexpr const char* kPath = "/sys/devices/usb1/1-4";

// Steps on one new link: R a read that gets its whole reply, r a read that runs out of time,
// W a write taken whole, w a write that stalls, then P a purge that drains (finding the pipe
// idle) and p one that leaves the pipe alone. The scripted device fails the test on any read
// it was not told to expect.
constexpr const char* kCases[] = {
    "P",     // an earlier link may have left a reply behind
    "Rp",    // the first reply came whole: nothing was waiting ahead of it
    "WP",    // a whole write says nothing of what an earlier link left
    "Pp",    // the drain found the pipe idle
    "PRWp",  // and whole transfers keep the link in step
    "RrP",   // the reply given up on may still come
    "RrRP",  // ... and a whole read after it may be that late reply
    "RrPp",  // until a drain found the pipe idle
    "RwP",   // the probe may hold part of a request, and answer it
};

}  // namespace

TEST(PlainLinkPurge, ReadsThePipeOnlyWhenTheProbeMayBeAhead) {
    for (const std::string_view steps : kCases) {
        SCOPED_TRACE(steps);
        scripted::ScriptedUsb usb;
        scripted::Device& device = usb.device(kPath);
        USBDataLink link(usb.context(), {0x1A2B, 6, "TEST0001", "", "", 0, kPath}, 0x01, 0x81);
        uint8_t bytes[2] = {};
        const uint8_t request[2] = {};
        for (const char step : steps) {
            const bool whole = step == 'R' || step == 'W' || step == 'P';
            if (step == 'R' || step == 'r') {
                device.in(0x81, {0xFE, 0x01});
                if (!whole)
                    device.timesOut();
                EXPECT_EQ(link.read(bytes, 2), whole ? 2 : -1);
            } else if (step == 'W' || step == 'w') {
                device.out(0x01, {0, 0});
                if (!whole)
                    device.answers(-1);
                EXPECT_EQ(link.write(request, 2), whole ? 2 : -1);
            } else {
                if (whole)  // a draining purge, which finds the pipe idle
                    device.in(0x81).timesOut();
                link.purge();
            }
        }
    }
}
