/* The Linux start-up: what Windows does before it calls WinMain. */
#include <windows.h>

#include "linux.h"

#include <signal.h>
#include <stdlib.h>

/* The executable's first byte, set by the linker: its base, as Windows
   gives the instance handle. */
extern "C" char __executable_start[];

/* The command line past the program's own name, as Windows' start-up
   finds it: a quoted name runs to its closing quote, a bare one to the
   first blank or tab. */
static LPSTR command_tail(LPSTR line)
{
    if (*line == '"') {
        line++;
        while (*line && *line != '"')
            line++;
        if (*line == '"')
            line++;
    } else {
        while (*line && *line != ' ' && *line != '\t')
            line++;
    }
    while (*line == ' ' || *line == '\t')
        line++;
    return line;
}

int main(int argc, char **argv)
{
    record_command_line(argc, argv);
    /* Past a file-size limit a write then fails, and the copy with it,
       instead of the process dying with a half-written copy in LIB. */
    signal(SIGXFSZ, SIG_IGN);
#if defined(__i386__) || defined(__x86_64__)
    /* The x87 unit as the program expects it: extended precision, nearest,
       invalid operation, zero divide and overflow unmasked. */
    static const unsigned short control_word = 0x1332;
    __asm__ volatile("fninit\n\tfldcw %0" : : "m"(control_word));
#endif
    exit(WinMain((HINSTANCE)__executable_start, NULL, command_tail(GetCommandLineA()),
                 SW_SHOWDEFAULT));
}
