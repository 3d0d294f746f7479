// ResultLines against a naive model: the box's whole text, cut into lines
// afresh for every question.
//
// Input: the box's text up to the first 0x00 byte, then commands separated by
// 0x00. A command's first byte picks what it does with the rest:
// 'a' appends the rest as a line, 'i' appends it unless present, 'r' resets
// the box to the rest, 's' saves a checkpoint, 'b' rolls back to it (a reset
// in between makes it void), anything else only asks whether the rest is a
// line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "generator/combination_run.h"
#include "tests/support/reference.h"

namespace {

bool ModelContains(const std::string& box, std::string_view line) {
    for (const std::string& l : yz::reference::CutLines(box)) {
        if (l == line) return true;
    }
    return false;
}

std::size_t ModelCount(const std::string& box) {
    std::vector<std::string> lines = yz::reference::CutLines(box);
    std::size_t n = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        bool seen = false;
        for (std::size_t k = 0; k < i && !seen; ++k) seen = lines[k] == lines[i];
        if (!seen) ++n;
    }
    return n;
}

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t pos = input.find('\0');
    std::string box(input.substr(0, pos));
    yz::ResultLines lines;
    lines.Reset(box);
    yz::ResultLines::Checkpoint mark = lines.Save();
    std::string markBox = box;
    bool markValid = true;
    int steps = 0;
    while (pos != std::string_view::npos && pos < input.size() && ++steps < 200) {
        const std::size_t start = pos + 1;
        pos = input.find('\0', start);
        std::string_view cmd = input.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start);
        const char op = cmd.empty() ? '?' : cmd[0];
        const std::string_view arg = cmd.empty() ? cmd : cmd.substr(1);
        const bool present = ModelContains(box, arg);
        Check(lines.Contains(arg) == present);
        if (op == 'a') {
            lines.Append(arg);
            box.append(arg);
            box.append("\r\n");
        } else if (op == 'i') {
            Check(lines.AppendIfAbsent(arg) == !present);
            if (!present) {
                box.append(arg);
                box.append("\r\n");
            }
        } else if (op == 'r') {
            box.assign(arg);
            lines.Reset(box);
            markValid = false;
        } else if (op == 's') {
            mark = lines.Save();
            markBox = box;
            markValid = true;
        } else if (op == 'b') {
            lines.Rollback(mark);
            if (markValid) box = markBox;
        }
        Check(lines.LineCount() == ModelCount(box));
    }
    return 0;
}
