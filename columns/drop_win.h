// File drops onto the column boxes: the OLE drop target that takes a list of
// files, and the reading of the dropped file into a column's text.
//
// Names are read wide (DragQueryFileW) and kept both ways: as GBK texts for
// everything the user sees, and wide for opening the file, so that a name
// with characters outside GBK still opens.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/com_object_win.h"

namespace yz {

// What one drop hands on.
struct DroppedFiles {
    // Each name as a GBK text; one name alone, or several each followed by
    // CR LF.
    std::string listText;
    std::vector<std::string> gbkNames;
    std::vector<std::wstring> names;  // the same names, wide, for opening
};

// The names of a list text: one name, or the CR LF-terminated names of
// several. For a caller that only has the text.
DroppedFiles FilesFromListText(const std::string& listText);
// The list text of wide names, converted with code page 936.
DroppedFiles FilesFromNames(std::vector<std::wstring> names);

// The drop effect for the keys held (MK_CONTROL, MK_SHIFT) and the effects the
// source allows: Ctrl -> copy, Shift -> move, both -> none; neither -> copy,
// else move, else link. A chosen effect that the source does not allow, or
// data that is not a list of files, gives DROPEFFECT_NONE.
DWORD DropEffectFor(bool acceptable, DWORD keyState, DWORD allowed);

// True when the data offers a list of files: CF_HDROP, DVASPECT_CONTENT, all
// pieces, TYMED_HGLOBAL.
bool OffersFileList(IDataObject* data);

// One column's drop target. Drop raises onFiles once, synchronously, with the
// dropped names, and always answers E_FAIL: the source must not delete or
// otherwise act on the files.
class DropTarget final : public ui::ComObject<IDropTarget, IID_IDropTarget> {
public:
    using FilesHandler = std::function<void(const DroppedFiles&)>;
    explicit DropTarget(FilesHandler onFiles);

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

private:
    ~DropTarget() override = default;
    bool acceptable_ = false;  // decided on entering, cleared on leaving
    FilesHandler onFiles_;
};

// Reading a dropped file. The statuses other than Ok mean the column must be
// kept as it is.
struct FileRead {
    enum Status { Ok, CannotOpen, TooLarge, ReadError } status = Ok;
    std::string text;  // Ok: the file's text, possibly empty
};

// Opens with read access and read-write sharing, takes the whole file in one
// read and closes it again; the text ends at the first 0x00 or 0x1A at a
// character start. A file of 2^31 bytes or more, or one that does not fit in
// memory, is TooLarge. An empty name gives the empty text.
FileRead ReadTextFile(const std::wstring& name);

// What a drop onto a column comes to: a text that replaces the column's text,
// a message for the user with the column kept, or nothing at all.
struct ImportPlan {
    enum Action { Nothing, Write, Tell } action = Nothing;
    std::string text;     // Write: the column's new text
    std::string message;  // Tell: GBK, shown titled "提示"
};
ImportPlan PlanImport(const DroppedFiles& files);

// Applies a drop to column 1..4 through the runtime: writes the column's text
// (its change handling runs once) or shows the message.
void ImportDroppedFiles(int column, const DroppedFiles& files);

}  // namespace yz
