// A message box for the unit tests: it records each call, with the x87
// state seen while the box is up, and returns at once.
#ifndef QUORLIN_TESTS_FAKE_MESSAGE_BOX_H
#define QUORLIN_TESTS_FAKE_MESSAGE_BOX_H

#include <cstring>
#include <string>
#include <vector>

struct box_call {
    std::string caption;
    std::string text;
    unsigned type;
    bool has_owner;
    unsigned short fp_control, fp_status, fp_tag;  // zero off x86
};

extern std::vector<box_call> box_calls;

// Reads the x87 control, status and tag words into call, as they stand.
inline void note_fp_words(box_call &call)
{
#if defined(__i386__) || defined(__x86_64__)
    unsigned char env[28];  // fnstenv's 32-bit image: control, status, tag words first
    __asm__ volatile("fnstenv %0\n\tfldenv %0" : "=m"(env));  // fnstenv masks all; put it back
    std::memcpy(&call.fp_control, env + 0, 2);
    std::memcpy(&call.fp_status, env + 4, 2);
    std::memcpy(&call.fp_tag, env + 8, 2);
#else
    (void)call;
#endif
}

#endif
