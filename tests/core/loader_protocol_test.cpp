// The loader's commands on the wire, over the plain bulk link to a scripted probe: the frames
// each command sends, how it judges the reply, and the retries of a busy connect.
#include "loader/LoaderProtocol.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "firmware/InstalledFirmware.h"
#include "link/USBDataLink.h"
#include "platform/LittleEndian.h"
#include "tests/support/Failure.h"
#include "tests/support/ScriptedUsb.h"

using scripted::Bytes;

namespace {

const std::string readTimedOut = "hardware error: target JTAG adapter data link read timed out";
const uint8_t someData[] = {0xAA, 0xBB, 0xCC};

struct Command {
    const char* name;
    std::function<void(HDataLink&)> run;
    std::vector<Bytes> frames;  // the writes, in order
    Bytes reply;                // one the command accepts
    bool purgeBefore;           // connect purges before it asks
    bool purgeAfter;            // disconnect after the reply, whatever it says
    const char* wrongTag;       // what a wrong tag ends in; null: the tag is not examined
    const char* refused;        // what status 0 ends in; null: the status is not examined
};

// clang-format off
const std::vector<Command> commands = {
    {"connect", loaderConnect, {{0x01, 0xA7, 0x1C, 0x5E, 0x93}}, {0xFE, 0x01}, true, false,
     "connect failed, unexpected tag returned", "connect failed"},
    {"disconnect", loaderDisconnect, {{0x02, 0xA7, 0x1C, 0x5E, 0x93}}, {0xFD, 0x01}, false, true,
     "disconnect failed, unexpected tag returned", "disconnect failed"},
    {"write", [](HDataLink& link) { memoryWrite(link, 0x6000, 3, someData); },
     {{0x03, 0xA7, 0x1C, 0x5E, 0x93, 0x00, 0x60, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00},
      {0xAA, 0xBB, 0xCC}}, {0xFC, 0x01}, false, false,
     "memory write failed, unexpected tag returned", "memory write failed"},
    {"erase", [](HDataLink& link) { memoryErase(link, 0x6000, 0x2000); },
     {{0x05, 0xA7, 0x1C, 0x5E, 0x93, 0x00, 0x60, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00}},
     {0xFA, 0x01}, false, false, "memory erase failed, unexpected tag returned", "memory erase failed"},
    {"crc", [](HDataLink& link) { crcCheck(link, 0x1A008000, 3, someData); },
     {{0x07, 0xA7, 0x1C, 0x5E, 0x93, 0x00, 0x80, 0x00, 0x1A, 0x03, 0x00, 0x00, 0x00}},
     {0xF8, 0x01, 0, 0, 0, 0}, false, false, nullptr, nullptr},
    {"info", [](HDataLink& link) { LoaderInfo info; getLoaderInfo(link, info); },
     {{0x08, 0xA7, 0x1C, 0x5E, 0x93}}, [] { Bytes r(77); r[0] = 0xF7; return r; }(), false, false,
     "get loader info failed, unexpected tag returned", nullptr},
};
// clang-format on

struct Loader : ::testing::Test {
    scripted::ScriptedUsb usb;
    scripted::Device& probe = usb.device("/sys/probe");
    USBDataLink link{usb.context(), {0x1A2B, 6, "S", "", "", 0, "/sys/probe"}, 0x01, 0x81};

    // The bulk link purges by reading until the pipe stays silent for a moment, and only while
    // it may be behind the probe: a new link, or one with a transfer that fell short since.
    enum class Backlog { Unknown, None, Possible } backlog = Backlog::Unknown;
    void purged() {
        if (backlog != Backlog::None)
            probe.in(0x81).timesOut().within(USBDataLink::kPurgeTimeoutMs);
        backlog = Backlog::None;
    }
    void exchange(const std::vector<Bytes>& frames, const Bytes& reply) {
        for (const Bytes& frame : frames)
            probe.out(0x01, frame);
        probe.in(0x81, reply);
    }
    // One run of `command` whose reply reaches the host as `reply`, counted as `result`.
    void script(const Command& command, const Bytes& reply, int result) {
        if (command.purgeBefore)
            purged();
        exchange(command.frames, reply);
        probe.answers(result);
        const bool whole = result == static_cast<int>(command.reply.size());
        if (!whole)
            backlog = Backlog::Possible;
        else if (backlog == Backlog::Unknown)
            backlog = Backlog::None;
        if (command.purgeAfter && whole)
            purged();
    }
};

}  // namespace

