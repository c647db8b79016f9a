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

#endif
