// Image files: export, inspect and install against virtual probes, and every refusal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "CliRun.h"
#include "tests/support/VirtualProbes.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

const std::string heron = "2.16 - Build: 2019032603.38702";

// Output that runs `hook` once the text so far holds `cue`: the moment to change the file.
struct CueBuffer : std::streambuf {
    std::string text, cue;
    std::function<void()> hook;
    int overflow(int c) override {
        text += static_cast<char>(c);
        if (hook && text.find(cue) != std::string::npos)
            std::exchange(hook, nullptr)();
        return c;
    }
};

struct CliImageFiles : VirtualProbes {
    const fs::path dir = fs::path(testing::TempDir()) / "vx-cli-image-files";
    CliImageFiles() { fs::create_directories(dir); }
    ~CliImageFiles() override { fs::remove_all(dir); }
    CliRun cli(const std::vector<std::string>& args) { return cliRun(args, context); }
    std::string file(const std::string& name, const Bytes& bytes) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return (dir / name).string();
    }
    static Bytes imageOf(uint16_t productId) {
        return {rowOf(productId).data, rowOf(productId).data + rowOf(productId).size};
    }
    static bool holds(const sim::VirtualProbe& probe, uint32_t address, const Bytes& image) {
        return probe.flashCrc(address, static_cast<uint32_t>(image.size())) ==
               crc32(image.data(), image.size());
    }
};

}  // namespace

TEST_F(CliImageFiles, ExportInspectAndInstallTheImageKeptForLater) {
    EXPECT_EQ(cli({"images", "--export", dir.string()}).status, 0);
    const std::string path = (dir / "velantrix-osprey-3.1.vxfw").string();
    EXPECT_EQ(cli({"images", "--export", dir.string()}).out.find("wrote"), std::string::npos);
    EXPECT_EQ(cli({"images", "--export", dir.string(), "--force"}).out.find("kept"),
              std::string::npos);
    EXPECT_EQ(cli({"inspect", path}).out, path + R"( (60212 bytes)
  magic         0xCAFEF00D
  header size   0x48 (72 bytes)
  payload size  60140 bytes
  payload CRC   0x63B7DE7D, matches the payload
  format        1
  version       3.1 - Build: 2024042402.56362
can be installed into: Velantrix Osprey (by its header size)
)");
    auto probe = plug(6, "0600B7");  // reopens into its loader, image at 0x1A008000
    const CliRun run = cli({"update", "--image", path, "--serial", "0600B7"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
              "0600B7 (Velantrix Osprey): installing " + path +
                  " (3.1 - Build: 2024042402.56362) over 2.10 - old");
    EXPECT_TRUE(holds(*probe, 0x1A008000, imageOf(6)));
}

TEST_F(CliImageFiles, EveryRefusalComesBeforeAnythingIsWritten) {
    auto probe = plug(3, "0300A1", imageOf(3));
    const Bytes older = olderImage();
    Bytes flipped = imageOf(3);
    flipped.at(5000) ^= 0x20;
    const std::pair<std::string, std::string> cases[] = {
        {(dir / "none").string(), "cannot be read: No such file or directory"},
        {file("short", Bytes(older.begin(), older.begin() + 40)),
         "is shorter than its header (40 of 64 bytes)"},
        {file("osprey", imageOf(6)),
         "has a header of 0x48 bytes, but images for the Velantrix Heron have 0x40"},
        {file("cut", Bytes(older.begin(), older.end() - 1)),
         "is 4159 bytes, but its header says 0x40 + 4096 bytes of payload"},
        {file("flipped", flipped),
         "has a payload whose CRC is 0xFAC10240, not the 0xBF6DDB12 its header says"},
        {file("older", older),
         "is 2.10 - old, older than the installed " + heron + "; --allow-older installs it anyway"},
        {file("same", imageOf(3)),
         "is what the probe holds already, block for block; --force installs it again"},
    };
    for (const auto& [path, refusal] : cases) {
        const CliRun run = cli({"update", "--image", path, "--serial", "0300A1"});
        EXPECT_EQ(run.status, 6) << path;
        EXPECT_EQ(run.err, "velantrix-update-cli: " + path + ": " + refusal + "\n");
    }
    EXPECT_EQ(probe->commandCount(sim::Command::Erase), 0);
    EXPECT_EQ(probe->commandCount(sim::Command::Connect), 1) << "only to check 'same'";
    EXPECT_EQ(
        cli({"update", "--image", file("older", older), "--serial", "0300A1", "--allow-older"})
            .status,
        0);
    EXPECT_TRUE(holds(*probe, 0x2000, older));
    EXPECT_EQ(cli({"update", "--image", file("older", older), "--serial", "0300A1"}).status, 6);
    EXPECT_EQ(
        cli({"update", "--image", file("older", older), "--serial", "0300A1", "--force"}).status,
        0);
}

TEST_F(CliImageFiles, AFileChangedDuringTheUpdateDoesNotReachTheProbe) {
    auto probe = plug(3, "0300A1");
    const std::string path = file("heron.vxfw", imageOf(3));
    CueBuffer buffer;
    buffer.cue = "Erasing memory";
    buffer.hook = [&] { file("heron.vxfw", olderImage()); };
    std::ostream out(&buffer);
    std::ostringstream err;
    EXPECT_EQ(
        cli::runCli(context, {"update", "--image", path, "--serial", "0300A1"}, {out, err, false}),
        0)
        << err.str();
    EXPECT_FALSE(buffer.hook) << "the file was changed";
    EXPECT_TRUE(holds(*probe, 0x2000, imageOf(3)));
    EXPECT_TRUE(buffer.text.ends_with("installed version now " + heron + "\n"));
}
