#pragma once

#include <string>

#include "firmware/UpdateRecord.h"

namespace cli {

// What probes' updates say while they run, told as it happens. Several workers tell one sink at
// once, each about its own probe: every implementation synchronises itself, and the calls about
// one probe arrive in the order that probe's update made them.
class UpdateEvents {
public:
    virtual ~UpdateEvents() = default;
    virtual void started(const std::string& serial, const std::string& variant) = 0;
    // A sentence about one probe (what the single update prints after "NAME: ").
    virtual void said(const std::string& serial, const std::string& line) = 0;
    virtual void phaseBegan(const std::string& serial, const std::string& task, int steps,
                            const std::string& units) = 0;
    virtual void stepped(const std::string& serial, int step, int steps) = 0;
    virtual void phaseEnded(const std::string& serial, bool succeeded) = 0;
    // The probe's update is over; `record` is complete but for timeUtc/programVersion.
    virtual void finished(const UpdateRecord& record) = 0;
};

// "SERIAL (variant)" as the tool names a probe. Pure.
std::string probeName(const std::string& serial, const std::string& variant);

}  // namespace cli
