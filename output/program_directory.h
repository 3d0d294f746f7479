// Where the program lives and where its export file goes.
#pragma once

#include <string>
#include <string_view>

namespace yz {

// The module path cut before its last backslash, found by a walk by
// characters so that a trail byte of 0x5C is never taken for a backslash.
// "C:\Tools\a.exe" -> "C:\Tools"; "D:\a.exe" -> "D:". No backslash: "".
std::string DirectoryOfModulePath(std::string_view modulePath);

// ProgramDirectory + "\" + the export file name.
std::string ExportFilePath(std::string_view programDirectory);

}  // namespace yz
