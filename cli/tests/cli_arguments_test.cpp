#include <gtest/gtest.h>

#include "cli/CliArguments.h"

using cli::Command;
using cli::parseArguments;

TEST(CliArguments, AcceptsEachCommandWithItsOptions) {
    auto list = parseArguments({"list", "--json"});
    ASSERT_TRUE(list.request);
    EXPECT_EQ(list.request->command, Command::List);
    EXPECT_TRUE(list.request->json);

    auto bySerial = parseArguments({"update", "--serial", "0300A1", "--force"});
    ASSERT_TRUE(bySerial.request);
    EXPECT_EQ(bySerial.request->command, Command::Update);
    EXPECT_EQ(bySerial.request->serial, "0300A1");
    EXPECT_TRUE(bySerial.request->force);
    EXPECT_FALSE(bySerial.request->all);

    auto joined = parseArguments({"update", "--serial=0300A1"});
    ASSERT_TRUE(joined.request);
    EXPECT_EQ(joined.request->serial, "0300A1");

    auto all = parseArguments({"update", "--all"});
    ASSERT_TRUE(all.request);
    EXPECT_TRUE(all.request->all);
    EXPECT_FALSE(all.request->serial);

    auto notes = parseArguments({"notes", "Velantrix Heron"});
    ASSERT_TRUE(notes.request);
    EXPECT_EQ(notes.request->variant, "Velantrix Heron");
}

TEST(CliArguments, HelpWinsEvenOverMistakes) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"-h"}, {"update", "--bogus", "--help"}, {"help"}}) {
        auto parsed = parseArguments(args);
        ASSERT_TRUE(parsed.request) << args[0];
        EXPECT_EQ(parsed.request->command, Command::Help);
    }
}

TEST(CliArguments, RefusesWhatMakesNoSense) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{}, "no command given"},
        {{"flash"}, "unknown command 'flash'"},
        {{"--json"}, "unknown option '--json'"},
        {{"list", "--all"}, "unknown option '--all'"},
        {{"images", "extra"}, "unexpected argument 'extra'"},
        {{"update", "--serial"}, "--serial needs a serial number"},
        {{"update", "--serial="}, "--serial needs a serial number"},
        {{"update", "--serial", "A", "--serial", "B"}, "--serial given twice"},
        {{"update", "--serial", "A", "--all"}, "--serial and --all exclude each other"},
        {{"notes"}, "notes needs a variant name, e.g. 'notes heron'"},
        {{"notes", "heron", "wren"}, "notes takes one variant name"},
    };
    for (const auto& [args, message] : cases) {
        auto parsed = parseArguments(args);
        EXPECT_FALSE(parsed.request);
        EXPECT_EQ(parsed.error, message);
    }
}
