// The clipboard and the export file: the two places the result leaves the
// program. Kept apart from the handlers so that they can be tested without a
// window.
#pragma once

#include <string>
#include <string_view>

namespace yz {

enum class CopyOutcome {
    Placed,     // the clipboard holds the text as CF_TEXT, nothing else
    Busy,       // another program kept the clipboard open; it is unchanged
    NotPlaced,  // opened and emptied, but the text could not be handed over
};

// Replaces the clipboard's contents by the GBK bytes of text as CF_TEXT, the
// bytes as they are plus one zero. Opening is retried for about 100 ms, since
// another program (or Wine's clipboard manager) may hold it for a moment.
CopyOutcome PutClipboardText(std::string_view text);

// Writes bytes as the whole content of the file at gbkPath: into a temporary
// file beside it first, flushed and closed, which then replaces the file.
// True only when all of that succeeded; on false the file at gbkPath is as it
// was and the temporary file is gone.
bool WriteWholeFile(std::string_view gbkPath, std::string_view bytes);

// What the user is told: empty when nothing is to be shown.
std::string CopyMessage(CopyOutcome outcome);
std::string ExportMessage(bool written, std::string_view gbkPath);

}  // namespace yz
