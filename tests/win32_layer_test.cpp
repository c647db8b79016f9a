// The Linux Win32 layer, on real folders: paths, the file search, copies
// and the command line.
#include <windows.h>

#include "linux.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <ftw.h>
#include <limits.h>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string win32_form(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string os_form(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

void write_file(const std::string &path, const std::string &bytes, mode_t mode = 0644)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), (ssize_t)bytes.size());
    ASSERT_EQ(fchmod(fd, mode), 0);
    ASSERT_EQ(close(fd), 0);
}

std::string read_file(const std::string &path)
{
    std::string bytes;
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return "(unreadable)";
    char chunk[65536];
    ssize_t n;
    while ((n = read(fd, chunk, sizeof chunk)) > 0)
        bytes.append(chunk, (size_t)n);
    close(fd);
    return bytes;
}

// What is at path, down to the inode, so a replaced file shows.
std::string state_of(const std::string &path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return "absent";
    std::string state = std::to_string(st.st_ino) + " mode " + std::to_string(st.st_mode);
    return S_ISREG(st.st_mode) ? state + " " + read_file(path) : state;
}

std::vector<std::string> found_names;
int note_temp_file(const char *path, const struct stat *, int, struct FTW *ftw)
{
    if (std::string(path + ftw->base).rfind(".quorlin-", 0) == 0)
        found_names.push_back(path);
    return 0;
}

// The copies' temporary files left anywhere under root (links not followed).
std::vector<std::string> temp_files(const std::string &root)
{
    found_names.clear();
    nftw(root.c_str(), note_temp_file, 16, FTW_PHYS);
    return found_names;
}

int remove_entry(const char *path, const struct stat *, int, struct FTW *)
{
    return remove(path);
}

// Every name a search for pattern gives, sorted, duplicates kept.
std::vector<std::string> search(const std::string &pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE handle = FindFirstFileA(pattern.c_str(), &found);
    if (handle == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileA(handle, &found));
    EXPECT_TRUE(FindClose(handle));
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh folder in /tmp, entered, and one in /dev/shm, usually another
// filesystem; both removed after.
class win32_layer : public ::testing::Test {
protected:
    std::string dir, shm_dir;
    bool other_fs = false;
    char saved_cwd[PATH_MAX];

    void SetUp() override
    {
        ASSERT_NE(getcwd(saved_cwd, sizeof saved_cwd), nullptr);
        char dir_template[] = "/tmp/quorlin-layer-XXXXXX";
        char shm_template[] = "/dev/shm/quorlin-layer-XXXXXX";
        ASSERT_NE(mkdtemp(dir_template), nullptr);
        dir = dir_template;
        ASSERT_EQ(chdir(dir.c_str()), 0);
        struct stat a, b;
        if (mkdtemp(shm_template)) {
            shm_dir = shm_template;
            other_fs = stat(dir.c_str(), &a) == 0 && stat(shm_dir.c_str(), &b) == 0 && a.st_dev != b.st_dev;
        }
    }

    void TearDown() override
    {
        EXPECT_EQ(chdir(saved_cwd), 0);
        for (const std::string &root : {dir, shm_dir})
            if (!root.empty())
                nftw(root.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
    }
};

TEST_F(win32_layer, current_directory_fits_exactly_or_gives_the_size_it_needs)
{
    const std::string expected = win32_form(dir);  // "\tmp\quorlin-layer-..."
    const DWORD length = (DWORD)expected.size();
    char buffer[PATH_MAX];

    std::fill(buffer, buffer + sizeof buffer, 'x');
    EXPECT_EQ(GetCurrentDirectoryA(length + 1, buffer), length);
    EXPECT_EQ(std::string(buffer), expected);

    std::fill(buffer, buffer + sizeof buffer, 'x');
    EXPECT_EQ(GetCurrentDirectoryA(length, buffer), length + 1);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, 'x'));
    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), length + 1);
}

TEST_F(win32_layer, current_directory_fails_where_win32_form_cannot_name_it)
{
    const struct {
        const char *what, *folder;
        bool remove;
    } cases[] = {
        {"a backslash in a name", "a\\b", false},
        {"a removed folder", "gone", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(mkdir(c.folder, 0777), 0);
        ASSERT_EQ(chdir(c.folder), 0);
        if (c.remove) {
            ASSERT_EQ(rmdir((dir + "/" + c.folder).c_str()), 0);
        }
        char buffer[PATH_MAX];
        EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 0u);
        ASSERT_EQ(chdir(dir.c_str()), 0);
    }
}

