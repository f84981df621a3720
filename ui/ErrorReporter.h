#pragma once

#include <string>

#include "platform/HException.h"

// The one place that shows a failure to the user: a critical box with no parent, titled
// "Error", the message unchanged, one OK button and no default button. Blocks until OK.
void showErrorBox(const std::string& message);

// Shows the error box from the event loop once the event being handled now is done, the way
// an exception leaving the event loop would: nothing of the code that failed is still on the
// stack while the box runs its own loop (a poll in there may delete the panel that failed).
void reportError(const std::string& message);

// Runs `work` and reports any HException that leaves it. Slots that can fail go through this,
// because an exception must not unwind through Qt's event loop.
template <typename Work>
void reportingErrors(Work&& work) {
    try {
        work();
    } catch (HException& e) {
        reportError(e.message());
    }
}
