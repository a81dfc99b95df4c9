// SDL's key codes as the platform's virtual keys.
#pragma once

#include <SDL2/SDL_keycode.h>

namespace ksv::platform::ui {

// Letters and digits, Enter, Escape, Space, Tab, Backspace, the arrows,
// F1 to F12, and either Shift, Ctrl or Alt (as VK_SHIFT, VK_CONTROL,
// VK_MENU); 0 for any other key.
int VirtualKeyOf(SDL_Keycode key);

}  // namespace ksv::platform::ui