TEST_F(win32_layer, folders_are_made_once_and_entered_by_win32_path)
{
    EXPECT_TRUE(CreateDirectoryA("LIB", nullptr));
    EXPECT_FALSE(CreateDirectoryA("LIB", nullptr));
    EXPECT_TRUE(SetCurrentDirectoryA((win32_form(dir) + "\\LIB").c_str()));
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(std::string(cwd), dir + "/LIB");
    EXPECT_FALSE(SetCurrentDirectoryA(std::string(PATH_MAX + 10, 'a').c_str()));
}

TEST_F(win32_layer, search_matches_names_as_win32_does)
{
    for (const char *name : {"a.dcu", "B.DCU", ".dcu", "a.dcux", "a.dc", "adcu", "a.dcu.bak", "a\\b.dcu"})
        write_file(name, "");
    ASSERT_EQ(mkdir("x.dcu", 0777), 0);
    ASSERT_EQ(mkdir("sub", 0777), 0);
    write_file("sub/c.dcu", "");
    write_file("sub/cc.dcu", "");

    const struct {
        std::string pattern;
        std::vector<std::string> expected;
    } cases[] = {
        {"*.dcu", {".dcu", "B.DCU", "a.dcu", "x.dcu"}},
        {"?.DCU", {"B.DCU", "a.dcu", "x.dcu"}},
        {"sub\\*.dcu", {"c.dcu", "cc.dcu"}},
        {win32_form(dir) + "\\sub\\?.dcu", {"c.dcu"}},
        {"*.pas", {}},
        {"nowhere\\*.dcu", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(search(c.pattern), c.expected) << c.pattern;
}

TEST_F(win32_layer, search_handles_are_freed_and_refused_once_closed)
{
    write_file("a.dcu", "");
    WIN32_FIND_DATAA found;
    std::vector<HANDLE> open;
    for (HANDLE h; (h = FindFirstFileA("*.dcu", &found)) != INVALID_HANDLE_VALUE;) {
        open.push_back(h);
        ASSERT_LT(open.size(), 1000u) << "searches never run out";
    }
    ASSERT_FALSE(open.empty());
    for (HANDLE h : open)
        EXPECT_TRUE(FindClose(h));
    // Searches that find nothing must not hold on to a slot.
    for (size_t i = 0; i < 2 * open.size(); i++)
        EXPECT_EQ(FindFirstFileA("*.pas", &found), INVALID_HANDLE_VALUE);
    HANDLE again = FindFirstFileA("*.dcu", &found);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(FindClose(again));

    for (HANDLE h : {again, open[0], INVALID_HANDLE_VALUE, (HANDLE)nullptr}) {
        EXPECT_FALSE(FindNextFileA(h, &found));
        EXPECT_FALSE(FindClose(h));
    }
}

TEST_F(win32_layer, failed_copy_leaves_destination_as_it_was)
{
    write_file("a.dcu", "new");
    ASSERT_EQ(mkdir("dir.dcu", 0777), 0);
    ASSERT_EQ(mkfifo("fifo.dcu", 0644), 0);
    ASSERT_EQ(mkdir("LIB", 0777), 0);
    write_file("LIB/old.dcu", "old");
    write_file("LIB/ro.dcu", "old", 0444);
    ASSERT_EQ(mkdir("LIB/sub.dcu", 0777), 0);
    ASSERT_EQ(symlink(".", "SELF"), 0);

    const struct {
        const char *what;
        std::string src, dst;
        BOOL fail_if_exists;
    } cases[] = {
        {"missing source", "none.dcu", "LIB\\none.dcu", FALSE},
        {"source a directory", "dir.dcu", "LIB\\dir.dcu", FALSE},
        {"source a FIFO", "fifo.dcu", "LIB\\fifo.dcu", FALSE},
        {"destination a directory", "a.dcu", "LIB\\sub.dcu", FALSE},
        {"destination read-only", "a.dcu", "LIB\\ro.dcu", FALSE},
        {"destination exists", "a.dcu", "LIB\\old.dcu", TRUE},
        {"destination folder missing", "a.dcu", "NOLIB\\a.dcu", FALSE},
        {"destination the source itself", "a.dcu", "SELF\\a.dcu", FALSE},
        {"destination path too long", "a.dcu", "LIB\\" + std::string(PATH_MAX, 'x'), FALSE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dst = os_form(c.dst);
        const std::string src_before = state_of(c.src), dst_before = state_of(dst);
        EXPECT_FALSE(CopyFileA(c.src.c_str(), c.dst.c_str(), c.fail_if_exists));
        EXPECT_EQ(state_of(dst), dst_before);
        EXPECT_EQ(state_of(c.src), src_before);
        EXPECT_EQ(temp_files(dir), std::vector<std::string>{});
    }
}

// Copies a unit into folder, over an older one when replace, and checks
// that bytes, permission bits and modification time came along.
void check_copy(const std::string &dir, const std::string &folder, BOOL fail_if_exists, bool replace)
{
    std::string bytes;
    // More than two of the copy's 4 MiB writeback steps, and not a whole
    // number of them or of the read loop's buffers.
    for (long long i = 0; bytes.size() < (9u << 20) + 12345; i++)
        bytes += std::to_string(i * 7919) + ",";
    write_file(dir + "/unit.dcu", bytes, 0646);
    const struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 123456789}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir + "/unit.dcu").c_str(), times, 0), 0);
    const std::string dst = folder + "/unit.dcu";
    if (replace) {
        write_file(dst, "old");
        ASSERT_EQ(link(dst.c_str(), (folder + "/keep").c_str()), 0);
    }

    mode_t saved_mask = umask(022);
    EXPECT_TRUE(CopyFileA("unit.dcu", win32_form(dst).c_str(), fail_if_exists));
    umask(saved_mask);

    struct stat st;
    ASSERT_EQ(stat(dst.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0646u);
    EXPECT_EQ(st.st_mtim.tv_sec, times[1].tv_sec);
    EXPECT_EQ(st.st_mtim.tv_nsec, times[1].tv_nsec);
    EXPECT_TRUE(read_file(dst) == bytes) << "bytes differ";
    if (replace) {  // renamed over, not written into
        EXPECT_EQ(read_file(folder + "/keep"), "old");
    }
    EXPECT_EQ(temp_files(folder), std::vector<std::string>{});
}

