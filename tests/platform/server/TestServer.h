// A tiny in-process server used only by the tests: one class, CLSID_TestCounter,
// whose objects count calls, and the four exports of a real server library.
#pragma once

#include "platform/com/Com.h"

// {3C1D6E0A-5B7F-4C11-9E2A-7D4B1F0C8A21}
inline constexpr CLSID CLSID_TestCounter{0x3C1D6E0A, 0x5B7F, 0x4C11, {0x9E, 0x2A, 0x7D, 0x4B, 0x1F, 0x0C, 0x8A, 0x21}};
// {8F2A9B44-0D6C-4E3B-A1F7-52C93E6D0B18}
inline constexpr IID IID_ITestCounter{0x8F2A9B44, 0x0D6C, 0x4E3B, {0xA1, 0xF7, 0x52, 0xC9, 0x3E, 0x6D, 0x0B, 0x18}};

struct ITestCounter : IUnknown {
    virtual LONG Increment() = 0;

protected:
    ~ITestCounter() = default;
};
