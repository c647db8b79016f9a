/* The Win32 operations quorlin-install uses, over POSIX.  Paths come and go
 * in Win32 form: "\" here is "/" to the system. */
#include <windows.h>

#include "dialog.h"
#include "linux.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

/* Copies a Win32 path into out in the system's form; false when it does
   not fit. */
static bool to_os_path(const char *path, char out[PATH_MAX])
{
    if (!path)
        return false;
    size_t length = strlen(path);
    if (length >= PATH_MAX)
        return false;
    for (size_t i = 0; i <= length; i++)
        out[i] = path[i] == '\\' ? '/' : path[i];
    return true;
}

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    char cwd[PATH_MAX];
    /* A "\" in a name could not be told from a separator on the way back. */
    if (!getcwd(cwd, sizeof cwd) || strchr(cwd, '\\'))
        return 0;
    size_t length = strlen(cwd);
    if (length >= size)
        return (DWORD)(length + 1);
    for (size_t i = 0; i <= length; i++)
        buffer[i] = cwd[i] == '/' ? '\\' : cwd[i];
    return (DWORD)length;
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR path)
{
    char os_path[PATH_MAX];
    return to_os_path(path, os_path) && chdir(os_path) == 0;
}

/* Flushes the folder that holds path, so a name made or replaced in it
   survives a power cut. */
static bool sync_folder_of(const char *path)
{
    char folder[PATH_MAX];
    const char *slash = strrchr(path, '/');
    if (!slash)
        snprintf(folder, sizeof folder, ".");
    else
        snprintf(folder, sizeof folder, "%.*s", slash == path ? 1 : (int)(slash - path), path);
    int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

/* The new folder's name is flushed by the first copy into it, before any
   source can be deleted (sync_name_of_folder_of). */
BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES)
{
    char os_path[PATH_MAX];
    return to_os_path(path, os_path) && mkdir(os_path, 0777) == 0;
}

/* The last folder whose own name sync_name_of_folder_of flushed. */
static char named_folder[PATH_MAX];

/* Flushes the name of the folder that holds path into that folder's parent,
   once for each folder in turn: whether this run made the folder or found
   it (new all the same, say just unpacked), a source deleted beside it
   must not outlive it on disk. */
static bool sync_name_of_folder_of(const char *path)
{
    const char *slash = strrchr(path, '/');
    if (!slash || slash == path)
        return true;  /* in the current folder or the root: no folder name of ours to flush */
    int length = (int)(slash - path);
    if ((int)strlen(named_folder) == length && strncmp(named_folder, path, (size_t)length) == 0)
        return true;
    snprintf(named_folder, sizeof named_folder, "%.*s", length, path);
    if (sync_folder_of(named_folder))
        return true;
    named_folder[0] = '\0';
    return false;
}

/* Open searches; handle n is slot n - 1, so no handle is NULL or
   INVALID_HANDLE_VALUE. */
enum { max_searches = 8 };
struct search {
    DIR *dir;  /* null: the slot is free */
    char pattern[PATH_MAX];
};
static search searches[max_searches];

static search *open_search(HANDLE handle)
{
    intptr_t n = (intptr_t)handle;
    if (n < 1 || n > max_searches || !searches[n - 1].dir)
        return NULL;
    return &searches[n - 1];
}

BOOL WINAPI FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA found)
{
    search *s = open_search(handle);
    if (!s)
        return FALSE;
    /* Matching as Win32 matches long names: no case, and a leading dot is
       an ordinary character. */
    while (struct dirent *entry = readdir(s->dir)) {
        if (!strchr(entry->d_name, '\\') && fnmatch(s->pattern, entry->d_name, FNM_CASEFOLD) == 0) {
            snprintf(found->cFileName, sizeof found->cFileName, "%s", entry->d_name);
            return TRUE;
        }
    }
    return FALSE;
}

