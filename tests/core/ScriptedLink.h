#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "link/HDataLink.h"
#include "platform/Clock.h"
#include "platform/HException.h"

// A data link that plays a script instead of a probe. Every write is kept as a frame of its own;
// every read takes the next scripted reply (a read with nothing scripted finds nothing and
// answers 0, as a link whose wait ran out). Writes, reads and purges are also logged in order
// with the clock's counter, so a test can see what came before what and how long it waited.
class ScriptedLink final : public HDataLink {
public:
    enum class Event : char { Write = 'W', Read = 'R', Purge = 'P' };
    struct Step {
        Event event;
        int64_t counter;  // platform::currentClock().counter() when it happened
    };

    // The next read copies `bytes` (at most the length asked for) and answers the count copied.
    void reply(std::vector<uint8_t> bytes) { replies.push_back({std::move(bytes), std::nullopt}); }
    // The next read copies `bytes` like reply() but answers `result` (a short count, or -1).
    void replyWithResult(std::vector<uint8_t> bytes, int result) {
        replies.push_back({std::move(bytes), result});
    }
    // The next write is still recorded but answers `result` instead of the full length.
    void answerNextWrite(int result) { writeResults.push_back(result); }
    // Every purge from now on throws this message, as a device that refuses to purge.
    void refusePurge(std::string message) { purgeRefusal = std::move(message); }

    int read(void* buffer, unsigned length) override {
        record(Event::Read);
        if (replies.empty())
            return 0;
        const Reply next = std::move(replies.front());
        replies.pop_front();
        const std::size_t copied = std::min<std::size_t>(length, next.bytes.size());
        std::copy_n(next.bytes.begin(), copied, static_cast<uint8_t*>(buffer));
        return next.result.value_or(static_cast<int>(copied));
    }

    int write(const void* buffer, unsigned length) override {
        record(Event::Write);
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        frames.emplace_back(bytes, bytes + length);
        if (writeResults.empty())
            return static_cast<int>(length);
        const int result = writeResults.front();
        writeResults.pop_front();
        return result;
    }

    void purge() override {
        record(Event::Purge);
        if (purgeRefusal)
            throw HException(*purgeRefusal);
    }

    // Everything written, one entry per write call.
    const std::vector<std::vector<uint8_t>>& written() const { return frames; }
    const std::vector<Step>& steps() const { return history; }
    // The order of events as letters, e.g. "PWRPWR" for purge, write, read, twice.
    std::string trace() const {
        std::string letters;
        for (const Step& step : history)
            letters += static_cast<char>(step.event);
        return letters;
    }
    int purges() const {
        return static_cast<int>(std::count_if(history.begin(), history.end(), [](const Step& step) {
            return step.event == Event::Purge;
        }));
    }
    std::size_t unreadReplies() const { return replies.size(); }

private:
    struct Reply {
        std::vector<uint8_t> bytes;
        std::optional<int> result;
    };

    void record(Event event) { history.push_back({event, platform::currentClock().counter()}); }

    std::deque<Reply> replies;
    std::deque<int> writeResults;
    std::optional<std::string> purgeRefusal;
    std::vector<std::vector<uint8_t>> frames;
    std::vector<Step> history;
};
