#include "cli/ProgressDisplay.h"

#include <algorithm>
#include <cstdio>

#include "cli/CliMessages.h"

namespace cli {

namespace {

constexpr int barWidth = 40;

int percentOf(int shown, int total) {
    if (total <= 0)
        return 100;
    return static_cast<int>(int64_t{std::clamp(shown, 0, total)} * 100 / total);
}

}  // namespace

std::string ProgressDisplay::amount(int shown) const {
    std::string text = std::to_string(shown) + "/" + std::to_string(total);
    if (!units.empty())
        text += " " + units;
    return text;
}

void ProgressDisplay::drawBar(int shown, const char* suffix) {
    const int percent = percentOf(shown, total);
    const int filled = percent * barWidth / 100;
    char percentText[8];
    std::snprintf(percentText, sizeof percentText, "%3d%%", percent);
    out << "\r  [" << std::string(static_cast<std::size_t>(filled), '#')
        << std::string(static_cast<std::size_t>(barWidth - filled), '-') << "] " << percentText
        << "  " << amount(shown) << suffix;
    out.flush();
    drawnPercent = percent;
}

void ProgressDisplay::report(int newStep, int steps, const char* taskdesc, const char* unitName) {
    if (taskdesc) {
        if (open)
            closePhase(true);
        open = anyPhase = true;
        task = taskdesc;
        units = unitName ? unitName : "";
        total = steps >= 0 ? steps : total;
        step = stepBefore = newStep;
        if (terminal) {
            out << task << '\n';
            drawnPercent = -1;
            drawBar(step, "");
        } else {
            out << task << ": " << amount(step) << '\n';
        }
        return;
    }
    if (!open)
        return;
    if (steps >= 0)
        total = steps;
    stepBefore = step;
    step = newStep;
    // The total itself waits for the phase's end: it may be the report of a failure.
    if (terminal && step < total && percentOf(step, total) != drawnPercent)
        drawBar(step, "");
}

void ProgressDisplay::closePhase(bool succeeded) {
    const int shown = succeeded ? total : (step >= total ? stepBefore : step);
    if (terminal) {
        drawBar(shown, succeeded ? "" : messages::stoppedBar);
        out << '\n';
        out.flush();
    } else {
        out << task << ": " << (succeeded ? "" : messages::stoppedAt) << amount(shown) << '\n';
    }
    open = false;
}

void ProgressDisplay::finish(bool succeeded) {
    if (open)
        closePhase(succeeded);
}

}  // namespace cli
