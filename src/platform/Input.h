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

// The viewer's controls, with the keys of the common media players.
enum class ViewerKey {
  None,
  PlayPause,     // Space, p
  Back,          // Left: 5 s back
  Forward,       // Right: 5 s forward
  LongForward,   // Up: 60 s forward
  LongBack,      // Down: 60 s back
  ToStart,       // Home
  FrameBack,     // ,
  FrameForward,  // .
  FullScreen,    // f, F11, Alt+Enter, a double click
  Screenshot,    // s
  Mute,          // m
  VolumeDown,    // 9
  VolumeUp,      // 0
  Display,       // o
  Loop,          // L (with or without Shift)
  Quit,          // q
};
// The control of a key press: an SDL key code (the layout's character) with its modifiers
// (SDL's KMOD bits); None for every other key and for Ctrl or GUI combinations.
ViewerKey ViewerKeyOf(int keycode, int modifiers);
// Key presses (not a held key's repeats) and double clicks on the program's windows are kept in
// order from CreateKeyboard on, whoever takes the events (at most 64 wait; more are dropped).
// Takes the oldest; false when none waits.
bool TakeViewerKey(ViewerKey& key);
// Forgets the presses waiting.
void ClearViewerKeys();
