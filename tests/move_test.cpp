// The install run in real temporary folders: what moves, what stays, and
// the message and exit status that say so.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fake_message_box.h"
#include "install/install.h"

namespace fs = std::filesystem;

namespace {

const std::string success = "Quorlin successfully installed!";
const std::string not_complete =
    "Quorlin was not installed completely. These unit files could not be moved into LIB:";

class install_run : public ::testing::Test {
protected:
    fs::path dir, old_cwd;

    void SetUp() override
    {
        old_cwd = fs::current_path();
        for (int n = 0;; n++) {  // tests may run side by side
            dir = fs::temp_directory_path() / ("quorlin-move-" + std::to_string(n));
            if (fs::create_directory(dir))
                break;
        }
        fs::current_path(dir);
        box_calls.clear();
    }

    void TearDown() override
    {
        fs::current_path(old_cwd);
        for (auto &entry : fs::recursive_directory_iterator(dir))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir);
    }

    static void put(const fs::path &path, const std::string &bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    static std::string get(const fs::path &path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    static void make_read_only(const fs::path &path)
    {
        fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }

    // Runs the program's entry point in the current folder; returns its
    // exit status and leaves its one message in `message`.
    std::string message;
    int run()
    {
        box_calls.clear();
        fs::path before = fs::current_path();
        char tail[] = "";
        int status = WinMain(nullptr, nullptr, tail, SW_SHOWDEFAULT);
        EXPECT_EQ(fs::current_path(), before) << "the run must end in the folder it began in";
        EXPECT_EQ(box_calls.size(), 1u) << "one message per run";
        message = box_calls.empty() ? "" : box_calls.back().text;
        return status;
    }

    // The names a search for "*.dcu" gives, in its order.
    static std::vector<std::string> search_order()
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA("*.dcu", &found);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do
            names.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
        return names;
    }

    // Whether a file without write permission can be written all the same:
    // so under wine run as root, which Windows never allows.
    static bool read_only_is_writable()
    {
        put("probe", "");
        make_read_only("probe");
        bool writable = std::ofstream("probe", std::ios::app).is_open();
        fs::permissions("probe", fs::perms::owner_write, fs::perm_options::add);
        fs::remove("probe");
        return writable;
    }

    // Makes and enters a folder below dir whose full path is `length`
    // characters long in the program's own form.
    void enter_folder_of_length(size_t length)
    {
        fs::path here = dir;
        while (here.string().size() < length) {
            size_t left = length - here.string().size() - 1;  // less the separator
            here /= std::string(std::min<size_t>(left, 200), 'd');
        }
        ASSERT_EQ(here.string().size(), length);
        fs::create_directories(here);
        fs::current_path(here);
    }
};

TEST_F(install_run, moves_every_unit_into_a_new_lib_and_leaves_the_rest)
{
    put("a.dcu", "unit a");
    put("B.DCU", "unit B");
    put("quorlin.pas", "source");
    put("a.dc", "not a unit");

    EXPECT_EQ(run(), 0);
    EXPECT_EQ(message, success);
    EXPECT_EQ(get("LIB/a.dcu"), "unit a");
    EXPECT_EQ(get("LIB/B.DCU"), "unit B");
    EXPECT_FALSE(fs::exists("a.dcu"));
    EXPECT_FALSE(fs::exists("B.DCU"));
    EXPECT_EQ(get("quorlin.pas"), "source");
    EXPECT_EQ(get("a.dc"), "not a unit");
    EXPECT_FALSE(fs::exists("LIB/quorlin.pas"));
}

// Win32 also matches "*.dcu" against 8.3 short names, and the short name of
// "x.dcux" ends in ".DCU"; our Linux layer has none.  Moved or left, the
// file is whole in one place.
TEST_F(install_run, a_longer_extension_is_moved_whole_or_left_whole)
{
    put("x.dcux", "x");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(message, success);
    const bool moved = fs::exists("LIB/x.dcux");
    EXPECT_NE(moved, fs::exists("x.dcux"));
    EXPECT_EQ(get(moved ? "LIB/x.dcux" : "x.dcux"), "x");
}

TEST_F(install_run, uses_an_existing_lib_replacing_namesakes_and_touches_no_subfolder)
{
    fs::create_directories("LIB");
    fs::create_directories("sub");
    put("LIB/a.dcu", "old a");
    put("LIB/other.dcu", "other");
    put("sub/s.dcu", "in a subfolder");
    put("a.dcu", "new a");

    EXPECT_EQ(run(), 0);
    EXPECT_EQ(message, success);
    EXPECT_EQ(get("LIB/a.dcu"), "new a");
    EXPECT_EQ(get("LIB/other.dcu"), "other");
    EXPECT_EQ(get("sub/s.dcu"), "in a subfolder");
    EXPECT_FALSE(fs::exists("LIB/s.dcu"));
    EXPECT_FALSE(fs::exists("a.dcu"));
}

TEST_F(install_run, with_no_units_makes_lib_and_a_second_run_changes_nothing)
{
    put("x.dcu", "x");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(message, success);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(message, success);
    EXPECT_EQ(get("LIB/x.dcu"), "x");

    fs::current_path(dir / "LIB");  // a folder without units at all
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(message, success);
    EXPECT_TRUE(fs::is_directory("LIB"));
}

TEST_F(install_run, keeps_a_unit_whose_namesake_in_lib_is_read_only)
{
#ifdef _WIN32
    if (read_only_is_writable())
        GTEST_SKIP() << "read-only files are writable here (wine as root): CopyFileA replaces them";
#endif
    fs::create_directories("LIB");
    put("LIB/a.dcu", "locked");
    make_read_only("LIB/a.dcu");
    put("a.dcu", "new a");
    put("b.dcu", "b");

    EXPECT_EQ(run(), 1);
    EXPECT_EQ(message, not_complete + "\na.dcu");
    EXPECT_EQ(get("a.dcu"), "new a");
    EXPECT_EQ(get("LIB/a.dcu"), "locked");
    EXPECT_EQ(get("LIB/b.dcu"), "b");
    EXPECT_FALSE(fs::exists("b.dcu"));
}

// Win32 does not delete a read-only file: the unit stays beside its copy.
TEST_F(install_run, keeps_a_read_only_unit_beside_its_copy)
{
    put("a.dcu", "read-only a");
    make_read_only("a.dcu");
    put("b.dcu", "b");

    EXPECT_EQ(run(), 1);
    EXPECT_EQ(message, not_complete + "\na.dcu");
    EXPECT_EQ(get("a.dcu"), "read-only a");
    EXPECT_EQ(get("LIB/a.dcu"), "read-only a");
    EXPECT_EQ(get("LIB/b.dcu"), "b");
    EXPECT_FALSE(fs::exists("b.dcu"));
}

TEST_F(install_run, keeps_a_directory_that_matches)
{
    fs::create_directories("d.dcu");
    put("d.dcu/inside", "kept");

    EXPECT_EQ(run(), 1);
    EXPECT_EQ(message, not_complete + "\nd.dcu");
    EXPECT_EQ(get("d.dcu/inside"), "kept");
}

TEST_F(install_run, names_ten_units_left_and_counts_the_rest_in_search_order)
{
    fs::create_directories("LIB");
    for (int i = 0; i < 13; i++) {
        std::string name = "u" + std::to_string(i) + ".dcu";
        put(name, name);
        fs::create_directory("LIB/" + name);  // no file is copied over a folder
    }
    std::vector<std::string> order = search_order();
    ASSERT_EQ(order.size(), 13u);

    std::string expected = not_complete;
    for (int i = 0; i < 10; i++)
        expected += "\n" + order[i];
    expected += "\n(and 3 more)";
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(message, expected);
    for (const std::string &name : order)
        EXPECT_EQ(get(name), name);
}

TEST_F(install_run, refuses_a_lib_that_is_a_file)
{
    put("LIB", "a file");
    put("a.dcu", "a");

    EXPECT_EQ(run(), 1);
    EXPECT_EQ(message, "Quorlin could not be installed: the folder LIB could not be created.");
    EXPECT_EQ(get("LIB"), "a file");
    EXPECT_EQ(get("a.dcu"), "a");
}

#ifdef _WIN32
// Windows keeps a current folder under MAX_PATH; from here the longest
// names (255) take the destination past 511.  (The copy to 511 characters
// relies on wine, or on Windows with long paths enabled: ANSI paths past
// MAX_PATH fail otherwise.)
const size_t long_folder = 252;
#else
const size_t long_folder = 400;
#endif

// The destination "<folder>\LIB\<name>" must fit in 511 characters.
TEST_F(install_run, keeps_a_unit_whose_destination_path_would_not_fit)
{
    enter_folder_of_length(long_folder);
    std::string fits = std::string(511 - long_folder - 5 - 4, 'f') + ".dcu";
    std::string too_long = std::string(511 - long_folder - 5 - 3, 'g') + ".dcu";
    put(fits, "fits");
    put(too_long, "too long");

    EXPECT_EQ(run(), 1);
    EXPECT_EQ(message, not_complete + "\n" + too_long);
    EXPECT_EQ(get("LIB/" + fits), "fits");
    EXPECT_EQ(get(too_long), "too long");
    EXPECT_FALSE(fs::exists("LIB/" + too_long));
}

// working_dir takes 498 characters and the NUL.
TEST_F(install_run, works_in_the_longest_folder_that_fits_and_touches_nothing_in_a_longer_one)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows keeps the current folder under MAX_PATH, far below 499";
#endif
    enter_folder_of_length(498);
    put("a.dcu", "a");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(get("LIB/a.dcu"), "a");

    fs::current_path(dir);
    enter_folder_of_length(499);
    put("a.dcu", "a");
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(message, "Quorlin could not be installed: the current folder could not be read.");
    EXPECT_EQ(get("a.dcu"), "a");
    EXPECT_FALSE(fs::exists("LIB"));
}

TEST_F(install_run, move_unit_files_takes_its_pattern_and_subfolder)
{
    put("keep.dcu", "unit");
    put("a.txt", "text");
    ASSERT_NE(GetCurrentDirectoryA(sizeof working_dir - 1, working_dir), 0u);
    strcpy(base_dir, working_dir);

    move_unit_files("*.txt", "\\DOCS");
    EXPECT_EQ(move_failure, nullptr);
    EXPECT_EQ(units_left, 0u);
    EXPECT_EQ(std::string(dest_path), std::string(base_dir) + "\\DOCS\\a.txt");
    EXPECT_EQ(dest_name_slot, dest_path + strlen(base_dir) + strlen("\\DOCS\\"));
    EXPECT_EQ(get("DOCS/a.txt"), "text");
    EXPECT_EQ(get("keep.dcu"), "unit");
    EXPECT_EQ(fs::current_path(), dir);
}

}  // namespace
