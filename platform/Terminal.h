#pragma once

namespace platform {

// Whether standard output is an interactive terminal (one that shows progress redrawn in place)
// rather than a file or a pipe.
bool standardOutputIsTerminal();

}  // namespace platform
