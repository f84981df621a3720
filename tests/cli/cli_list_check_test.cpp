// list --check: a probe that reports the offered version is compared with the image block by
// block, since an update that stopped part-way leaves the header, and so the version, in place.
#include <gtest/gtest.h>

#include "CliRun.h"

TEST_F(CliProbes, ListCheckTellsTheOfferedImageFromAFlashThatOnlyReportsIt) {
    plug(3, "0300A1", imageOf(3));
    // One bit off in the third block checked.
    const auto flipped = static_cast<uint8_t>(rowOf(3).data[20000] ^ 0x01);
    auto differing = plug(3, "0300B2", imageOf(3, 20000, {flipped}));
    plug(3, "0300C3");
    const CliRun run = cli({"list", "--check"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(
        run.out,
        R"(SERIAL  VARIANT          INSTALLED                       OFFERED                         STATUS
0300A1  Velantrix Heron  2.16 - Build: 2019032603.38702  2.16 - Build: 2019032603.38702  holds the offered image (block-checked)
0300B2  Velantrix Heron  2.16 - Build: 2019032603.38702  2.16 - Build: 2019032603.38702  reports the offered version, but its flash differs: update available
0300C3  Velantrix Heron  2.10 - old                      2.16 - Build: 2019032603.38702  update available
)");
    const std::string json = cli({"list", "--json", "--check"}).out;
    EXPECT_PRED_FORMAT2(testing::IsSubstring,
                        R"("updateAvailable": true, "holdsOfferedImage": false, "message": null)",
                        json);
    EXPECT_PRED_FORMAT2(testing::IsSubstring, R"("holdsOfferedImage": null)", json);
    for (const sim::LoggedCommand& c : differing->trace().commands)
        EXPECT_TRUE(c.command != sim::Command::Erase && c.command != sim::Command::Write);
}
