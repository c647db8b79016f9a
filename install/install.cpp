/* The install run: started in Quorlin's distribution folder, move every
 * unit file into its subfolder LIB and say how it went in one message.
 * A unit's source is deleted only after its copy is whole in LIB, so
 * every unit ends in one place or the other. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "install/install.h"
#include "messages/messages.h"

char working_dir[dir_size];
char base_dir[dir_size];
char dest_path[dest_size];
char *dest_name_slot;

const char *move_failure;
unsigned long units_left;
char units_left_list[listed_max * MAX_PATH + 1];

static const char cannot_read_folder[] =
    "Quorlin could not be installed: the current folder could not be read.";
static const char cannot_make_lib[] =
    "Quorlin could not be installed: the folder LIB could not be created.";
static const char not_complete[] =
    "Quorlin was not installed completely. These unit files could not be moved into LIB:";

/* The run's one message: a header, up to listed_max names and a count. */
static char report[sizeof not_complete + sizeof units_left_list + 32];

/* Appends text to the string in buf when it fits in size; false, and buf
   unchanged, when it does not. */
static bool append(char *buf, size_t size, const char *text)
{
    size_t used = strlen(buf), more = strlen(text);
    if (more >= size - used)
        return false;
    memcpy(buf + used, text, more + 1);
    return true;
}

static void note_unit_left(const char *name)
{
    if (units_left++ < listed_max) {
        append(units_left_list, sizeof units_left_list, "\n");
        append(units_left_list, sizeof units_left_list, name);
    }
}

bool put_dest_folder(const char *subdir)
{
    dest_path[0] = '\0';
    return append(dest_path, sizeof dest_path, base_dir) && append(dest_path, sizeof dest_path, subdir);
}

bool open_dest_name_slot(void)
{
    if (!append(dest_path, sizeof dest_path, "\\"))
        return false;
    dest_name_slot = dest_path + strlen(dest_path);
    return true;
}

bool put_dest_name(const char *name)
{
    size_t room = sizeof dest_path - (size_t)(dest_name_slot - dest_path);
    if (strlen(name) >= room)
        return false;
    strcpy(dest_name_slot, name);
    return true;
}

/* Copies one match into the destination folder, then deletes it; a match
   whose copy fails, or whose destination path would not fit, stays. */
static bool move_unit(const char *name)
{
    return put_dest_name(name) && CopyFileA(name, dest_path, FALSE) && DeleteFileA(name);
}

void move_unit_files(const char *pattern, const char *subdir)
{
    move_failure = NULL;
    units_left = 0;
    units_left_list[0] = '\0';

    if (!put_dest_folder(subdir)) {
        move_failure = cannot_make_lib;
        return;
    }

    /* Entering it tells whether the folder is there already. */
    BOOL entered = SetCurrentDirectoryA(dest_path);
    if (!entered && !CreateDirectoryA(dest_path, NULL)) {
        move_failure = cannot_make_lib;
        return;
    }
    if (!SetCurrentDirectoryA(working_dir)) {
        move_failure = cannot_read_folder;
        return;
    }

    if (!open_dest_name_slot()) {
        move_failure = cannot_make_lib;
        return;
    }

    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!move_unit(found.cFileName))
            note_unit_left(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

/* Chooses the run's message; returns the exit status. */
static int compose_report(void)
{
    if (move_failure) {
        snprintf(report, sizeof report, "%s", move_failure);
        return 1;
    }
    if (units_left == 0) {
        snprintf(report, sizeof report, "Quorlin successfully installed!");
        return 0;
    }
    int n = snprintf(report, sizeof report, "%s%s", not_complete, units_left_list);
    if (units_left > listed_max && n >= 0 && (size_t)n < sizeof report)
        snprintf(report + n, sizeof report - (size_t)n, "\n(and %lu more)",
                 units_left - listed_max);
    return 1;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    /* 0, or a size of 499 or more, means the path is not in working_dir. */
    DWORD length = GetCurrentDirectoryA(dir_size - 1, working_dir);
    if (length == 0 || length >= dir_size - 1) {
        move_failure = cannot_read_folder;
    } else {
        strcpy(base_dir, working_dir);
        move_unit_files("*.dcu", "\\LIB");
    }
    int status = compose_report();
    show_message(report);
    return status;
}
