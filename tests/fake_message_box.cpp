// Replaces the Linux layer's MessageBoxA (declared weak there) for the
// unit tests.
#include <windows.h>

#include <cstring>

#include "fake_message_box.h"

std::vector<box_call> box_calls;

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    box_call call{caption ? caption : "", text ? text : "", type, owner != nullptr, 0, 0, 0};
#if defined(__i386__) || defined(__x86_64__)
    unsigned char env[28];  // fnstenv's 32-bit image: control, status, tag words first
    __asm__ volatile("fnstenv %0\n\tfldenv %0" : "=m"(env));  // fnstenv masks all; put it back
    std::memcpy(&call.fp_control, env + 0, 2);
    std::memcpy(&call.fp_status, env + 4, 2);
    std::memcpy(&call.fp_tag, env + 8, 2);
#endif
    box_calls.push_back(call);
    return IDOK;
}
