// What `watch` counts as an arrival: once per plugging in, not again while its own update makes
// the probe leave and come back.
#include <gtest/gtest.h>

#include "cli/WatchArrivals.h"

namespace {

USBDeviceInfo probe(const std::string& serial) {
    USBDeviceInfo device;
    device.serialNumber = serial;
    device.devicePath = "/p/" + serial;
    return device;
}

std::vector<std::string> serials(const std::vector<USBDeviceInfo>& devices) {
    std::vector<std::string> out;
    for (const auto& d : devices)
        out.push_back(d.serialNumber);
    return out;
}

using Serials = std::vector<std::string>;

}  // namespace

TEST(WatchArrivals, EachPluggingInArrivesOnceAndARestartInItsUpdateIsNone) {
    cli::WatchArrivals table;
    EXPECT_EQ(serials(table.arrivals({probe("A"), probe("B"), probe("A")})), (Serials{"A", "B"}));
    EXPECT_EQ(serials(table.arrivals({probe("B"), probe("A")})), Serials{});
    table.started("A");
    // A restarts into its loader: off the bus, then back, while its update runs.
    EXPECT_EQ(serials(table.arrivals({probe("B")})), Serials{});
    EXPECT_EQ(serials(table.arrivals({probe("A"), probe("B")})), Serials{});
    table.ended("A");
    // Done and still plugged in: not updated again, however long it stays.
    EXPECT_EQ(serials(table.arrivals({probe("A"), probe("B")})), Serials{});
    // B (never updated: unsupported, say) unplugged and plugged in again arrives again, once.
    EXPECT_EQ(serials(table.arrivals({probe("A")})), Serials{});
    EXPECT_EQ(serials(table.arrivals({probe("A"), probe("B")})), Serials{"B"});
    EXPECT_EQ(serials(table.arrivals({probe("A"), probe("B")})), Serials{});
    // A unplugged after its update: new when it returns.
    EXPECT_EQ(serials(table.arrivals({probe("B")})), Serials{});
    EXPECT_EQ(serials(table.arrivals({probe("A"), probe("B")})), Serials{"A"});
}

TEST(WatchArrivals, AProbeGoneWhenItsUpdateEndsIsForgottenAtTheNextListing) {
    cli::WatchArrivals table;
    table.arrivals({probe("A")});
    table.started("A");
    EXPECT_EQ(serials(table.arrivals({})), Serials{});
    table.ended("A");  // failed: pulled out part-way
    table.ended("Z");  // never seen: nothing to end
    EXPECT_EQ(serials(table.arrivals({})), Serials{});
    EXPECT_EQ(serials(table.arrivals({probe("A")})), Serials{"A"});
}
