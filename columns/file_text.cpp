#include "columns/file_text.h"

namespace yz {

std::string TextFromFileBytes(const char* data, std::size_t size) {
    if (data == nullptr) return {};
    std::size_t i = 0;
    while (i < size) {
        const unsigned char b = static_cast<unsigned char>(data[i]);
        if (b == 0x00 || b == 0x1A) break;
        if (b >= 0x80) {
            // A lead byte as the very last byte is kept: it is a byte of the
            // file, and dropping it would change the file's content silently;
            // the text rules drop a half character where they need to.
            if (i + 1 >= size) {
                i = size;
                break;
            }
            if (data[i + 1] == 0x00) break;  // the text ends before the lead byte
            i += 2;
        } else {
            i += 1;
        }
    }
    return std::string(data, i);
}

}  // namespace yz
