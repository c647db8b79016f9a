// The x87 unit around the message box: reset while the box is up, exactly
// as it was once the box is gone.
#if defined(__i386__) || defined(__x86_64__)

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "fake_message_box.h"
#include "messages/messages.h"

namespace {

// fnsave's 32-bit image: control at 0, status at 4, tag at 8, registers from 28.
struct fp_image {
    unsigned char bytes[fp_save_size];

    unsigned short word(int offset) const
    {
        unsigned short value;
        std::memcpy(&value, bytes + offset, sizeof value);
        return value;
    }
    unsigned short control() const { return word(0); }
    unsigned short status() const { return word(4); }
    unsigned short tag() const { return word(8); }
    const unsigned char *registers() const { return bytes + 28; }
};

const int registers_size = 80;
const unsigned short defined_control_bits = 0x1F3F;

// Reads the unit without changing it: fnsave resets, frstor puts it back.
fp_image read_unit()
{
    fp_image image;
    __asm__ volatile("fnsave %0\n\tfrstor %0" : "=m"(image.bytes) : : "memory");
    return image;
}

// Invalid, zero-divide and overflow stay unmasked under 0x1332, so only
// the masked precision exception is raised here (1/3 is inexact).
void load_busy_unit()
{
    static const unsigned short control = 0x1332;
    static const long double own_value = -1234.5678L;
    static const int three = 3;
    __asm__ volatile(
        "fninit\n\t"
        "fldcw %0\n\t"
        "fld1\n\t"
        "fldpi\n\t"
        "fldt %1\n\t"
        "fld1\n\t"
        "fidivl %2\n\t"
        :
        : "m"(control), "m"(own_value), "m"(three)
        : "memory");
}

void expect_same_unit(const fp_image &after, const fp_image &before)
{
    EXPECT_EQ(after.control(), before.control());
    EXPECT_EQ(after.status(), before.status());
    EXPECT_EQ(after.tag(), before.tag());
    EXPECT_EQ(std::memcmp(after.registers(), before.registers(), registers_size), 0);
}

class fp_guard : public ::testing::Test {
protected:
    void SetUp() override { box_calls.clear(); }
    // Leave the default unit to the rest of the suite.
    void TearDown() override { __asm__ volatile("fninit" : : : "memory"); }
};

TEST_F(fp_guard, box_sees_a_reset_unit_and_ours_comes_back)
{
    load_busy_unit();
    const fp_image before = read_unit();
    show_message("Done");
    const fp_image after = read_unit();
    __asm__ volatile("fninit" : : : "memory");

    // The set-up took: otherwise the comparisons below prove nothing.
    ASSERT_EQ(before.control() & defined_control_bits, 0x1332);
    ASSERT_NE(before.status() & 0x20, 0) << "precision flag";
    ASSERT_EQ(before.tag(), 0x00FF) << "four registers in use";

    ASSERT_EQ(box_calls.size(), 1u);
    EXPECT_EQ(box_calls[0].fp_control & defined_control_bits, 0x037F & defined_control_bits);
    EXPECT_EQ(box_calls[0].fp_status, 0);
    EXPECT_EQ(box_calls[0].fp_tag, 0xFFFF);
    expect_same_unit(after, before);
}

TEST_F(fp_guard, save_and_restore_round_trip)
{
    load_busy_unit();
    const fp_image before = read_unit();
    save_fp_state();
    const fp_image saved_reset = read_unit();
    // Disturb the reset unit; the restore must undo it.
    static const unsigned short other_control = 0x0F7F;
    __asm__ volatile("fldcw %0\n\tfldz\n\tfld1" : : "m"(other_control) : "memory");
    restore_fp_state();
    const fp_image after = read_unit();
    __asm__ volatile("fninit" : : : "memory");

    EXPECT_EQ(saved_reset.control() & defined_control_bits, 0x037F & defined_control_bits);
    EXPECT_EQ(saved_reset.status(), 0);
    EXPECT_EQ(saved_reset.tag(), 0xFFFF);
    fp_image area;
    std::memcpy(area.bytes, fp_save_area, sizeof area.bytes);
    expect_same_unit(area, before);
    expect_same_unit(after, before);
}

}  // namespace

#endif
