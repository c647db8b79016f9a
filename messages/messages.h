/* Message output: the message box, the event log and math-error notes. */
#ifndef QUORLIN_MESSAGES_H
#define QUORLIN_MESSAGES_H

enum { caption_size = 33, note_size = 120, event_log_name_size = 80, fp_save_size = 108 };

extern unsigned char log_to_file;  /* append every message to the event log */
extern unsigned char screen_too;   /* with log_to_file: show the box as well */
extern char event_log_name[event_log_name_size];
extern char note_buffer[note_size];
extern const char *const math_error_names[8];
extern unsigned char fp_save_area[fp_save_size];

void show_message(const char *text);
void note_math_error(const char *function_name, int kind);

/* The caption a command line gives: its last "\"-separated name, at most
   32 characters, less one trailing blank and then one trailing quote;
   "Error" when nothing is left. */
void make_caption(const char *command_line, char caption[caption_size]);

void save_fp_state(void);
void restore_fp_state(void);

#endif
