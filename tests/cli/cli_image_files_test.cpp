// Image files: export and inspect, and installs against virtual probes with every refusal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "CliRun.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

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

struct CliImageFiles : CliProbes {
    // A folder per test: CTest runs the tests of this fixture at the same time.
    const fs::path dir =
        fs::path(testing::TempDir()) /
        (std::string("vx-cli-") + testing::UnitTest::GetInstance()->current_test_info()->name());
    CliImageFiles() { fs::create_directories(dir); }
    ~CliImageFiles() override { fs::remove_all(dir); }
    std::string file(const std::string& name, const Bytes& bytes) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return (dir / name).string();
    }
};

}  // namespace

TEST_F(CliImageFiles, ExportKeepsWhatExistsAndInspectShowsTheHeader) {
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
    const std::string odd = file("odd", imageOf(3, 4, {0x50}));
    EXPECT_EQ(cli({"inspect", odd}).err, "velantrix-update-cli: " + odd +
                                             ": has a header of 0x50 bytes, which no Velantrix "
                                             "variant's image has\n");
}

TEST_F(CliImageFiles, EveryRefusalComesBeforeAnythingIsWritten) {
    auto probe = plug(3, "0300A1", imageOf(3));
    const Bytes older = olderImage();
    const std::string large = file("large", {});
    fs::resize_file(large, 16 * 1024 * 1024 + 1);  // sparse: refused before it is read
    const std::pair<std::string, std::string> cases[] = {
        {(dir / "none").string(), "cannot be read: No such file or directory"},
        {large, "is 16777217 bytes, larger than 16 MiB: no Velantrix firmware is that large"},
        {file("short", Bytes(older.begin(), older.begin() + 63)),
         "is shorter than its header (63 of 64 bytes)"},
        {file("magic", imageOf(3, 0, {0x0E})),
         "is not a Velantrix firmware image (it starts with 0xCAFEF00E, not 0xCAFEF00D)"},
        {file("osprey", imageOf(6)),
         "has a header of 0x48 bytes, but images for the Velantrix Heron have 0x40"},
        {file("cut", Bytes(older.begin(), older.end() - 1)),
         "is 4159 bytes, but its header says 0x40 + 4096 bytes of payload"},
        {file("wraps", imageOf(3, 8, {0xFF, 0xFF, 0xFF, 0xFF})),
         "is 112408 bytes, but its header says 0x40 + 4294967295 bytes of payload"},
        {file("flipped", imageOf(3, 5000, {0x80})),
         "has a payload whose CRC is 0x14BF45EE, not the 0xBF6DDB12 its header says"},
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
    // The older file with --allow-older; then it is what the probe holds, unless --force.
    const std::pair<const char*, int> runs[] = {
        {"--allow-older", 0}, {"--allow-older", 6}, {"--force", 0}};
    for (const auto& [option, status] : runs)
        EXPECT_EQ(
            cli({"update", "--image", file("older", older), "--serial=0300A1", option}).status,
            status);
    EXPECT_EQ(probe->readFlash(0x2000, 4160), older);
    // Numbers, not text: 2.9 is older than 2.10.
    const Bytes nine = sim::buildFirmwareImage({.majorVersion = 2, .minorVersion = 9});
    EXPECT_EQ(cli({"update", "--image", file("2.9", nine), "--serial", "0300A1"}).status, 6);
}

TEST_F(CliImageFiles, AFileChangedDuringTheUpdateDoesNotReachTheProbe) {
    auto probe = plug(3, "0300A1");
    const std::string path = file("heron.vxfw", imageOf(3));
    CueBuffer buffer;
    buffer.cue = "Erasing memory";
    buffer.hook = [&] { file("heron.vxfw", olderImage()); };
    std::ostream out(&buffer);
    std::ostringstream err;
    EXPECT_EQ(cli::runCli(context, {"update", "--image=" + path, "--serial", "0300A1"},
                          {out, err, false}),
              0)
        << err.str();
    EXPECT_FALSE(buffer.hook) << "the file was changed";
    EXPECT_EQ(probe->readFlash(0x2000, 112408), imageOf(3));
    EXPECT_EQ(buffer.text.substr(0, buffer.text.find('\n')),
              "0300A1 (Velantrix Heron): installing " + path + " (" + heron + ") over 2.10 - old");
    EXPECT_TRUE(buffer.text.ends_with("installed version now " + heron + "\n"));
}
