// The byte walk of a dropped file against a reference that first marks the
// character starts and then looks for the end.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "columns/file_text.h"
#include "text/word_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    // The length of the text: the first 00 or 1A at a character start, or a
    // lead byte whose trail is 00; else everything (a final lead byte kept).
    std::size_t end = size;
    for (std::size_t i = 0; i < size;) {
        const unsigned char b = data[i];
        if (b == 0x00 || b == 0x1A) {
            end = i;
            break;
        }
        if (b >= 0x80 && i + 1 < size && data[i + 1] == 0x00) {
            end = i;
            break;
        }
        i += b >= 0x80 ? 2 : 1;
    }
    const std::string text = yz::TextFromFileBytes(bytes, size);
    if (text != std::string(bytes, end)) std::abort();
    if (text.find('\0') != std::string::npos) std::abort();  // a text never holds a zero byte
    // Whatever a file holds, the column gets a list and a count.
    const yz::WordList list = yz::WordListFromText(text);
    if (list.MemberCount() < 0) std::abort();
    return 0;
}
