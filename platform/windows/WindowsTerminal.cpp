#include "platform/Terminal.h"
#include "platform/windows/Win32.h"

namespace platform {

// Only a console has a console mode; a file or a pipe (also the pseudo-terminals of some
// shells) has none and gets plain progress lines.
bool standardOutputIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != FALSE;
}

// Without a console (output to a file or a pipe) this changes nothing, and the bytes go out as
// they are.
void showOutputAsUtf8() {
    SetConsoleOutputCP(CP_UTF8);
}

}  // namespace platform
