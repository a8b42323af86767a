#include "modal_watcher.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

static ModalWatcher *g_watcher;

ModalWatcher::ModalWatcher(std::function<void(HWND)> on_dialog,
                           std::function<void(HWND)> on_message_box)
    : on_dialog_(std::move(on_dialog)), on_message_box_(std::move(on_message_box))
{
    g_watcher = this;
    timer_ = SetTimer(nullptr, 0, 40, Tick);
}

ModalWatcher::~ModalWatcher()
{
    KillTimer(nullptr, timer_);
    if (g_watcher == this)
        g_watcher = nullptr;
}

void CALLBACK ModalWatcher::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_watcher)
        EnumThreadWindows(GetCurrentThreadId(), Visit, 0);
}

BOOL CALLBACK ModalWatcher::Visit(HWND window, LPARAM)
{
    ModalWatcher *self = g_watcher;
    char class_name[16] = "";
    GetClassNameA(window, class_name, sizeof class_name);
    if (!self || strcmp(class_name, "#32770") != 0 || !IsWindowVisible(window) ||
        std::find(self->handled_.begin(), self->handled_.end(), window) != self->handled_.end())
        return TRUE;
    // The settings dialog has the server field; a message box has none.
    if (GetDlgItem(window, 104)) {
        if (!IsWindowEnabled(window))
            return TRUE;  // its own message box is up
        self->handled_.push_back(window);
        self->dialogs++;
        if (self->on_dialog_)
            self->on_dialog_(window);
        else
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }
    self->handled_.push_back(window);
    char title[256] = "";
    GetWindowTextA(window, title, sizeof title);
    self->boxes.push_back({GetWindow(window, GW_OWNER), title, ControlText(window, 0xFFFF)});
    if (self->on_message_box_)
        self->on_message_box_(window);
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

std::string ControlText(HWND dialog, int id)
{
    char text[1024] = "";
    GetWindowTextA(GetDlgItem(dialog, id), text, sizeof text);
    return text;
}

void SetFieldText(HWND dialog, int id, const std::string &text)
{
    HWND control = GetDlgItem(dialog, id);
    SetFocus(control);
    SetWindowTextA(control, text.c_str());
}

void PressKey(HWND window, WPARAM key)
{
    HWND focus = GetFocus();
    HWND target = focus ? focus : window;
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

bool SaveWindowPicture(HWND window, const std::string &path)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return false;
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    UpdateWindow(window);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    int stride = (width * 3 + 3) & ~3;
    std::vector<char> pixels((size_t)stride * height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), (BITMAPINFO *)&info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER file_header = {};
    file_header.bfType = 0x4D42;
    file_header.bfOffBits = sizeof file_header + sizeof info;
    file_header.bfSize = file_header.bfOffBits + (DWORD)pixels.size();
    FILE *file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = fwrite(&file_header, sizeof file_header, 1, file) == 1 &&
                   fwrite(&info, sizeof info, 1, file) == 1 &&
                   fwrite(pixels.data(), pixels.size(), 1, file) == 1;
    return fclose(file) == 0 && written;
}
