#include "loader/LoaderProtocol.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "firmware/InstalledFirmware.h"
#include "platform/HException.h"
#include "sim/VirtualClock.h"
#include "tests/core/ScriptedLink.h"

namespace {

using Bytes = std::vector<uint8_t>;

const std::string writeTimedOut = "write timed out";
const std::string readTimedOut = "hardware error: target JTAG adapter data link read timed out";

std::string failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const HException& error) {
        return error.message();
    }
    return "(no failure)";
}

const uint8_t someData[] = {0xAA, 0xBB, 0xCC};

void getInfo(HDataLink& link) {
    LoaderInfo info;
    getLoaderInfo(link, info);
}

Bytes infoReply() {
    Bytes reply(77, 0);
    reply[0] = 0xF7;
    return reply;
}

// Every command with the frames it must send and a reply it accepts; the failure cases start
// from that good exchange. An empty message: that part of the reply is not examined.
struct Command {
    const char* name;
    std::function<void(HDataLink&)> run;
    std::vector<Bytes> frames;
    Bytes goodReply;
    std::string wrongTagMessage;
    std::string failedMessage;
};

// clang-format off
const std::vector<Command> commands = {
    {"connect", [](HDataLink& link) { loaderConnect(link); },
     {{0x01, 0xA7, 0x1C, 0x5E, 0x93}}, {0xFE, 0x01},
     "connect failed, unexpected tag returned", "connect failed"},
    {"disconnect", [](HDataLink& link) { loaderDisconnect(link); },
     {{0x02, 0xA7, 0x1C, 0x5E, 0x93}}, {0xFD, 0x01},
     "disconnect failed, unexpected tag returned", "disconnect failed"},
    {"memoryWrite", [](HDataLink& link) { memoryWrite(link, 0x6000, 3, someData); },
     {{0x03, 0xA7, 0x1C, 0x5E, 0x93, 0x00, 0x60, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00},
      {0xAA, 0xBB, 0xCC}}, {0xFC, 0x01},
     "memory write failed, unexpected tag returned", "memory write failed"},
    {"memoryErase", [](HDataLink& link) { memoryErase(link, 0x6000, 0x2000); },
     {{0x05, 0xA7, 0x1C, 0x5E, 0x93, 0x00, 0x60, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00}}, {0xFA, 0x01},
     "memory erase failed, unexpected tag returned", "memory erase failed"},
    {"crcCheck", [](HDataLink& link) { crcCheck(link, 0x1A008000, 3, someData); },
     {{0x07, 0xA7, 0x1C, 0x5E, 0x93, 0x00, 0x80, 0x00, 0x1A, 0x03, 0x00, 0x00, 0x00}},
     {0xF8, 0x01, 0, 0, 0, 0}, "", ""},
    {"getLoaderInfo", getInfo,
     {{0x08, 0xA7, 0x1C, 0x5E, 0x93}}, infoReply(),
     "get loader info failed, unexpected tag returned", ""},
};
// clang-format on

}  // namespace

TEST(LoaderProtocol, RequestFramesOnTheWire) {
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        ScriptedLink link;
        link.reply(command.goodReply);
        EXPECT_EQ(failureOf([&] { command.run(link); }), "(no failure)");
        EXPECT_EQ(link.written(), command.frames);
    }
}

TEST(LoaderProtocol, WrongTagAndFailedStatusPerCommand) {
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        // An echo of the request tag is wrong for every command, whatever the status says.
        Bytes wrongTag = command.goodReply;
        wrongTag[0] = static_cast<uint8_t>(0xFF - wrongTag[0]);
        Bytes failed = command.goodReply;
        failed[1] = 0;

        ScriptedLink tagLink;
        tagLink.reply(wrongTag);
        const std::string tagFailure = failureOf([&] { command.run(tagLink); });
        EXPECT_EQ(tagFailure,
                  command.wrongTagMessage.empty() ? "(no failure)" : command.wrongTagMessage);

        ScriptedLink statusLink;
        statusLink.reply(failed);
        const std::string statusFailure = failureOf([&] { command.run(statusLink); });
        EXPECT_EQ(statusFailure,
                  command.failedMessage.empty() ? "(no failure)" : command.failedMessage);
    }
}

