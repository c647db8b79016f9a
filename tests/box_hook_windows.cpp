// The unit tests' view of the real message box on Windows: a CBT hook on
// the test thread sees each box as it comes up, records it as the Linux
// fake does, and closes it with OK.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "fake_message_box.h"

std::vector<box_call> box_calls;

namespace {

// The box's text is its static control 0xFFFF.
const int text_id = 0xFFFF;

// A child's own visible bit: the box itself is not shown yet on activation.
bool shown(HWND box, int id)
{
    HWND child = GetDlgItem(box, id);
    return child && (GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE);
}

struct button_set {
    UINT type;
    int ids[3];
};

const button_set button_sets[] = {
    {MB_OK, {IDOK}},
    {MB_OKCANCEL, {IDOK, IDCANCEL}},
    {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}},
    {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}},
    {MB_YESNO, {IDYES, IDNO}},
    {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}},
    {MB_CANCELTRYCONTINUE, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}},
};

// The MB_ button flags of the buttons shown; ~0 for a set no flag makes.
UINT buttons_type(HWND box)
{
    const int all_ids[] = {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO, IDTRYAGAIN, IDCONTINUE};
    for (const button_set &set : button_sets) {
        bool same = true;
        for (int id : all_ids) {
            bool in_set = std::find(std::begin(set.ids), std::end(set.ids), id) != std::end(set.ids);
            same = same && shown(box, id) == in_set;
        }
        if (same)
            return set.type;
    }
    return ~0u;
}

// An icon control may be there, shown, and hold no icon.
BOOL CALLBACK note_icon(HWND child, LPARAM icon_seen)
{
    if ((GetWindowLongA(child, GWL_STYLE) & (WS_VISIBLE | SS_TYPEMASK)) == (WS_VISIBLE | SS_ICON) &&
        SendMessageA(child, STM_GETICON, 0, 0))
        *reinterpret_cast<bool *>(icon_seen) = true;
    return TRUE;
}

// Which icon cannot be told from the window; any icon adds MB_ICONMASK.
UINT box_type(HWND box)
{
    bool icon_seen = false;
    EnumChildWindows(box, note_icon, reinterpret_cast<LPARAM>(&icon_seen));
    return buttons_type(box) | (icon_seen ? MB_ICONMASK : 0);
}

LRESULT CALLBACK on_cbt(int code, WPARAM wparam, LPARAM lparam)
{
    char class_name[16];
    HWND window = reinterpret_cast<HWND>(wparam);
    if (code == HCBT_ACTIVATE && GetClassNameA(window, class_name, sizeof class_name) &&
        std::strcmp(class_name, "#32770") == 0) {
        box_call call{"", "", 0, false, 0, 0, 0};
        note_fp_words(call);

        static char caption[1024], text[8192];
        GetWindowTextA(window, caption, sizeof caption);
        GetDlgItemTextA(window, text_id, text, sizeof text);
        call.caption = caption;
        call.text = text;
        call.type = box_type(window);
        call.has_owner = GetWindow(window, GW_OWNER) != nullptr;
        box_calls.push_back(call);
        // Taken once the box runs its own message loop.
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

// Hooks the thread that runs the tests, before main.
struct box_hook {
    HHOOK hook = SetWindowsHookExA(WH_CBT, on_cbt, nullptr, GetCurrentThreadId());
    ~box_hook() { UnhookWindowsHookEx(hook); }
} installed;

}  // namespace
