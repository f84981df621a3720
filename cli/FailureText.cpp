#include "cli/FailureText.h"

#include "cli/CliMessages.h"
#include "platform/HException.h"

namespace cli {

namespace {

using platform::OpenFailureReason;

std::string reasonText(const platform::OpenFailure& failure) {
    switch (failure.reason) {
        case OpenFailureReason::NoPermission:
            return messages::noPermission(failure.node.empty() ? messages::theProbe : failure.node);
        case OpenFailureReason::Busy:
            return messages::heldByAnotherProgram;
        case OpenFailureReason::Gone:
            return messages::probeGone;
        case OpenFailureReason::AccessDenied:
            return messages::accessDenied;
        case OpenFailureReason::NoWinUsb:
            return messages::noWinUsb;
        case OpenFailureReason::Unknown:
            break;
    }
    return {};
}

}  // namespace

std::string failureText(const HException& error) {
    const std::string why = error.openFailure() ? reasonText(*error.openFailure()) : "";
    return why.empty() ? error.message() : error.message() + ": " + why;
}

}  // namespace cli
