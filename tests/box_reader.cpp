// Finds the message box another program shows, prints "caption: text" as
// the Linux layer writes its box to standard error, and presses OK.
//   box_reader [--leave] [seconds]
// --leave prints and leaves the box up (for a screenshot); seconds (10 by
// default) bounds the wait for the box to show.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The box's text is its static control 0xFFFF.
const int text_id = 0xFFFF;

HWND wait_for_box(int seconds)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < DWORD(seconds) * 1000; Sleep(50)) {
        HWND box = FindWindowA("#32770", nullptr);
        if (box && IsWindowVisible(box))
            return box;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char **argv)
{
    bool leave = argc > 1 && std::strcmp(argv[1], "--leave") == 0;
    int seconds = argc > 1 + leave ? std::atoi(argv[1 + leave]) : 10;

    HWND box = wait_for_box(seconds);
    if (!box) {
        std::fprintf(stderr, "box_reader: no message box within %d s\n", seconds);
        return 2;
    }
    static char caption[1024], text[8192];
    GetWindowTextA(box, caption, sizeof caption);
    GetDlgItemTextA(box, text_id, text, sizeof text);
    _setmode(_fileno(stdout), _O_BINARY);  // "\n" as it is, no "\r" added
    std::printf("%s: %s\n", caption, text);
    std::fflush(stdout);
    if (leave)
        return 0;

    HWND ok = GetDlgItem(box, IDOK);
    if (!ok || !IsWindowVisible(ok)) {
        std::fprintf(stderr, "box_reader: the box has no OK button\n");
        return 3;
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)ok);
    return 0;
}
