// update --all through the real USB stack: three emulated probes updated at once, one of them
// failing, each on its own libusb handle.
#include "RealStack.h"
#include "tests/cli/CliRun.h"

TEST_F(RealStack, AllUpdatesTheProbesAtOnceAndNamesTheOneThatFailed) {
    const auto old = sim::buildFirmwareImage({.buildText = "Build: emulated"});
    std::vector<std::shared_ptr<sim::VirtualProbe>> probes;
    for (const auto& [productId, serial] : std::vector<std::pair<uint16_t, std::string>>{
             {3, "SN000001"}, {6, "SN000002"}, {3, "SN000003"}}) {
        probes.push_back(sim::makeProbe(productId, serial, old));
        usb->attach(probes.back());
    }
    probes[2]->on(sim::Command::Write, 5).corruptWrite(7);
    const CliRun run = cliRun({"update", "--all"}, context);
    EXPECT_EQ(run.status, 5) << run.out << run.err;
    EXPECT_EQ(run.err, "velantrix-update-cli: SN000003: Verify failed : crc check mismatch\n");
    EXPECT_TRUE(run.out.ends_with("3 probes: 2 updated, 1 failed\n")) << run.out;
    EXPECT_PRED_FORMAT2(testing::IsSubstring,
                        "SN000002 (Velantrix Osprey): installed version now 3.1 - Build: "
                        "2024042402.56362\n",
                        run.out);
}
