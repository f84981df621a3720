#pragma once

namespace platform {

// Whether standard output is an interactive terminal (one that shows progress redrawn in place)
// rather than a file or a pipe.
bool standardOutputIsTerminal();

// Has the console show what the program writes as UTF-8, which every text of the program is:
// a Windows console reads it in its own code page otherwise. Nothing where terminals take UTF-8
// as it comes.
void showOutputAsUtf8();

}  // namespace platform