BOOL WINAPI FindClose(HANDLE handle)
{
    search *s = open_search(handle);
    if (!s)
        return FALSE;
    closedir(s->dir);
    s->dir = NULL;
    return TRUE;
}

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA found)
{
    char path[PATH_MAX];
    if (!to_os_path(pattern, path))
        return INVALID_HANDLE_VALUE;
    int slot = 0;
    while (slot < max_searches && searches[slot].dir)
        slot++;
    if (slot == max_searches)
        return INVALID_HANDLE_VALUE;

    /* The folder part, if any, names the folder searched. */
    const char *folder = ".";
    char *name = strrchr(path, '/');
    if (name) {
        *name++ = '\0';
        folder = path[0] ? path : "/";
    } else {
        name = path;
    }
    search *s = &searches[slot];
    snprintf(s->pattern, sizeof s->pattern, "%s", name);
    s->dir = opendir(folder);
    if (!s->dir)
        return INVALID_HANDLE_VALUE;

    HANDLE handle = (HANDLE)(intptr_t)(slot + 1);
    if (FindNextFileA(handle, found))
        return handle;
    FindClose(handle);
    return INVALID_HANDLE_VALUE;
}

/* Whether dst may be written over: it is absent or, when replacing is
   allowed, a file other than the source that has its owner-write bit (our
   form of the read-only attribute, checked ourselves so root is refused
   too). */
static bool may_write(const char *dst, const struct stat *source, BOOL fail_if_exists)
{
    struct stat st;
    if (stat(dst, &st) != 0)
        return errno == ENOENT;
    bool same = st.st_dev == source->st_dev && st.st_ino == source->st_ino;
    return !fail_if_exists && !S_ISDIR(st.st_mode) && (st.st_mode & S_IWUSR) && !same;
}

/* The temporary file's template, in dst's folder.  mkstemp fills the
   X's with letters and digits, so the name never ends in ".dcu". */
static bool temp_template(const char *dst, char out[PATH_MAX])
{
    const char *slash = strrchr(dst, '/');
    int folder_length = slash ? (int)(slash - dst + 1) : 0;
    int n = snprintf(out, PATH_MAX, "%.*s.quorlin-XXXXXX", folder_length, dst);
    return n >= 0 && n < PATH_MAX;
}

/* Starts writing out the bytes just copied, so the disk works while the
   copy goes on and the flush before the rename has less to wait for.  Only
   a hint: the fsync that follows is what makes the copy durable. */
enum { writeback_step = 4 << 20 };

static void start_writeback(int out, off_t *started, off_t copied)
{
    if (copied - *started >= writeback_step) {
        sync_file_range(out, *started, copied - *started, SYNC_FILE_RANGE_WRITE);
        *started = copied;
    }
}

/* Copies in to out from where each stands: in the kernel where it can, else
   through a buffer. */
static bool copy_bytes(int in, int out)
{
    static char buffer[1 << 16];
    off_t copied = 0, started = 0;
    for (;;) {
        ssize_t n = copy_file_range(in, NULL, out, NULL, writeback_step, 0);
        if (n > 0) {
            copied += n;
            start_writeback(out, &started, copied);
            continue;
        }
        /* At 0 the read loop confirms the end, as some filesystems stop
           the kernel copy early. */
        if (n == 0 || errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)
            break;
        if (errno != EINTR)
            return false;
    }
    for (;;) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t written = write(out, buffer + done, (size_t)(n - done));
            if (written > 0)
                done += written;
            else if (written == 0 || errno != EINTR)
                return false;
        }
        copied += n;
        start_writeback(out, &started, copied);
    }
}

/* Gives the copy the source's bytes, permission bits and modification time,
   flushes it to disk, then closes it. */
static bool fill_copy(int in, int out, const struct stat *source)
{
    const struct timespec times[2] = {{0, UTIME_OMIT}, source->st_mtim};
    bool ok = copy_bytes(in, out) && fchmod(out, source->st_mode & 0777) == 0 &&
              futimens(out, times) == 0 && fsync(out) == 0;
    return close(out) == 0 && ok;
}

