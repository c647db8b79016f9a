// Replaces the Linux layer's MessageBoxA (declared weak there) for the
// unit tests.
#include <windows.h>

#include "fake_message_box.h"

std::vector<box_call> box_calls;

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    box_call call{caption ? caption : "", text ? text : "", type, owner != nullptr, 0, 0, 0};
    note_fp_words(call);
    box_calls.push_back(call);
    return IDOK;
}
