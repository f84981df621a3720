#include <gtest/gtest.h>

#include <sstream>

#include "cli/CatalogueLookup.h"
#include "cli/DisplayText.h"
#include "cli/ProgressDisplay.h"
#include "firmware/FirmwareImage.h"
#include "firmware/UpdateProcedure.h"

using namespace cli;

TEST(CliDisplayText, DeviceTextCannotDriveTheTerminalNorBreakJson) {
    const std::string hostile = "A\x1b[2J\"\\\n\t\x7f\xe9";
    EXPECT_EQ(displayText(hostile), "A?[2J\"\\???\xc3\xa9");
    EXPECT_EQ(jsonString(hostile), R"("A\u001b[2J\"\\\n\t\u007f\u00e9")");
    EXPECT_EQ(jsonString(""), "\"\"");
}

TEST(CliCatalogueLookup, FindsVariantsByLooseNameAndTheirProductIds) {
    const FirmwareImage& heron = firmwareCatalogue[0];
    EXPECT_EQ(findCatalogueRow("heron"), &heron);
    EXPECT_EQ(findCatalogueRow("HERON"), &heron);
    EXPECT_EQ(findCatalogueRow("velantrix heron"), &heron);
    EXPECT_EQ(findCatalogueRow("Velantrix Heron"), &heron);
    EXPECT_EQ(findCatalogueRow("Velantrix"), nullptr);
    EXPECT_EQ(findCatalogueRow("hero"), nullptr);
    EXPECT_EQ(findCatalogueRow(""), nullptr);

    std::vector<uint16_t> productIds;
    productIds.reserve(firmwareCatalogue.size());
    for (const FirmwareImage& row : firmwareCatalogue)
        productIds.push_back(productIdOf(row).value_or(0));
    EXPECT_EQ(productIds, (std::vector<uint16_t>{3, 4, 16, 6, 5}));
}

namespace {

// The reports of one phase of `size` bytes in blocks of `block`, as the procedure makes them;
// `failAtBlock` makes the request of that block fail.
void runPhase(const UpdateProgress& progress, const char* taskdesc, int size, int block,
              int failAtBlock = -1) {
    progress(0, size, taskdesc, "bytes");
    for (int done = 0, n = 0; done < size; ++n) {
        if (n == failAtBlock) {
            progress(size, -1, nullptr, nullptr);
            return;
        }
        done = std::min(done + block, size);
        progress(done, -1, nullptr, nullptr);
    }
}

}  // namespace

TEST(CliProgressDisplay, PlainLinesShowWhereAFailedPhaseStopped) {
    std::ostringstream out;
    ProgressDisplay display(out, false);
    runPhase(display.callback(), "Erasing memory, do not remove Velantrix", 20000, 8192);
    runPhase(display.callback(), "Verifying firmware", 20000, 8192, 2);
    display.finish(false);
    EXPECT_EQ(out.str(),
              "Erasing memory, do not remove Velantrix: 0/20000 bytes\n"
              "Erasing memory, do not remove Velantrix: 20000/20000 bytes\n"
              "Verifying firmware: 0/20000 bytes\n"
              "Verifying firmware: stopped at 16384/20000 bytes\n");
}

TEST(CliProgressDisplay, TerminalBarIsRedrawnInPlaceAndEndsItsLine) {
    std::ostringstream out;
    ProgressDisplay display(out, true);
    runPhase(display.callback(), "Verifying firmware", 16384, 8192);
    display.finish(true);
    const std::string text = out.str();
    EXPECT_EQ(text.rfind("Verifying firmware\n\r  [", 0), 0u) << text;
    EXPECT_NE(text.find("\r  [####################--------------------]  50%  8192/16384 bytes"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\r  [########################################] 100%  16384/16384 bytes\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);

    std::ostringstream failed;
    ProgressDisplay failing(failed, true);
    runPhase(failing.callback(), "Verifying firmware", 16384, 8192, 0);
    failing.finish(false);
    EXPECT_NE(failed.str().find("  0%  0/16384 bytes  stopped\n"), std::string::npos)
        << failed.str();
}
