// The program's own multi-line text box, used for the word columns.
//
// Wine's edit control keeps its lines in a linked list and walks it from the
// first line several times per keystroke and for every line it paints, so a
// column of a million words took a fifth of a second per typed character and
// a minute or more to show a dropped file. This box keeps the column's GBK
// bytes and an array of line starts (ui/text_box_model.h): a keystroke costs
// the lines it changes, a paint the lines it shows.
//
// Towards other code and other processes it answers the edit-control
// messages a multi-line edit box answers (WM_SETTEXT, WM_GETTEXT, EM_SETSEL,
// EM_REPLACESEL, EM_UNDO, WM_CUT/COPY/PASTE/CLEAR, EM_GETLINECOUNT, ...) with
// positions in UTF-16 units, and tells its parent EN_CHANGE after every change
// made by the user or by EM_REPLACESEL/EM_UNDO, never after WM_SETTEXT.
#pragma once

#include <windows.h>

#include <string>

namespace yz::ui {

inline constexpr wchar_t kTextBoxClass[] = L"YanzhouTextBox";

// Registers the window class once; true when it is available.
bool RegisterTextBoxClass();
bool IsTextBox(HWND hwnd);

// Window thread only. The box's text as GBK bytes, without a conversion;
// nullptr when hwnd is not a text box.
const std::string* TextBoxText(HWND hwnd);
// Replaces the whole text with GBK bytes, as WM_SETTEXT does (no EN_CHANGE,
// caret at the start, undo emptied).
bool SetTextBoxText(HWND hwnd, std::string text);

// The box's answer to WM_GETOBJECT for its client area: an accessible object
// that screen readers see as editable text holding the box's text; 0 when it
// cannot be made (the message then goes to DefWindowProc).
LRESULT TextBoxAccessibleObject(HWND hwnd, WPARAM wParam);

}  // namespace yz::ui