TEST(LoaderProtocol, ShortOrFailedTransfersAreTimeouts) {
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        // A short reply with a wrong first byte: the count must be judged before the tag.
        Bytes shortReply(command.goodReply.size() - 1, 0x00);
        ScriptedLink shortLink;
        shortLink.reply(shortReply);
        EXPECT_EQ(failureOf([&] { command.run(shortLink); }), readTimedOut);

        ScriptedLink failedRead;
        failedRead.replyWithResult(command.goodReply, -1);
        EXPECT_EQ(failureOf([&] { command.run(failedRead); }), readTimedOut);

        ScriptedLink shortWrite;
        shortWrite.answerNextWrite(4);
        shortWrite.reply(command.goodReply);
        EXPECT_EQ(failureOf([&] { command.run(shortWrite); }), writeTimedOut);
        EXPECT_EQ(shortWrite.unreadReplies(), 1u);
    }
}

TEST(LoaderConnect, BusyRetriesPauseASecondAndGiveUpAtTheTenth) {
    const Bytes busy = {0xFE, 0xFF};
    {
        sim::VirtualClockScope time;
        ScriptedLink link;
        for (int i = 0; i < 9; ++i)
            link.reply(busy);
        link.reply({0xFE, 0x01});
        EXPECT_EQ(failureOf([&] { loaderConnect(link); }), "(no failure)");
        std::string expectedTrace;
        for (int i = 0; i < 10; ++i)
            expectedTrace += "PWR";
        EXPECT_EQ(link.trace(), expectedTrace);
        // Each new request goes out at least a second after the busy reply before it.
        for (std::size_t i = 3; i < link.steps().size(); i += 3)
            EXPECT_GE(link.steps()[i].counter - link.steps()[i - 1].counter, 1'000'000);
    }
    {
        sim::VirtualClockScope time;
        ScriptedLink link;
        for (int i = 0; i < 11; ++i)
            link.reply(busy);
        EXPECT_EQ(failureOf([&] { loaderConnect(link); }), "connect failed");
        EXPECT_EQ(link.written().size(), 10u);
        EXPECT_EQ(link.unreadReplies(), 1u);
        // Nine pauses, none after the tenth reply.
        EXPECT_GE(time.clock().elapsedUs(), 9'000'000u);
        EXPECT_LT(time.clock().elapsedUs(), 10'000'000u);
    }
}

TEST(LoaderConnect, FailsAtOnceOnRefusalWrongTagOrPurgeError) {
    sim::VirtualClockScope time;
    ScriptedLink refused;
    refused.reply({0xFE, 0x00});
    EXPECT_EQ(failureOf([&] { loaderConnect(refused); }), "connect failed");

    ScriptedLink wrongTag;
    wrongTag.reply({0xFD, 0xFF});
    EXPECT_EQ(failureOf([&] { loaderConnect(wrongTag); }),
              "connect failed, unexpected tag returned");
    EXPECT_EQ(time.clock().elapsedUs(), 0u);

    ScriptedLink unpurgeable;
    unpurgeable.refusePurge("cannot purge RX");
    EXPECT_EQ(failureOf([&] { loaderConnect(unpurgeable); }), "cannot purge RX");
    EXPECT_TRUE(unpurgeable.written().empty());
}

TEST(LoaderDisconnect, PurgesAfterTheReplyEvenWhenItsTagIsWrong) {
    ScriptedLink link;
    link.reply({0x02, 0x01});
    EXPECT_EQ(failureOf([&] { loaderDisconnect(link); }),
              "disconnect failed, unexpected tag returned");
    EXPECT_EQ(link.trace(), "WRP");
}

TEST(MemoryWrite, DataWriteAndRefusals) {
    ScriptedLink shortData;
    shortData.answerNextWrite(13);
    shortData.answerNextWrite(2);
    EXPECT_EQ(failureOf([&] { memoryWrite(shortData, 0, 3, someData); }), writeTimedOut);
    EXPECT_EQ(shortData.trace(), "WW");

    // Refused before the request: the loader would otherwise wait for data that never comes.
    ScriptedLink refused;
    EXPECT_EQ(failureOf([&] { memoryWrite(refused, 0, 4, nullptr); }), "memory write failed");
    EXPECT_EQ(failureOf([&] { memoryWrite(refused, 0, 0x80000000u, someData); }),
              "memory write failed");
    EXPECT_TRUE(refused.written().empty());

    ScriptedLink empty;
    empty.reply({0xFC, 0x01});
    EXPECT_EQ(failureOf([&] { memoryWrite(empty, 0, 0, nullptr); }), "(no failure)");
    ASSERT_EQ(empty.written().size(), 2u);
    EXPECT_TRUE(empty.written()[1].empty());
}

