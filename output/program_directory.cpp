#include "output/program_directory.h"

#include "text/text.h"

namespace yz {

std::string DirectoryOfModulePath(std::string_view modulePath) {
    // Walk by characters: the trail byte of a two-byte character may be 0x5C.
    std::size_t lastSlash = std::string_view::npos;
    std::size_t i = 0;
    while (i < modulePath.size()) {
        const unsigned char b = static_cast<unsigned char>(modulePath[i]);
        if (b == '\\') lastSlash = i;
        i += IsLeadByte(b) ? 2 : 1;
    }
    if (lastSlash == std::string_view::npos) return {};
    return std::string(modulePath.substr(0, lastSlash));
}

std::string ExportFilePath(std::string_view programDirectory) {
    // "\" + the export file name in GBK: 砚舟词语组合导出结果.txt
    static constexpr char kName[] =
        "\\\xD1\xE2\xD6\xDB\xB4\xCA\xD3\xEF\xD7\xE9\xBA\xCF\xB5\xBC\xB3\xF6\xBD\xE1\xB9\xFB.txt";
    return JoinTexts({programDirectory, std::string_view(kName, sizeof kName - 1)});
}

}  // namespace yz
