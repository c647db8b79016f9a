/* Message output: the message box, the event log and math-error notes. */
#include "messages/messages.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

unsigned char log_to_file;
unsigned char screen_too;
char event_log_name[event_log_name_size];
char note_buffer[note_size];
const char *const math_error_names[8] = {
    nullptr, "DOMAIN", "SING", "OVERFLOW", "UNDERFLOW", "TLOSS", "PLOSS", "STACK FAULT",
};
unsigned char fp_save_area[fp_save_size];

void make_caption(const char *command_line, char caption[caption_size])
{
    /* A leading number is passed over; a path or a quote stops strtol at once. */
    char *rest;
    std::strtol(command_line, &rest, 10);
    const char *last_separator = std::strrchr(rest, '\\');
    const char *name = last_separator ? last_separator + 1 : rest;

    std::snprintf(caption, caption_size, "%s", name);
    size_t length = std::strlen(caption);
    if (length > 0 && caption[length - 1] == ' ')
        caption[--length] = '\0';
    if (length > 0 && caption[length - 1] == '"')
        caption[--length] = '\0';
    if (length == 0)
        std::snprintf(caption, caption_size, "%s", "Error");
}

void show_message(const char *text)
{
    if (log_to_file) {
        /* A log that cannot be opened falls through to the box, so no
           message is lost. */
        FILE *log = std::fopen(event_log_name, "at");
        if (log) {
            SYSTEMTIME now;
            GetLocalTime(&now);
            std::fprintf(log, "%2d:%02d:%02d.%03d   %s", now.wHour, now.wMinute, now.wSecond,
                         now.wMilliseconds, text);
            std::fclose(log);
            if (!screen_too)
                return;
        }
    }

    char caption[caption_size];
    make_caption(GetCommandLineA(), caption);
    /* The box runs other code: it gets a clean unit, ours comes back after. */
    save_fp_state();
    MessageBoxA(NULL, text, caption, MB_OK);
    restore_fp_state();
}

void note_math_error(const char *function_name, int kind)
{
    const char *kind_name = kind >= 0 && kind < 8 ? math_error_names[kind] : nullptr;
    std::snprintf(note_buffer, note_size, "%s: %s error\n", function_name ? function_name : "(null)",
                  kind_name ? kind_name : "(null)");
    show_message(note_buffer);
}

#if defined(__i386__) || defined(__x86_64__)

/* fwait raises a pending unmasked exception here rather than in the box;
   fnsave stores the whole unit and leaves it reset. */
void save_fp_state(void)
{
    __asm__ volatile("fwait\n\tfnsave %0" : "=m"(fp_save_area));
}

void restore_fp_state(void)
{
    __asm__ volatile("frstor %0" : : "m"(fp_save_area));
}

#else

#include <cfenv>

static_assert(sizeof(std::fenv_t) <= sizeof fp_save_area, "fp_save_area too small for fenv_t");

/* Saves the environment and puts the unit in non-stop mode, flags clear. */
void save_fp_state(void)
{
    std::fenv_t saved;
    std::feholdexcept(&saved);
    std::memcpy(fp_save_area, &saved, sizeof saved);
}

void restore_fp_state(void)
{
    std::fenv_t saved;
    std::memcpy(&saved, fp_save_area, sizeof saved);
    std::fesetenv(&saved);
}

#endif
