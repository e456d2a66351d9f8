// One table ties a physical key's SDL scancode to its DirectInput code and virtual-key code.
#include "Keymap.h"
#include "ZanDInput.h"

#include <SDL_scancode.h>

namespace
{
struct KeyRow
{
    int scancode;
    int dik;
    int vk;
    char ascii; // the character an unshifted press types, or 0
};

const KeyRow kKeys[] = {
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE, VK_ESCAPE, 27},
    {SDL_SCANCODE_1, DIK_1, '1', '1'},
    {SDL_SCANCODE_2, DIK_2, '2', '2'},
    {SDL_SCANCODE_3, DIK_3, '3', '3'},
    {SDL_SCANCODE_4, DIK_4, '4', '4'},
    {SDL_SCANCODE_5, DIK_5, '5', '5'},
    {SDL_SCANCODE_6, DIK_6, '6', '6'},
    {SDL_SCANCODE_7, DIK_7, '7', '7'},
    {SDL_SCANCODE_8, DIK_8, '8', '8'},
    {SDL_SCANCODE_9, DIK_9, '9', '9'},
    {SDL_SCANCODE_0, DIK_0, '0', '0'},
    {SDL_SCANCODE_MINUS, DIK_MINUS, VK_OEM_MINUS, '-'},
    {SDL_SCANCODE_EQUALS, DIK_EQUALS, VK_OEM_PLUS, '='},
    {SDL_SCANCODE_BACKSPACE, DIK_BACK, VK_BACK, 8},
    {SDL_SCANCODE_TAB, DIK_TAB, VK_TAB, 9},
    {SDL_SCANCODE_Q, DIK_Q, 'Q', 'q'},
    {SDL_SCANCODE_W, DIK_W, 'W', 'w'},
    {SDL_SCANCODE_E, DIK_E, 'E', 'e'},
    {SDL_SCANCODE_R, DIK_R, 'R', 'r'},
    {SDL_SCANCODE_T, DIK_T, 'T', 't'},
    {SDL_SCANCODE_Y, DIK_Y, 'Y', 'y'},
    {SDL_SCANCODE_U, DIK_U, 'U', 'u'},
    {SDL_SCANCODE_I, DIK_I, 'I', 'i'},
    {SDL_SCANCODE_O, DIK_O, 'O', 'o'},
    {SDL_SCANCODE_P, DIK_P, 'P', 'p'},
    {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET, VK_OEM_4, '['},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET, VK_OEM_6, ']'},
    {SDL_SCANCODE_RETURN, DIK_RETURN, VK_RETURN, 13},
    {SDL_SCANCODE_LCTRL, DIK_LCONTROL, VK_CONTROL, 0},
    {SDL_SCANCODE_A, DIK_A, 'A', 'a'},
    {SDL_SCANCODE_S, DIK_S, 'S', 's'},
    {SDL_SCANCODE_D, DIK_D, 'D', 'd'},
    {SDL_SCANCODE_F, DIK_F, 'F', 'f'},
    {SDL_SCANCODE_G, DIK_G, 'G', 'g'},
    {SDL_SCANCODE_H, DIK_H, 'H', 'h'},
    {SDL_SCANCODE_J, DIK_J, 'J', 'j'},
    {SDL_SCANCODE_K, DIK_K, 'K', 'k'},
    {SDL_SCANCODE_L, DIK_L, 'L', 'l'},
    {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON, VK_OEM_1, ';'},
    {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE, VK_OEM_7, '\''},
    {SDL_SCANCODE_GRAVE, DIK_GRAVE, VK_OEM_3, '`'},
    {SDL_SCANCODE_LSHIFT, DIK_LSHIFT, VK_SHIFT, 0},
    {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH, VK_OEM_5, '\\'},
    {SDL_SCANCODE_Z, DIK_Z, 'Z', 'z'},
    {SDL_SCANCODE_X, DIK_X, 'X', 'x'},
    {SDL_SCANCODE_C, DIK_C, 'C', 'c'},
    {SDL_SCANCODE_V, DIK_V, 'V', 'v'},
    {SDL_SCANCODE_B, DIK_B, 'B', 'b'},
    {SDL_SCANCODE_N, DIK_N, 'N', 'n'},
    {SDL_SCANCODE_M, DIK_M, 'M', 'm'},
    {SDL_SCANCODE_COMMA, DIK_COMMA, VK_OEM_COMMA, ','},
    {SDL_SCANCODE_PERIOD, DIK_PERIOD, VK_OEM_PERIOD, '.'},
    {SDL_SCANCODE_SLASH, DIK_SLASH, VK_OEM_2, '/'},
    {SDL_SCANCODE_RSHIFT, DIK_RSHIFT, VK_SHIFT, 0},
    {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY, VK_MULTIPLY, '*'},
    {SDL_SCANCODE_LALT, DIK_LMENU, VK_MENU, 0},
    {SDL_SCANCODE_SPACE, DIK_SPACE, VK_SPACE, ' '},
    {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL, VK_CAPITAL, 0},
    {SDL_SCANCODE_F1, DIK_F1, VK_F1, 0},
    {SDL_SCANCODE_F2, DIK_F2, VK_F1 + 1, 0},
    {SDL_SCANCODE_F3, DIK_F3, VK_F1 + 2, 0},
    {SDL_SCANCODE_F4, DIK_F4, VK_F1 + 3, 0},
    {SDL_SCANCODE_F5, DIK_F5, VK_F1 + 4, 0},
    {SDL_SCANCODE_F6, DIK_F6, VK_F1 + 5, 0},
    {SDL_SCANCODE_F7, DIK_F7, VK_F1 + 6, 0},
    {SDL_SCANCODE_F8, DIK_F8, VK_F1 + 7, 0},
    {SDL_SCANCODE_F9, DIK_F9, VK_F1 + 8, 0},
    {SDL_SCANCODE_F10, DIK_F10, VK_F1 + 9, 0},
    {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK, VK_NUMLOCK, 0},
    {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL, VK_SCROLL, 0},
    {SDL_SCANCODE_KP_7, DIK_NUMPAD7, VK_NUMPAD0 + 7, '7'},
    {SDL_SCANCODE_KP_8, DIK_NUMPAD8, VK_NUMPAD0 + 8, '8'},
    {SDL_SCANCODE_KP_9, DIK_NUMPAD9, VK_NUMPAD0 + 9, '9'},
    {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT, VK_SUBTRACT, '-'},
    {SDL_SCANCODE_KP_4, DIK_NUMPAD4, VK_NUMPAD0 + 4, '4'},
    {SDL_SCANCODE_KP_5, DIK_NUMPAD5, VK_NUMPAD0 + 5, '5'},
    {SDL_SCANCODE_KP_6, DIK_NUMPAD6, VK_NUMPAD0 + 6, '6'},
    {SDL_SCANCODE_KP_PLUS, DIK_ADD, VK_ADD, '+'},
    {SDL_SCANCODE_KP_1, DIK_NUMPAD1, VK_NUMPAD0 + 1, '1'},
    {SDL_SCANCODE_KP_2, DIK_NUMPAD2, VK_NUMPAD0 + 2, '2'},
    {SDL_SCANCODE_KP_3, DIK_NUMPAD3, VK_NUMPAD0 + 3, '3'},
    {SDL_SCANCODE_KP_0, DIK_NUMPAD0, VK_NUMPAD0, '0'},
    {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL, VK_DECIMAL, '.'},
    {SDL_SCANCODE_F11, DIK_F11, VK_F1 + 10, 0},
    {SDL_SCANCODE_F12, DIK_F12, VK_F1 + 11, 0},
    {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER, VK_RETURN, 13},
    {SDL_SCANCODE_RCTRL, DIK_RCONTROL, VK_CONTROL, 0},
    {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE, VK_DIVIDE, '/'},
    {SDL_SCANCODE_RALT, DIK_RMENU, VK_MENU, 0},
    {SDL_SCANCODE_PAUSE, DIK_PAUSE, VK_PAUSE, 0},
    {SDL_SCANCODE_HOME, DIK_HOME, VK_HOME, 0},
    {SDL_SCANCODE_UP, DIK_UP, VK_UP, 0},
    {SDL_SCANCODE_PAGEUP, DIK_PRIOR, VK_PRIOR, 0},
    {SDL_SCANCODE_LEFT, DIK_LEFT, VK_LEFT, 0},
    {SDL_SCANCODE_RIGHT, DIK_RIGHT, VK_RIGHT, 0},
    {SDL_SCANCODE_END, DIK_END, VK_END, 0},
    {SDL_SCANCODE_DOWN, DIK_DOWN, VK_DOWN, 0},
    {SDL_SCANCODE_PAGEDOWN, DIK_NEXT, VK_NEXT, 0},
    {SDL_SCANCODE_INSERT, DIK_INSERT, VK_INSERT, 0},
    {SDL_SCANCODE_DELETE, DIK_DELETE, VK_DELETE, 0},
    {SDL_SCANCODE_LGUI, DIK_LWIN, VK_LWIN, 0},
    {SDL_SCANCODE_RGUI, DIK_RWIN, VK_RWIN, 0},
    {SDL_SCANCODE_APPLICATION, DIK_APPS, VK_APPS, 0},
};

const KeyRow* ByDik(int dik)
{
    for (const KeyRow& row : kKeys)
        if (row.dik == dik)
            return &row;
    return nullptr;
}
} // namespace

int ZanScancodeToDik(int scancode)
{
    for (const KeyRow& row : kKeys)
        if (row.scancode == scancode)
            return row.dik;
    return 0;
}

int ZanDikToVk(int dik)
{
    const KeyRow* row = ByDik(dik);
    return row ? row->vk : 0;
}

char ZanDikToAscii(int dik)
{
    const KeyRow* row = ByDik(dik);
    return row ? row->ascii : 0;
}
