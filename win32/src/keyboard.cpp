// X keysyms to virtual-key codes, and the characters TranslateMessage makes.
//
// The virtual key follows the unshifted keysym of the key, as the platform's
// codes name keys rather than characters. Characters cover the printable
// ASCII keys, Return, Escape, Tab and Backspace; dead keys and input methods
// are left out.
#include "layer.h"

#include <X11/keysym.h>

namespace win32 {
namespace {

struct KeyRange {
    unsigned long firstKeysym;
    unsigned long lastKeysym;
    UINT firstVirtualKey;
};

constexpr KeyRange ranges[] = {
    {XK_a, XK_z, 'A'},
    {XK_A, XK_Z, 'A'},
    {XK_0, XK_9, '0'},
    {XK_F1, XK_F24, VK_F1},
    {XK_KP_0, XK_KP_9, VK_NUMPAD0},
};

struct KeyPair {
    unsigned long keysym;
    UINT virtualKey;
};

constexpr KeyPair keys[] = {
    {XK_BackSpace, VK_BACK},
    {XK_Tab, VK_TAB},
    {XK_ISO_Left_Tab, VK_TAB},
    {XK_Return, VK_RETURN},
    {XK_KP_Enter, VK_RETURN},
    {XK_Escape, VK_ESCAPE},
    {XK_space, VK_SPACE},
    {XK_Pause, VK_PAUSE},
    {XK_Caps_Lock, VK_CAPITAL},
    {XK_Prior, VK_PRIOR},
    {XK_Next, VK_NEXT},
    {XK_End, VK_END},
    {XK_Home, VK_HOME},
    {XK_Left, VK_LEFT},
    {XK_Up, VK_UP},
    {XK_Right, VK_RIGHT},
    {XK_Down, VK_DOWN},
    {XK_Insert, VK_INSERT},
    {XK_Delete, VK_DELETE},
    {XK_KP_Multiply, VK_MULTIPLY},
    {XK_KP_Add, VK_ADD},
    {XK_KP_Subtract, VK_SUBTRACT},
    {XK_KP_Decimal, VK_DECIMAL},
    {XK_KP_Divide, VK_DIVIDE},
    {XK_Num_Lock, VK_NUMLOCK},
    {XK_Scroll_Lock, VK_SCROLL},
    {XK_Shift_L, VK_SHIFT},
    {XK_Shift_R, VK_SHIFT},
    {XK_Control_L, VK_CONTROL},
    {XK_Control_R, VK_CONTROL},
    {XK_Alt_L, VK_MENU},
    {XK_Alt_R, VK_MENU},
    {XK_Meta_L, VK_MENU},
    {XK_semicolon, VK_OEM_1},
    {XK_equal, VK_OEM_PLUS},
    {XK_comma, VK_OEM_COMMA},
    {XK_minus, VK_OEM_MINUS},
    {XK_period, VK_OEM_PERIOD},
    {XK_slash, VK_OEM_2},
    {XK_grave, VK_OEM_3},
    {XK_bracketleft, VK_OEM_4},
    {XK_backslash, VK_OEM_5},
    {XK_bracketright, VK_OEM_6},
    {XK_apostrophe, VK_OEM_7},
};

struct ShiftedCharacter {
    UINT virtualKey;
    char plain;
    char shifted;
};

constexpr ShiftedCharacter characters[] = {
    {'0', '0', ')'},         {'1', '1', '!'},          {'2', '2', '@'},          {'3', '3', '#'},
    {'4', '4', '$'},         {'5', '5', '%'},          {'6', '6', '^'},          {'7', '7', '&'},
    {'8', '8', '*'},         {'9', '9', '('},          {VK_SPACE, ' ', ' '},     {VK_RETURN, '\r', '\r'},
    {VK_ESCAPE, 0x1B, 0x1B}, {VK_TAB, '\t', '\t'},     {VK_BACK, '\b', '\b'},    {VK_OEM_1, ';', ':'},
    {VK_OEM_PLUS, '=', '+'}, {VK_OEM_COMMA, ',', '<'}, {VK_OEM_MINUS, '-', '_'}, {VK_OEM_PERIOD, '.', '>'},
    {VK_OEM_2, '/', '?'},    {VK_OEM_3, '`', '~'},     {VK_OEM_4, '[', '{'},     {VK_OEM_5, '\\', '|'},
    {VK_OEM_6, ']', '}'},    {VK_OEM_7, '\'', '"'},
};

} // namespace

UINT virtualKeyFromKeysym(unsigned long keysym) {
    for (const KeyRange& range : ranges)
        if (keysym >= range.firstKeysym && keysym <= range.lastKeysym)
            return range.firstVirtualKey + static_cast<UINT>(keysym - range.firstKeysym);
    for (const KeyPair& pair : keys)
        if (pair.keysym == keysym)
            return pair.virtualKey;
    return 0;
}

UINT characterFromVirtualKey(UINT virtualKey, bool shift) {
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return shift ? virtualKey : virtualKey - 'A' + 'a';
    for (const ShiftedCharacter& c : characters)
        if (c.virtualKey == virtualKey)
            return static_cast<unsigned char>(shift ? c.shifted : c.plain);
    return 0;
}

} // namespace win32
