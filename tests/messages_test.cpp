// The event log and the math-error notes.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>

#include "fake_message_box.h"
#include "messages/messages.h"

namespace {

const std::string stamp = "( [0-9]|1[0-9]|2[0-3]):([0-5][0-9]):([0-5][0-9])\\.([0-9]{3})   ";

long milliseconds_of_day(const SYSTEMTIME &t)
{
    return ((t.wHour * 60L + t.wMinute) * 60L + t.wSecond) * 1000L + t.wMilliseconds;
}

TEST(message_switches, start_with_the_box_only)
{
    EXPECT_EQ(log_to_file, 0);
    EXPECT_EQ(screen_too, 0);
    EXPECT_STREQ(event_log_name, "");
}

// Logs to a fresh file in the working folder; the switches are put back after.
class event_log : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_log_to_file = log_to_file;
        saved_screen_too = screen_too;
        std::memcpy(saved_name, event_log_name, sizeof saved_name);

        char name[event_log_name_size];
        std::snprintf(name, sizeof name, "messages_test_%08x.log", static_cast<unsigned>(std::random_device()()));
        log_name = name;
        std::memcpy(event_log_name, name, sizeof name);
        log_to_file = 1;
        screen_too = 0;
        box_calls.clear();
    }

    void TearDown() override
    {
        log_to_file = saved_log_to_file;
        screen_too = saved_screen_too;
        std::memcpy(event_log_name, saved_name, sizeof saved_name);
        std::filesystem::remove_all(log_name);
    }

    std::string read_log() const
    {
        std::ifstream log(log_name);
        std::ostringstream content;
        content << log.rdbuf();
        return content.str();
    }

    std::string log_name;

private:
    unsigned char saved_log_to_file, saved_screen_too;
    char saved_name[event_log_name_size];
};

TEST_F(event_log, entry_is_the_local_time_then_the_text)
{
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    show_message("Installation finished");
    GetLocalTime(&after);

    const std::string content = read_log();
    std::smatch fields;
    ASSERT_TRUE(std::regex_match(content, fields, std::regex(stamp + "Installation finished")))
        << "[" << content << "]";
    SYSTEMTIME entry{};
    entry.wHour = static_cast<WORD>(std::stoi(fields[1]));
    entry.wMinute = static_cast<WORD>(std::stoi(fields[2]));
    entry.wSecond = static_cast<WORD>(std::stoi(fields[3]));
    entry.wMilliseconds = static_cast<WORD>(std::stoi(fields[4]));
    if (milliseconds_of_day(after) < milliseconds_of_day(before))
        GTEST_SKIP() << "midnight passed during the test";
    EXPECT_GE(milliseconds_of_day(entry), milliseconds_of_day(before));
    EXPECT_LE(milliseconds_of_day(entry), milliseconds_of_day(after));
}

TEST_F(event_log, appends_and_adds_no_line_break)
{
    std::ofstream(log_name) << "earlier entry\n";
    show_message("first\n");
    show_message("second");

    const std::string content = read_log();
    EXPECT_TRUE(std::regex_match(content, std::regex("earlier entry\n" + stamp + "first\n" + stamp + "second")))
        << "[" << content << "]";
}

struct output_case {
    unsigned char screen_too;
    bool log_opens;
    bool line_written, box_shown;
};

const output_case output_cases[] = {
    {0, true, true, false},
    {1, true, true, true},
    // A log that cannot be opened must not swallow the message.
    {0, false, false, true},
    {1, false, false, true},
};

TEST_F(event_log, screen_too_and_an_unopenable_log_decide_the_box)
{
    for (const output_case &c : output_cases) {
        SCOPED_TRACE(testing::Message() << "screen_too " << int(c.screen_too) << ", log opens " << c.log_opens);
        std::filesystem::remove_all(log_name);
        if (!c.log_opens)
            std::filesystem::create_directory(log_name);
        screen_too = c.screen_too;
        box_calls.clear();

        show_message("Unit moved");

        EXPECT_EQ(std::filesystem::is_regular_file(log_name), c.line_written);
        if (c.line_written) {
            EXPECT_TRUE(std::regex_match(read_log(), std::regex(stamp + "Unit moved")));
        }
        ASSERT_EQ(box_calls.size(), c.box_shown ? 1u : 0u);
        if (c.box_shown) {
            EXPECT_EQ(box_calls[0].text, "Unit moved");
        }
    }
}

struct note_case {
    const char *function_name;
    int kind;
    const char *note;
};

const note_case note_cases[] = {
    {"sqrt", 1, "sqrt: DOMAIN error\n"},
    {"log", 2, "log: SING error\n"},
    {"exp", 3, "exp: OVERFLOW error\n"},
    {"exp", 4, "exp: UNDERFLOW error\n"},
    {"sin", 5, "sin: TLOSS error\n"},
    {"cos", 6, "cos: PLOSS error\n"},
    {"pow", 7, "pow: STACK FAULT error\n"},
    {"pow", 0, "pow: (null) error\n"},
    {"pow", -1, "pow: (null) error\n"},
    {"pow", 8, "pow: (null) error\n"},
    {"pow", INT_MIN, "pow: (null) error\n"},
    {"pow", INT_MAX, "pow: (null) error\n"},
    {nullptr, 2, "(null): SING error\n"},
    {nullptr, 0, "(null): (null) error\n"},
};

TEST(note_math_error, names_the_function_and_the_kind_in_a_box)
{
    for (const note_case &c : note_cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind);
        box_calls.clear();
        note_math_error(c.function_name, c.kind);
        EXPECT_STREQ(note_buffer, c.note);
        ASSERT_EQ(box_calls.size(), 1u);
        EXPECT_EQ(box_calls[0].text, c.note);
    }
}

TEST(note_math_error, a_long_note_is_cut_to_the_buffer)
{
    const std::string tail = ": DOMAIN error\n";
    // 119 characters fit whole; one more loses the line break.
    for (size_t name_length : {size_t(note_size - 1) - tail.size(), size_t(note_size) - tail.size(), size_t(300)}) {
        const std::string name(name_length, 'f');
        const std::string expected = (name + tail).substr(0, note_size - 1);
        SCOPED_TRACE(testing::Message() << "name of " << name_length);
        box_calls.clear();
        note_math_error(name.c_str(), 1);
        EXPECT_EQ(std::string(note_buffer), expected);
        ASSERT_EQ(box_calls.size(), 1u);
        EXPECT_EQ(box_calls[0].text, expected);
    }
}

}  // namespace
