/* What the Linux start-up hands to the Win32 layer. */
#ifndef QUORLIN_PLATFORM_LINUX_H
#define QUORLIN_PLATFORM_LINUX_H

/* Forms the text GetCommandLineA returns from the process's arguments. */
void record_command_line(int argc, char **argv);

#endif
