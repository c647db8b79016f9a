/* The install run: every unit file of the working folder moved into LIB. */
#ifndef QUORLIN_INSTALL_H
#define QUORLIN_INSTALL_H

enum { dir_size = 500, dest_size = 512, listed_max = 10 };

extern char working_dir[dir_size];
extern char base_dir[dir_size];
extern char dest_path[dest_size];
extern char *dest_name_slot;

/* What the last move_unit_files left undone. */
extern const char *move_failure;       /* why nothing was moved, or null */
extern unsigned long units_left;       /* matches not moved */
extern char units_left_list[];         /* the first listed_max of them, each after "\n" */

void move_unit_files(const char *pattern, const char *subdir);

/* The destination path, built in dest_path without touching any file; each
   returns false, with dest_path then unfit for use, when the result would
   not fit.  put_dest_folder: base_dir then subdir.  open_dest_name_slot:
   a "\" after them, with dest_name_slot just past it.  put_dest_name: name
   at dest_name_slot. */
bool put_dest_folder(const char *subdir);
bool open_dest_name_slot(void);
bool put_dest_name(const char *name);

#endif
