// Drives the modal windows that the plug-in shows on the test's thread: the
// message boxes are read and closed, the settings dialog is handed to the
// test. It works from a thread timer, which every modal loop runs.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct SeenMessageBox {
    HWND owner;
    std::string title;  // ANSI (code page 932) bytes, as shown
    std::string text;
};

class ModalWatcher {
public:
    // on_dialog runs once for each settings dialog that opens and must end
    // it (by posting a command or a key). Message boxes are closed with OK;
    // before that, on_message_box (when given) sees each of them.
    explicit ModalWatcher(std::function<void(HWND)> on_dialog = nullptr,
                          std::function<void(HWND)> on_message_box = nullptr);
    ~ModalWatcher();
    std::vector<SeenMessageBox> boxes;
    int dialogs = 0;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    static BOOL CALLBACK Visit(HWND window, LPARAM);
    std::function<void(HWND)> on_dialog_;
    std::function<void(HWND)> on_message_box_;
    std::vector<HWND> handled_;
    UINT_PTR timer_;
};

std::string ControlText(HWND dialog, int id);
// Replaces the control's text, as pasting would; unlike typing, not bounded
// by the field's visible width.
void SetFieldText(HWND dialog, int id, const std::string &text);
// Presses a key in the control that has the focus.
void PressKey(HWND window, WPARAM key);

// Writes the window's pixels, as the screen shows them, to a PNG-convertible
// 24-bit BMP file. False when it could not.
bool SaveWindowPicture(HWND window, const std::string &path);
