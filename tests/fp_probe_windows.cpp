// The start-up probe: linked with the program's Windows start-up in place of
// the program, it tells what x87 control word WinMain is entered with
// (defined bits only): as its exit status and on standard output.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    unsigned short control;
    __asm__ volatile("fnstcw %0" : "=m"(control));
    control &= 0x1F3F;
    char line[32];
    int length = std::snprintf(line, sizeof line, "control word %#06x\n", control);
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, DWORD(length), &written, nullptr);
    return control;
}
