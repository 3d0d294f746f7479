// Reading a dropped file and deciding what the drop does to the column.
#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

#include "columns/drop_win.h"
#include "columns/file_text.h"

namespace yz {
namespace {

struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

// Lengths from 2^31 on do not fit the texts' signed 32-bit lengths.
constexpr LONGLONG kTooLarge = 0x80000000LL;

}  // namespace

FileRead ReadTextFile(const std::wstring& name) {
    FileRead result;
    if (name.empty()) return result;
    // Other programs may go on reading and writing the file; a file that does
    // not exist is never created.
    HANDLE raw = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
        result.status = FileRead::CannotOpen;
        return result;
    }
    FileHandle file(raw);
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(raw, &size) || size.QuadPart < 0) {
        result.status = FileRead::ReadError;
        return result;
    }
    if (size.QuadPart >= kTooLarge) {
        result.status = FileRead::TooLarge;
        return result;
    }
    if (size.QuadPart == 0) return result;

    const DWORD wanted = static_cast<DWORD>(size.QuadPart);
    std::string bytes;
    try {
        bytes.resize(wanted);
    } catch (const std::bad_alloc&) {
        result.status = FileRead::TooLarge;
        return result;
    }
    DWORD got = 0;
    if (!ReadFile(raw, bytes.data(), wanted, &got, nullptr)) {
        result.status = FileRead::ReadError;
        return result;
    }
    file.reset();  // the text is read: the file is not held any longer
    bytes.resize(got);
    // Without a 0x00 or 0x1A byte anywhere the walk takes every byte: keep
    // the bytes read rather than copy 10 MB of words once more.
    if (std::memchr(bytes.data(), 0x00, bytes.size()) == nullptr &&
        std::memchr(bytes.data(), 0x1A, bytes.size()) == nullptr) {
        result.text = std::move(bytes);
        return result;
    }
    try {
        result.text = TextFromFileBytes(bytes.data(), bytes.size());
    } catch (const std::bad_alloc&) {
        result.status = FileRead::TooLarge;
    }
    return result;
}

ImportPlan PlanImport(const DroppedFiles& files) {
    ImportPlan plan;
    if (files.names.empty()) return plan;
    if (files.names.size() > 1) {
        plan.action = ImportPlan::Tell;
        plan.message = "一次只能拖入一个文件";
        return plan;
    }
    // A blank name from a malformed list names no file at all.
    FileRead read = files.names[0].empty() ? FileRead{FileRead::CannotOpen, {}} : ReadTextFile(files.names[0]);
    if (read.status == FileRead::Ok) {
        plan.action = ImportPlan::Write;
        plan.text = std::move(read.text);
        return plan;
    }
    plan.action = ImportPlan::Tell;
    const std::string& name = files.gbkNames.empty() ? files.listText : files.gbkNames[0];
    plan.message = (read.status == FileRead::TooLarge ? "文件太大，无法导入：" : "无法读取文件：") + name;
    return plan;
}

}  // namespace yz
