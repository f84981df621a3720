// The image maker (tools/make-firmware-image.py) is a build tool of its own with its own copy of
// the header layout: what it writes must read back through the program's parser, and the
// catalogue's images must be exactly what it makes for the probe models that have one. (It needs
// the source tree and Python, which the Windows tests under Wine do not have.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "firmware/FirmwareImage.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh folder of the test's own.
fs::path folder() {
    const fs::path path = fs::path(::testing::TempDir()) /
                          ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(path);
    fs::create_directories(path);
    return path;
}

void run(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

}  // namespace

// The catalogue's images hold the plain 0x40-byte header; here the longest build text and an
// extended header.
TEST(ImageMaker, WritesHeadersTheProgramReadsAsMeant) {
    const fs::path made = folder();
    std::ofstream(made / "payload") << "123456789";
    const fs::path image = made / "image.bin";
    run("python3 " VX_SOURCE_DIR "/tools/make-firmware-image.py --payload-file " +
        (made / "payload").string() + " --output " + image.string() +
        " --version 65535.7 --build-text 'Build: 39 characters long, all of them.' "
        "--header-size 0x48 --extension 0x11223344 0xAABBCCDD");
    const std::vector<uint8_t> bytes = contents(image);
    ASSERT_EQ(bytes.size(), 0x48u + 9);
    const auto header = parseFirmwareImageHeader(bytes.data(), bytes.size());
    ASSERT_TRUE(header);
    // Magic, header size, payload size and CRC-32/BZIP2 of "123456789", format.
    EXPECT_EQ(std::vector<uint32_t>({header->magic, header->headerSize, header->payloadSize,
                                     header->payloadCrc, header->imageFormat}),
              (std::vector<uint32_t>{0xCAFEF00D, 0x48, 9, 0xFC891918, 1}));
    EXPECT_EQ(versionDescription(*header), "65535.7 - Build: 39 characters long, all of them.");
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 64, bytes.begin() + 0x48),
              (std::vector<uint8_t>{0x44, 0x33, 0x22, 0x11, 0xDD, 0xCC, 0xBB, 0xAA}));
    EXPECT_EQ(std::string(bytes.end() - 9, bytes.end()), "123456789");
}

TEST(ImageMaker, MakesTheCatalogueImagesOfEveryModelThatHasOneAndNoOthers) {
    const fs::path images = folder();
    run("sh " VX_SOURCE_DIR "/tools/make-catalogue-images.sh " + images.string() + " >/dev/null");
    std::set<std::string> made;
    for (const auto& entry : fs::directory_iterator(images))
        made.insert(entry.path().filename().string());
    std::set<std::string> expected;
    for (const FirmwareImage& row : firmwareCatalogue) {
        const std::string name = std::string(probeModelOf(row)->image) + ".bin";
        expected.insert(name);
        SCOPED_TRACE(name);
        EXPECT_TRUE(contents(images / name) == std::vector<uint8_t>(row.data, row.data + row.size));
    }
    EXPECT_EQ(made, expected);
}
