#pragma once

// Presses keys through XTest on a connection of its own (kept apart so the
// X11 headers' macros stay out of the Qt code).
class XTestKeyboard {
public:
    XTestKeyboard();
    ~XTestKeyboard();
    XTestKeyboard(const XTestKeyboard &) = delete;
    XTestKeyboard &operator=(const XTestKeyboard &) = delete;

    bool ok() const { return m_display; }
    // Control and Alt down, then the letter down.
    void pressCtrlAlt(char letter);
    // The letter up, then Alt and Control.
    void releaseCtrlAlt(char letter);
    // Shift down and up: a key that nobody grabs.
    void tapShift();
    // The window that has the X server's input focus (0 for none or the root).
    unsigned long inputFocus();

private:
    void *m_display = nullptr;
};