/* The copy is written beside dst and then renamed over it (or linked into
   place when dst must not exist), so dst is never seen half written.  The
   caller deletes the source on success, so success means on disk: the
   copy's bytes are flushed before the rename, its name after it, and the
   name of its folder with the first copy into that folder. */
BOOL WINAPI CopyFileA(LPCSTR existing, LPCSTR new_name, BOOL fail_if_exists)
{
    char src[PATH_MAX], dst[PATH_MAX], temp[PATH_MAX];
    if (!to_os_path(existing, src) || !to_os_path(new_name, dst) || !temp_template(dst, temp))
        return FALSE;
    /* O_NONBLOCK: a FIFO given as source must not hang the open. */
    int in = open(src, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0)
        return FALSE;

    struct stat source;
    int out = -1;
    bool ok = fstat(in, &source) == 0 && S_ISREG(source.st_mode) &&
              may_write(dst, &source, fail_if_exists) && (out = mkstemp(temp)) >= 0;
    if (ok) {
        bool placed = fill_copy(in, out, &source) &&
                      (fail_if_exists ? link(temp, dst) == 0 : rename(temp, dst) == 0);
        if (!placed || fail_if_exists)
            unlink(temp);
        ok = placed && sync_folder_of(dst) && sync_name_of_folder_of(dst);
    }
    close(in);
    return ok;
}

BOOL WINAPI DeleteFileA(LPCSTR path)
{
    char os_path[PATH_MAX];
    struct stat st;
    /* Linux's unlink refuses a directory, as Win32 does.  Win32 refuses a
       read-only file too: one without its owner-write bit stays, even for
       root (lstat: a link is deleted, not what it names). */
    return to_os_path(path, os_path) && lstat(os_path, &st) == 0 && (st.st_mode & S_IWUSR) &&
           unlink(os_path) == 0;
}

/* Windows' limit on a command line. */
static char command_line[32768];
static size_t command_length;

static void append_char(char c)
{
    if (command_length + 1 < sizeof command_line)
        command_line[command_length++] = c;
    command_line[command_length] = '\0';
}

void record_command_line(int argc, char **argv)
{
    command_length = 0;
    command_line[0] = '\0';
    for (int i = 0; i < argc; i++) {
        const char *arg = argv[i];
        bool quoted = arg[0] == '\0' || strpbrk(arg, " \t");
        if (i > 0)
            append_char(' ');
        if (quoted)
            append_char('"');
        /* The program's own path as Windows shows it. */
        for (const char *p = arg; *p; p++)
            append_char(i == 0 && *p == '/' ? '\\' : *p);
        if (quoted)
            append_char('"');
    }
}

LPSTR WINAPI GetCommandLineA(void)
{
    return command_line;
}

void WINAPI GetLocalTime(LPSYSTEMTIME now)
{
    struct timespec ts;
    struct tm tm;
    memset(now, 0, sizeof *now);
    if (clock_gettime(CLOCK_REALTIME, &ts) != 0 || !localtime_r(&ts.tv_sec, &tm))
        return;
    now->wYear = (WORD)(tm.tm_year + 1900);
    now->wMonth = (WORD)(tm.tm_mon + 1);
    now->wDayOfWeek = (WORD)tm.tm_wday;
    now->wDay = (WORD)tm.tm_mday;
    now->wHour = (WORD)tm.tm_hour;
    now->wMinute = (WORD)tm.tm_min;
    now->wSecond = (WORD)tm.tm_sec;
    now->wMilliseconds = (WORD)(ts.tv_nsec / 1000000);
}

/* Weak, so the unit tests can put a recording box in its place.  Without
   a desktop to show it on, the box is a line on standard error. */
__attribute__((weak)) int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT)
{
    if (!caption)
        caption = "Error";
    if (!text)
        text = "";
    if (!show_dialog(text, caption))
        fprintf(stderr, "%s: %s\n", caption, text);
    return IDOK;
}
