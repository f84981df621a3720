// A rollback as a user would do it, through the real USB stack: export the carried images,
// inspect one, and install it from its file into a probe that restarts into its loader.
#include <filesystem>

#include "RealStack.h"
#include "loader/Crc32.h"
#include "tests/cli/CliRun.h"

TEST_F(RealStack, AnExportedImageIsInstalledFromItsFile) {
    const auto dir = std::filesystem::path(testing::TempDir()) / "vx-realstack-export";
    ASSERT_EQ(cliRun({"images", "--export", dir.string()}, context).status, 0);
    const std::string file = (dir / "velantrix-osprey-3.1.vxfw").string();
    EXPECT_EQ(cliRun({"inspect", file}).status, 0);
    const auto probe = plug(6);
    const CliRun run = cliRun({"update", "--image", file, "--serial", "SN000001"}, context);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.ends_with("installed version now 3.1 - Build: 2024042402.56362\n"));
    // The probe's own sum over what its flash holds, against the file's 60212 bytes.
    EXPECT_EQ(probe->flashCrc(0x1A008000, 60212), 0xDB28629Bu);
    std::filesystem::remove_all(dir);
}