TEST(CrcCheck, ComparesOnlyBytesTwoToFiveWithTheHostSum) {
    const auto* text = reinterpret_cast<const uint8_t*>("123456789");
    auto check = [](Bytes reply, uint32_t length, const uint8_t* data) {
        ScriptedLink link;
        link.reply(std::move(reply));
        return crcCheck(link, 0x6000, length, data);
    };
    EXPECT_TRUE(check({0x00, 0x00, 0x18, 0x19, 0x89, 0xFC}, 9, text));
    EXPECT_TRUE(check({0xAB, 0xCD, 0x18, 0x19, 0x89, 0xFC}, 9, text));
    EXPECT_FALSE(check({0xF8, 0x01, 0x19, 0x19, 0x89, 0xFC}, 9, text));
    EXPECT_TRUE(check({0xF8, 0x01, 0, 0, 0, 0}, 0, nullptr));
    EXPECT_FALSE(check({0xF8, 0x01, 0x01, 0, 0, 0}, 0, nullptr));

    ScriptedLink refused;
    EXPECT_EQ(failureOf([&] { crcCheck(refused, 0, 9, nullptr); }), "crc check failed");
    EXPECT_TRUE(refused.written().empty());
}

TEST(GetLoaderInfo, DecodesEveryFieldAndTerminatesAFullBuildText) {
    Bytes reply = {0xF7, 0x00, 0x01,         // loaderMajor 0x0100: byte 1 is data, not a status
                   0x02, 0x00,               // loaderMinor
                   0x04, 0x03, 0x02, 0x01,   // info4
                   0x01, 0x00, 0x00, 0x00,   // firmwareFormat
                   0x0D, 0xF0, 0xFE, 0xCA,   // firmwareMagic
                   0x16, 0,    0,    0x10,   // info16
                   0x20, 0,    0,    0x20,   // info20
                   0x24, 0,    0,    0x30,   // info24
                   0x28, 0,    0,    0x40,   // info28
                   0x02, 0x00, 0xEE, 0xEE,   // firmwareMajor, ignored
                   0x10, 0x00, 0xEE, 0xEE};  // firmwareMinor, ignored
    const std::string text = "Build: 2019032603.38702-with-filler!";
    ASSERT_EQ(text.size(), 36u);
    reply.insert(reply.end(), text.begin(), text.end());
    ASSERT_EQ(reply.size(), 77u);
    reply.push_back(0x55);  // a byte past the reply must not leak into the text

    ScriptedLink link;
    link.reply(reply);
    LoaderInfo info;
    getLoaderInfo(link, info);
    EXPECT_EQ(info.loaderMajor, 0x0100);
    EXPECT_EQ(info.loaderMinor, 2);
    EXPECT_EQ(info.info4, 0x01020304u);
    EXPECT_EQ(info.firmwareFormat, 1u);
    EXPECT_EQ(info.firmwareMagic, 0xCAFEF00Du);
    EXPECT_EQ(info.info16, 0x10000016u);
    EXPECT_EQ(info.info20, 0x20000020u);
    EXPECT_EQ(info.info24, 0x30000024u);
    EXPECT_EQ(info.info28, 0x40000028u);
    EXPECT_EQ(info.firmwareMajor, 2);
    EXPECT_EQ(info.firmwareMinor, 16);
    EXPECT_EQ(std::string(info.firmwareBuildText), text);
    EXPECT_EQ(installedFirmwareDescription(info), "2.16 - " + text);
    EXPECT_TRUE(holdsRecognisedFirmware(info));

    info.firmwareFormat = 2;
    EXPECT_FALSE(holdsRecognisedFirmware(info));
    info.firmwareFormat = 1;
    info.firmwareMagic = 0xCAFEF00Eu;
    EXPECT_FALSE(holdsRecognisedFirmware(info));
}
