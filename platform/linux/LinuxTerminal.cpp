#include <unistd.h>

#include "platform/Terminal.h"

namespace platform {

bool standardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

}  // namespace platform
