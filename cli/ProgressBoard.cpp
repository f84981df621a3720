#include "cli/ProgressBoard.h"

#include <algorithm>
#include <cstdio>

#include "cli/CliMessages.h"
#include "cli/DisplayText.h"
#include "cli/ProbeUpdate.h"

namespace cli {

namespace {

constexpr int barWidth = 20;
constexpr uint32_t redrawMs = 100;
// A line that wraps would break moving up over the board: lines stop short of 80 columns.
constexpr std::size_t lineColumns = 79;

// The first `columns` characters of UTF-8 `text`.
std::string cut(const std::string& text, std::size_t columns) {
    std::size_t seen = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && seen++ == columns)
            return text.substr(0, at);
    }
    return text;
}

std::string bar(int step, int steps) {
    const int percent =
        steps > 0 ? static_cast<int>(int64_t{std::clamp(step, 0, steps)} * 100 / steps) : 100;
    const int filled = percent * barWidth / 100;
    char percentText[8];
    std::snprintf(percentText, sizeof percentText, "%3d%%", percent);
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(barWidth - filled), '-') + "] " + percentText;
}

// A phase's sentence up to its first comma: "Downloading firmware", without the warning the
// board's notice gives once for all.
std::string phaseLabel(const std::string& task) {
    return task.substr(0, task.find(','));
}

std::string padded(const std::string& text, std::size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

}  // namespace

ProgressBoard::ProgressBoard(const Console& to, std::optional<std::string> history,
                             platform::Clock& time)
    : ConsoleEvents(to, std::move(history)), clock(time) {}

ProgressBoard::Line& ProgressBoard::line(const std::string& serial) {
    const auto found =
        std::find_if(lines.begin(), lines.end(), [&](const Line& l) { return l.serial == serial; });
    if (found != lines.end())
        return *found;
    Line& added = lines.emplace_back();
    added.serial = serial;
    return added;
}

void ProgressBoard::draw() {
    if (drawn == 0 && lines.size() == 1)
        console.out << messages::boardNotice << '\n';
    std::size_t serialWidth = 0;
    std::size_t variantWidth = 0;
    for (const Line& l : lines) {
        serialWidth = std::max(serialWidth, displayText(l.serial).size());
        variantWidth = std::max(variantWidth, l.variant.size());
    }
    if (drawn > 0)
        console.out << "\x1b[" << drawn << 'A';
    for (const Line& l : lines) {
        std::string text = padded(displayText(l.serial), serialWidth) + "  " +
                           padded(l.variant, variantWidth) + "  " + l.status;
        if (l.inPhase)
            text += "  " + bar(l.step, l.steps);
        console.out << "\r\x1b[2K" << cut(text, lineColumns) << '\n';
    }
    drawn = lines.size();
    console.out.flush();
}

void ProgressBoard::started(const std::string& serial, const std::string& variant) {
    const auto lock = hold();
    line(serial).variant = variant;
    draw();
}

void ProgressBoard::said(const std::string& serial, const std::string& sentence) {
    const auto lock = hold();
    line(serial).status = sentence;
    draw();
}

void ProgressBoard::phaseBegan(const std::string& serial, const std::string& task, int steps,
                               const std::string&) {
    const auto lock = hold();
    Line& l = line(serial);
    l.status = phaseLabel(task);
    l.inPhase = true;
    l.step = 0;
    l.steps = steps >= 0 ? steps : l.steps;
    l.drawnMs = clock.tickMs();
    draw();
}

void ProgressBoard::stepped(const std::string& serial, int step, int steps) {
    const auto lock = hold();
    Line& l = line(serial);
    l.steps = steps >= 0 ? steps : l.steps;
    // The total itself waits for the phase's end: it may be the report of a failure, and the bar
    // is then to stay where the last good request ended.
    if (step >= l.steps)
        return;
    l.step = step;
    const uint32_t now = clock.tickMs();
    if (now - l.drawnMs >= redrawMs) {
        l.drawnMs = now;
        draw();
    }
}

void ProgressBoard::phaseEnded(const std::string& serial, bool succeeded) {
    const auto lock = hold();
    Line& l = line(serial);
    if (succeeded)
        l.step = l.steps;
    else
        l.status += messages::stoppedBar;
    draw();
}

void ProgressBoard::finished(const UpdateRecord& finished) {
    const auto lock = hold();
    record(finished);
    Line& l = line(finished.serialNumber);
    l.inPhase = false;
    if (finished.result == UpdateResult::Failed) {
        l.status = messages::failedOnBoard;
        failures.push_back(finished);
    } else {
        l.status = outcomeSentence(finished);
    }
    draw();
}

void ProgressBoard::end() {
    const auto lock = hold();
    for (const UpdateRecord& failure : failures)
        fail(console, 0, failure.serialNumber, failure.message);
    failures.clear();
}

}  // namespace cli
