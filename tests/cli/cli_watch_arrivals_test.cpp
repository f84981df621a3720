// What `watch` counts as an arrival: once per plugging in, not again while its own update makes
// the probe leave and come back.
#include <gtest/gtest.h>

#include "cli/WatchArrivals.h"

namespace {

// One listing of probes named by one letter each, and the letters of those that arrived.
std::string see(cli::WatchArrivals& table, const std::string& listed) {
    std::vector<USBDeviceInfo> devices(listed.size());
    for (std::size_t i = 0; i < listed.size(); ++i)
        devices[i].serialNumber = listed.substr(i, 1);
    std::string arrived;
    for (const USBDeviceInfo& device : table.arrivals(devices))
        arrived += device.serialNumber;
    return arrived;
}

}  // namespace

TEST(WatchArrivals, EachPluggingInArrivesOnceAndARestartInItsUpdateIsNone) {
    cli::WatchArrivals table;
    EXPECT_EQ(see(table, "ABA"), "AB");
    EXPECT_EQ(see(table, "BA"), "");
    table.started("A");
    // A restarts into its loader: off the bus, then back, while its update runs.
    EXPECT_EQ(see(table, "B"), "");
    EXPECT_EQ(see(table, "AB"), "");
    table.ended("A");
    // Done and still plugged in: not updated again.
    EXPECT_EQ(see(table, "AB"), "");
    // B (never updated: unsupported, say) unplugged and plugged in again arrives again, once.
    EXPECT_EQ(see(table, "A"), "");
    EXPECT_EQ(see(table, "AB"), "B");
    EXPECT_EQ(see(table, "AB"), "");
    // A unplugged after its update: new when it returns; gone when its update ends, forgotten.
    EXPECT_EQ(see(table, "B"), "");
    EXPECT_EQ(see(table, "AB"), "A");
    table.started("A");
    EXPECT_EQ(see(table, "B"), "");
    table.ended("A");
    table.ended("Z");  // never seen: nothing to end
    EXPECT_EQ(see(table, "B"), "");
    EXPECT_EQ(see(table, "AB"), "A");
}
