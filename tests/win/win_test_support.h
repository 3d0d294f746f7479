// Small helpers the Win32-layer tests share.
#pragma once

#include <windows.h>

#include <string>

#include "tests/support/win_files.h"

namespace yz::test {

// Handles what is queued for this thread's windows.
inline void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Pumps until done() or ms milliseconds have passed; gives done().
template <class F>
bool PumpUntil(F done, int ms = 5000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > static_cast<DWORD>(ms)) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        Pump();
    }
    return true;
}

// Wine's clipboard manager may hold the clipboard for a moment.
inline bool OpenClipboardSoon(HWND owner = nullptr) {
    for (int i = 0; i < 100; ++i) {
        if (OpenClipboard(owner)) return true;
        Sleep(10);
    }
    return false;
}

}  // namespace yz::test
