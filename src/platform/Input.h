// Keyboard as a 256-byte state in DirectInput key codes (Escape is 1, 0x80 means held).
#pragma once
#include <cstdint>

#include "platform/Window.h"

// Creates the keyboard for the window; on failure every key reads as up.
void CreateKeyboard(const GLWindow& window, bool exclusive);
// Reads the current state of every key into the 256-byte state.
void PollKeyboard();
// True when the key's state byte has the high bit set at the last poll.
bool IsKeyDown(uint8_t key);
void ReleaseKeyboard();
// Keeps the pointer out of the show (hidden in full screen); returns success.
bool CreateMouse(const GLWindow& window, bool exclusive);
// Fills the 256-byte DirectInput state from an SDL scancode state array of count entries.
void TranslateKeyState(const uint8_t* scancodeState, int count, uint8_t keyStates[256]);
// The DirectInput key code of an SDL scancode, 0 when it has none.
uint8_t DirectInputKeyCode(int scancode);
