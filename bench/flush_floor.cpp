// The floor under any durable move of the unit files: per unit, the least a
// copy that survives a power cut costs.  copy_file_range into a temporary
// file in LIB, fsync it, rename it into place, fsync LIB, unlink the source.
// Run in the folder, like the program; LIB must exist.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

static int fail(const char *what, const char *name)
{
    fprintf(stderr, "flush_floor: %s %s: ", what, name);
    perror(nullptr);
    return 1;
}

int main()
{
    DIR *folder = opendir(".");
    int lib = open("LIB", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!folder || lib < 0)
        return fail("open", ". or LIB");
    static const char temp[] = ".floor-temp";
    while (dirent *entry = readdir(folder)) {
        const char *name = entry->d_name;
        if (entry->d_type != DT_REG || fnmatch("*.dcu", name, FNM_CASEFOLD) != 0)
            continue;
        int in = open(name, O_RDONLY | O_CLOEXEC);
        struct stat st;
        if (in < 0 || fstat(in, &st) != 0)
            return fail("read", name);
        int out = openat(lib, temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (out < 0)
            return fail("create", temp);
        for (off_t left = st.st_size; left > 0;) {
            ssize_t n = copy_file_range(in, nullptr, out, nullptr, (size_t)left, 0);
            if (n <= 0)
                return fail("copy", name);
            left -= n;
        }
        if (fsync(out) != 0 || close(out) != 0 || close(in) != 0)
            return fail("flush", name);
        if (renameat(lib, temp, lib, name) != 0 || fsync(lib) != 0)
            return fail("place", name);
        if (unlink(name) != 0)
            return fail("unlink", name);
    }
    return 0;
}
