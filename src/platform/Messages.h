// Messages to the user and the error beep: a message box on a real display, standard error otherwise.
#pragma once
#include <functional>
#include <string>

// Shows text under caption. Blocks on a modal box only when an interactive display is in use.
void ShowMessage(const std::string& caption, const std::string& text);
// Whether message boxes may be shown (a real display, not offscreen, capture or tests).
void SetInteractiveDisplay(bool interactive);
bool IsInteractiveDisplay();
// Tests install a recorder to see which messages appeared; an empty function removes it.
using MessageRecorder = std::function<void(const std::string& caption, const std::string& text)>;
void SetMessageRecorder(MessageRecorder recorder);
// The system error beep: a BEL on standard error when it is a terminal, nothing otherwise.
void ErrorBeep();
