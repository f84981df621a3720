#include <unistd.h>

#include "platform/Terminal.h"

namespace platform {

bool standardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

void showOutputAsUtf8() {}

}  // namespace platform
