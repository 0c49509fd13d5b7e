// MessageBoxW: each front end shows the box its own way by installing a
// handler (a modal dialog in the window, a line on standard error in a
// console program, a record in tests). With none installed the text goes to
// standard error and the call answers IDOK.
#pragma once

#include "platform/base/WinTypes.h"

#include <functional>
#include <string>

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr int IDOK = 1;

using MessageBoxHandler =
    std::function<int(HWND owner, const std::u16string& text, const std::u16string& caption, UINT type)>;

// An empty handler restores the standard-error default.
void InstallMessageBoxHandler(MessageBoxHandler handler);

// Returns when the handler has returned (for a modal box: when the user closed it).
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
