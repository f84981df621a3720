#include "cli/JsonEvents.h"

#include "firmware/UpdateHistory.h"

namespace cli {

void JsonEvents::write(const std::string& event, const std::string& serial,
                       const std::string& rest) {
    console.out << "{\"event\":" << jsonStringOf(event) << ",\"serial\":" << jsonStringOf(serial)
                << rest << "}\n";
    console.out.flush();
}

void JsonEvents::started(const std::string& serial, const std::string& variant) {
    const auto lock = hold();
    write("started", serial, ",\"variant\":" + jsonStringOf(variant));
}

void JsonEvents::said(const std::string& serial, const std::string& line) {
    const auto lock = hold();
    write("said", serial, ",\"line\":" + jsonStringOf(line));
}

void JsonEvents::phaseBegan(const std::string& serial, const std::string& task, int steps,
                            const std::string& units) {
    const auto lock = hold();
    Phase& phase = phases[serial];
    phase = {steps >= 0 ? steps : phase.steps, 0};
    write("phase", serial,
          ",\"task\":" + jsonStringOf(task) + ",\"steps\":" + std::to_string(phase.steps) +
              ",\"units\":" + jsonStringOf(units));
}

void JsonEvents::stepped(const std::string& serial, int step, int steps) {
    const auto lock = hold();
    Phase& phase = phases[serial];
    if (steps >= 0)
        phase.steps = steps;
    // The total waits for phaseEnded: it may be the report of a failure.
    if (step < 0 || step >= phase.steps)
        return;
    const int percent = static_cast<int>(int64_t{step} * 100 / phase.steps) / 10 * 10;
    if (percent <= phase.percent)
        return;
    phase.percent = percent;
    write("progress", serial,
          ",\"step\":" + std::to_string(step) + ",\"steps\":" + std::to_string(phase.steps) +
              ",\"percent\":" + std::to_string(percent));
}

void JsonEvents::phaseEnded(const std::string& serial, bool succeeded) {
    const auto lock = hold();
    write("phaseEnded", serial, std::string(",\"ok\":") + (succeeded ? "true" : "false"));
}

void JsonEvents::finished(const UpdateRecord& finished) {
    const auto lock = hold();
    const std::string line = encodeHistoryLine(record(finished));
    console.out << "{\"event\":\"finished\"," << line.substr(1) << '\n';
    console.out.flush();
    phases.erase(finished.serialNumber);
    if (finished.result == UpdateResult::Failed)
        fail(console, 0, finished.serialNumber, finished.message);
}

}  // namespace cli
