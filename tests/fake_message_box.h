// A message box for the unit tests: it records each call, with the x87
// state seen while the box is up, and returns at once.
#ifndef QUORLIN_TESTS_FAKE_MESSAGE_BOX_H
#define QUORLIN_TESTS_FAKE_MESSAGE_BOX_H

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

#endif
