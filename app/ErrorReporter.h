#pragma once

#include <string>

#include "app/HException.h"

// The one place that shows a failure to the user: a critical box with no parent, titled
// "Error", the message unchanged, one OK button and no default button. Blocks until OK.
void showErrorBox(const std::string& message);

// Runs `work` and shows any HException that leaves it in the error box. Slots that can fail go
// through this, because an exception must not unwind through Qt's event loop.
template <typename Work>
void reportingErrors(Work&& work) {
    try {
        work();
    } catch (HException& e) {
        showErrorBox(e.message());
    }
}
