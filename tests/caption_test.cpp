// The box caption: the program's name taken from its command line.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_message_box.h"
#include "messages/messages.h"

#ifndef _WIN32
#include "linux.h"
#endif

namespace {

struct caption_case {
    const char *command_line;
    const char *caption;
};

const caption_case caption_cases[] = {
    // The usual Windows form: quoted path, then a blank.
    {R"("C:\Program Files\Quorlin\quorlin-install.exe" )", "quorlin-install.exe"},
    {R"(C:\Quorlin\quorlin-install.exe)", "quorlin-install.exe"},
    // Arguments take part in the search.
    {R"("C:\Quorlin\quorlin-install.exe" D:\dist)", "dist"},
    {R"("C:\Quorlin\quorlin-install.exe" /to=D:\dist\)", "Error"},
    {R"(C:\Quorlin\ )", "Error"},
    {R"("C:\Quorlin\")", "Error"},
    {R"(\)", "Error"},
    // Without a "\" the whole line is the name, cut to 32.
    {"quorlin-install.exe --log-level=verbose", "quorlin-install.exe --log-level="},
    // Trimming: one blank, then one quote, nothing more.
    {R"(C:\Quorlin\setup.exe" )", "setup.exe"},
    {R"(C:\Quorlin\setup.exe ")", "setup.exe "},
    {R"(C:\Quorlin\setup.exe  )", "setup.exe "},
    {R"(C:\Quorlin\setup.exe"  )", "setup.exe\" "},
    {R"(C:\Quorlin\setup.exe"")", "setup.exe\""},
    {"\" ", "Error"},
    {" ", "Error"},
    // The cut comes first: the blank at 32 is trimmed, the quote at 37 never seen.
    {R"(C:\quorlin-install-31-characters-x "two")", "quorlin-install-31-characters-x"},
    {R"(C:\quorlin-install-with-a-long-name.exe" )", "quorlin-install-with-a-long-name"},
    // A leading number is passed over, as strtol reads it.
    {"123abc.exe", "abc.exe"},
    {"123.exe", ".exe"},
    {"99999999999999999999999.exe", ".exe"},
    {"-5x", "x"},
    {" 42 y", " y"},
    {"12345", "Error"},
    {R"(7\a\b)", "b"},
    // No digits: nothing is passed over, not even blanks or a sign.
    {" x", " x"},
    {"-x", "-x"},
    // Only "\" separates.
    {"C:/Quorlin/setup.exe", "C:/Quorlin/setup.exe"},
    {"C:setup.exe", "C:setup.exe"},
    {R"(C:\Quorlin/bin:setup.exe)", "Quorlin/bin:setup.exe"},
    {"", "Error"},
};

TEST(make_caption, takes_the_last_name_of_the_command_line)
{
    for (const caption_case &c : caption_cases) {
        char caption[caption_size];
        std::memset(caption, '#', sizeof caption);
        make_caption(c.command_line, caption);
        ASSERT_NE(std::memchr(caption, '\0', sizeof caption), nullptr) << "[" << c.command_line << "]";
        EXPECT_STREQ(caption, c.caption) << "[" << c.command_line << "]";
    }
}

TEST(show_message, boxes_the_text_under_the_command_line_caption)
{
#ifndef _WIN32
    static char program[] = "/opt/q/quorlin-install";
    static char *argv[] = {program, nullptr};
    record_command_line(1, argv);
    const std::string expected_caption = "quorlin-install";
#else
    char expected[caption_size];
    make_caption(GetCommandLineA(), expected);
    const std::string expected_caption = expected;
#endif
    box_calls.clear();
    // A text with a format directive and a line break must pass untouched.
    show_message("Moved 3 of 100% files\n%s");

    ASSERT_EQ(box_calls.size(), 1u);
    EXPECT_EQ(box_calls[0].caption, expected_caption);
    EXPECT_EQ(box_calls[0].text, "Moved 3 of 100% files\n%s");
    EXPECT_FALSE(box_calls[0].has_owner);
    EXPECT_EQ(box_calls[0].type, MB_OK);
}

}  // namespace