TEST_F(Loader, EachCommandSendsItsFramesAndJudgesTheReply) {
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        const int size = static_cast<int>(command.reply.size());
        // An echo of the request tag is wrong whatever the status; status 0 with the right tag.
        Bytes wrongTag = command.reply;
        wrongTag[0] = static_cast<uint8_t>(0xFF - wrongTag[0]);
        wrongTag[1] = 0;
        Bytes refused = command.reply;
        refused[1] = 0;
        const std::tuple<Bytes, int, std::string> runs[] = {
            {command.reply, size, "(no failure)"},
            {wrongTag, size, command.wrongTag ? command.wrongTag : "(no failure)"},
            {refused, size, command.refused ? command.refused : "(no failure)"},
            {Bytes(command.reply.size() - 1), size - 1, readTimedOut},  // the count comes first
            {command.reply, -1, readTimedOut},
        };
        for (const auto& [reply, result, expected] : runs) {
            script(command, reply, result);
            EXPECT_EQ(failureOf([&] { command.run(link); }), expected);
        }
        // A write cut short ends the command before any reply is read.
        if (command.purgeBefore)
            purged();
        probe.out(0x01, command.frames[0]).answers(4);
        backlog = Backlog::Possible;
        EXPECT_EQ(failureOf([&] { command.run(link); }), "write timed out");
    }
}

TEST_F(Loader, BusyConnectIsAskedAgainASecondLaterUpToTenTimes) {
    const Bytes busy{0xFE, 0xFF};
    for (int i = 0; i < 20; ++i)
        script(commands[0], i == 9 ? commands[0].reply : busy, 2);
    EXPECT_EQ(failureOf([&] { loaderConnect(link); }), "(no failure)");
    // Nine pauses of a second, and one drain of the pipe: the new link's first.
    EXPECT_EQ(usb.clock().elapsedUs(), 9'000'000u + 10'000u);
    EXPECT_EQ(failureOf([&] { loaderConnect(link); }), "connect failed");
}

TEST_F(Loader, WritesWithoutDataOrBeyondWhatALinkCanCountAreRefusedBeforeSending) {
    EXPECT_EQ(failureOf([&] { memoryWrite(link, 0, 4, nullptr); }), "memory write failed");
    EXPECT_EQ(failureOf([&] { memoryWrite(link, 0, 0x80000000u, someData); }),
              "memory write failed");
    EXPECT_EQ(failureOf([&] { crcCheck(link, 0, 9, nullptr); }), "crc check failed");
    exchange({{0x03, 0xA7, 0x1C, 0x5E, 0x93, 0, 0, 0, 0, 0, 0, 0, 0}, {}}, {0xFC, 0x01});
    EXPECT_EQ(failureOf([&] { memoryWrite(link, 0, 0, nullptr); }), "(no failure)");
}

TEST_F(Loader, InformationReplyDecodesEveryFieldAndEndsAFullBuildText) {
    // Offset, size and value of each field; bytes 1 and 2 are data, no status. The tag fills
    // the reserved words at 35 and 39.
    const uint32_t fields[][3] = {{1, 2, 0x0100},      {3, 2, 2},           {5, 4, 0x01020304},
                                  {9, 4, 1},           {13, 4, 0xCAFEF00D}, {17, 4, 0x10000016},
                                  {21, 4, 0x20000020}, {25, 4, 0x30000024}, {29, 4, 0x40000028},
                                  {33, 2, 2},          {37, 2, 16}};
    Bytes reply(41, 0xF7);
    for (const auto& [offset, size, value] : fields)
        writeLe(reply.data() + offset, value, size);
    const std::string text = "Build: 2019032603.38702-with-filler!";  // 36 bytes, no NUL
    reply.insert(reply.end(), text.begin(), text.end());
    exchange({commands[5].frames[0]}, reply);
    LoaderInfo info;
    getLoaderInfo(link, info);
    EXPECT_EQ(
        std::vector<uint32_t>({info.loaderMajor, info.loaderMinor, info.info4, info.firmwareFormat,
                               info.firmwareMagic, info.info16, info.info20, info.info24,
                               info.info28, info.firmwareMajor, info.firmwareMinor}),
        std::vector<uint32_t>({0x0100, 2, 0x01020304, 1, 0xCAFEF00D, 0x10000016, 0x20000020,
                               0x30000024, 0x40000028, 2, 16}));
    EXPECT_EQ(installedFirmwareDescription(info), "2.16 - " + text);
    EXPECT_TRUE(holdsRecognisedFirmware(info));
    info.firmwareFormat = 2;
    EXPECT_FALSE(holdsRecognisedFirmware(info));
    info.firmwareFormat = 1;
    info.firmwareMagic = 0xCAFEF00E;
    EXPECT_FALSE(holdsRecognisedFirmware(info));
}
