// The clipboard and the export file.
#include "output/result_io_win.h"

#include <windows.h>

#include <cstring>

#include "ui/runtime.h"

namespace yz {

namespace {

bool WriteAll(HANDLE file, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(file, p, chunk, &written, nullptr) || written == 0) return false;
        p += written;
        left -= written;
    }
    return true;
}

}  // namespace

CopyOutcome PutClipboardText(std::string_view text) {
    if (!ui::OpenClipboardWithRetry(nullptr)) return CopyOutcome::Busy;
    EmptyClipboard();
    CopyOutcome outcome = CopyOutcome::NotPlaced;
    if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, text.size() + 1)) {
        if (void* p = GlobalLock(block)) {
            if (!text.empty()) std::memcpy(p, text.data(), text.size());
            GlobalUnlock(block);
            if (SetClipboardData(CF_TEXT, block)) {
                outcome = CopyOutcome::Placed;  // the block is the clipboard's now
                block = nullptr;
            }
        }
        if (block) GlobalFree(block);
    }
    CloseClipboard();
    return outcome;
}

bool WriteWholeFile(std::string_view gbkPath, std::string_view bytes) {
    // The name is GBK: converted with code page 936 explicitly, so the wide
    // API finds the same file on a system of any language.
    const std::wstring target = ui::WideFromGbk(gbkPath);
    if (target.empty()) return false;
    // Beside the target, so that the final rename stays on one volume; the
    // process id keeps two running copies of the program apart.
    const std::wstring temp = target + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";

    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = WriteAll(file, bytes);
    ok = ok && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    // Only a complete file may take the place of the earlier export; a file
    // another program holds open makes the rename fail and stays as it was.
    ok = ok && MoveFileExW(temp.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(temp.c_str());
    return ok;
}

std::string CopyMessage(CopyOutcome outcome) {
    switch (outcome) {
        case CopyOutcome::Placed: return {};
        case CopyOutcome::Busy: return "复制失败，剪贴板正被其他程序占用，请稍后再试";
        case CopyOutcome::NotPlaced: break;
    }
    return "复制失败，无法把结果放到剪贴板上，请稍后再试";
}

std::string ExportMessage(bool written, std::string_view gbkPath) {
    if (written) return "导出成功";
    std::string message = "导出失败，无法写入文件：";
    message.append(gbkPath);
    return message;
}

}  // namespace yz