TEST_F(win32_layer, copy_keeps_bytes_mode_and_time)
{
    const struct {
        const char *what;
        BOOL fail_if_exists;
        bool replace;
    } cases[] = {
        {"new file", FALSE, false},
        {"new file, fail_if_exists", TRUE, false},
        {"replacing", FALSE, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = dir + "/LIB-" + std::to_string(&c - cases);
        ASSERT_EQ(mkdir(folder.c_str(), 0777), 0);
        check_copy(dir, folder, c.fail_if_exists, c.replace);
    }
}

TEST_F(win32_layer, copy_works_across_filesystems)
{
    if (!other_fs)
        GTEST_SKIP() << "/dev/shm is not another filesystem here";
    for (bool replace : {false, true}) {
        SCOPED_TRACE(replace ? "replacing" : "new file");
        check_copy(dir, shm_dir, FALSE, replace);
    }
}

TEST_F(win32_layer, copy_failing_mid_write_leaves_old_destination_and_no_temp_file)
{
    write_file("unit.dcu", std::string(1 << 20, 'u'));
    ASSERT_EQ(mkdir("LIB", 0777), 0);
    std::vector<std::string> folders = {dir + "/LIB"};  // the kernel's copy
    if (other_fs)
        folders.push_back(shm_dir);  // the read/write loop
    for (const std::string &folder : folders) {
        SCOPED_TRACE(folder);
        const std::string dst = folder + "/unit.dcu";
        write_file(dst, "old");

        // Writes past 64 KiB fail with EFBIG instead of killing us.
        struct rlimit saved, limited;
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        limited = saved;
        limited.rlim_cur = 1 << 16;
        void (*saved_handler)(int) = signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        BOOL copied = CopyFileA("unit.dcu", win32_form(dst).c_str(), FALSE);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
        signal(SIGXFSZ, saved_handler);

        EXPECT_FALSE(copied);
        EXPECT_EQ(read_file(dst), "old");
        EXPECT_EQ(temp_files(folder), std::vector<std::string>{});
    }
}

TEST_F(win32_layer, delete_removes_files_but_not_folders)
{
    write_file("a.dcu", "");
    ASSERT_EQ(mkdir("x.dcu", 0777), 0);
    EXPECT_TRUE(DeleteFileA("a.dcu"));
    EXPECT_EQ(state_of("a.dcu"), "absent");
    EXPECT_FALSE(DeleteFileA("x.dcu"));
    EXPECT_NE(state_of("x.dcu"), "absent");
    EXPECT_FALSE(DeleteFileA("none.dcu"));
}

TEST(command_line, is_formed_as_windows_shows_it)
{
    const struct {
        std::vector<std::string> args;
        std::string expected;
    } cases[] = {
        {{}, ""},
        {{"/usr/bin/quorlin-install"}, "\\usr\\bin\\quorlin-install"},
        {{"./q", "a/b", "c"}, ".\\q a/b c"},
        {{"/my dir/q", "two words", "", "tab\there"}, "\"\\my dir\\q\" \"two words\" \"\" \"tab\there\""},
        {{"q", std::string(40000, 'a')}, "q " + std::string(32768 - 3, 'a')},  // cut at the limit
    };
    for (const auto &c : cases) {
        std::vector<char *> argv;
        for (const std::string &arg : c.args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        record_command_line((int)c.args.size(), argv.data());
        EXPECT_EQ(std::string(GetCommandLineA()), c.expected);
    }
}

}  // namespace
