// The drop target of a column box: accepts lists of files only and hands the
// dropped names on to the column.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include "columns/drop_win.h"
#include "ui/runtime.h"

namespace yz {
namespace {

FORMATETC FileListFormat() {
    FORMATETC format = {};
    format.cfFormat = CF_HDROP;
    format.ptd = nullptr;
    format.dwAspect = DVASPECT_CONTENT;
    format.lindex = -1;
    format.tymed = TYMED_HGLOBAL;
    return format;
}

// The names of the dragged list; empty when the data gives none.
std::vector<std::wstring> DroppedNames(IDataObject* data) {
    std::vector<std::wstring> names;
    FORMATETC format = FileListFormat();
    STGMEDIUM medium = {};
    if (data == nullptr || data->GetData(&format, &medium) != S_OK) return names;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal != nullptr) {
        // DragQueryFileW locks and reads the DROPFILES block itself.
        HDROP drop = static_cast<HDROP>(medium.hGlobal);
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        names.reserve(count);
        for (UINT i = 0; i < count; ++i) {
            const UINT length = DragQueryFileW(drop, i, nullptr, 0);
            std::wstring name(length, L'\0');
            if (length > 0) DragQueryFileW(drop, i, name.data(), length + 1);
            names.push_back(std::move(name));
        }
    }
    ReleaseStgMedium(&medium);
    return names;
}

}  // namespace

DroppedFiles FilesFromNames(std::vector<std::wstring> names) {
    DroppedFiles files;
    files.gbkNames.reserve(names.size());
    for (const std::wstring& name : names) files.gbkNames.push_back(ui::GbkFromWide(name));
    if (files.gbkNames.size() == 1) {
        files.listText = files.gbkNames[0];
    } else {
        for (const std::string& name : files.gbkNames) {
            files.listText += name;
            files.listText += "\r\n";
        }
    }
    files.names = std::move(names);
    return files;
}

DroppedFiles FilesFromListText(const std::string& listText) {
    DroppedFiles files;
    files.listText = listText;
    if (listText.empty()) return files;
    // A name never holds CR LF: without one the text is a single name.
    if (listText.find("\r\n") == std::string::npos) {
        files.gbkNames.push_back(listText);
    } else {
        std::size_t start = 0;
        while (start < listText.size()) {
            std::size_t end = listText.find("\r\n", start);
            if (end == std::string::npos) end = listText.size();
            files.gbkNames.push_back(listText.substr(start, end - start));
            start = end + 2;
        }
    }
    for (const std::string& name : files.gbkNames) files.names.push_back(ui::WideFromGbk(name));
    return files;
}

DWORD DropEffectFor(bool acceptable, DWORD keyState, DWORD allowed) {
    if (!acceptable) return DROPEFFECT_NONE;
    const bool ctrl = (keyState & MK_CONTROL) != 0;
    const bool shift = (keyState & MK_SHIFT) != 0;
    DWORD chosen = DROPEFFECT_NONE;
    if (ctrl && shift) {
        return DROPEFFECT_NONE;
    } else if (ctrl) {
        chosen = DROPEFFECT_COPY;
    } else if (shift) {
        chosen = DROPEFFECT_MOVE;
    } else {
        for (DWORD e : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK}) {
            if (allowed & e) return e;
        }
        return DROPEFFECT_NONE;
    }
    return (allowed & chosen) ? chosen : DROPEFFECT_NONE;
}

bool OffersFileList(IDataObject* data) {
    if (data == nullptr) return false;
    FORMATETC format = FileListFormat();
    return data->QueryGetData(&format) == S_OK;
}

DropTarget::DropTarget(FilesHandler onFiles) : onFiles_(std::move(onFiles)) {}

HRESULT STDMETHODCALLTYPE DropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL, DWORD* effect) {
    if (effect == nullptr) return E_INVALIDARG;
    acceptable_ = OffersFileList(data);
    *effect = DropEffectFor(acceptable_, keyState, *effect);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragOver(DWORD keyState, POINTL, DWORD* effect) {
    if (effect == nullptr) return E_INVALIDARG;
    *effect = DropEffectFor(acceptable_, keyState, *effect);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragLeave() {
    acceptable_ = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::Drop(IDataObject* data, DWORD keyState, POINTL, DWORD* effect) {
    const DWORD allowed = effect ? *effect : DROPEFFECT_NONE;
    const DWORD chosen = DropEffectFor(acceptable_, keyState, allowed);
    acceptable_ = false;
    if (effect) *effect = chosen;
    if (chosen != DROPEFFECT_NONE) {
        // Nothing may escape into the caller's COM machinery; a drop that
        // cannot even be listed is simply not taken.
        try {
            std::vector<std::wstring> names = DroppedNames(data);
            if (!names.empty() && onFiles_) onFiles_(FilesFromNames(std::move(names)));
        } catch (...) {
        }
    }
    // The source is never told that the drop succeeded, so that a move never
    // makes it delete the file that was just read.
    return E_FAIL;
}

}  // namespace yz
