// Program entry.
#include <windows.h>

#include "app/program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // ExitProcess ends a worker thread that may still be running before any
    // static object is destroyed under it.
    ExitProcess(static_cast<UINT>(yz::RunProgram()));
}
