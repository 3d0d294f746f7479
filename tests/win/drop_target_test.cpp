// The column drop target driven directly through IDropTarget with a data
// object of our own: what it accepts, the effect it answers, and what a drop
// hands on.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "columns/drop_win.h"

namespace yz {
namespace {

// A data object that offers the given formats; CF_HDROP data is a fresh
// DROPFILES with wide names on every GetData. It records what it was asked.
class FakeData final : public IDataObject {
public:
    std::vector<FORMATETC> offered;
    std::vector<std::wstring> names;
    std::vector<FORMATETC> queried;  // every FORMATETC passed to QueryGetData/GetData
    int getDataCalls = 0;

    static FORMATETC Format(CLIPFORMAT cf, DWORD tymed = TYMED_HGLOBAL) {
        return FORMATETC{cf, nullptr, DVASPECT_CONTENT, -1, tymed};
    }
    static CLIPFORMAT Registered(const wchar_t* name) {
        return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(name));
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the test's stack.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        queried.push_back(*format);
        return Offers(*format) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        ++getDataCalls;
        queried.push_back(*format);
        if (!Offers(*format)) return DV_E_FORMATETC;
        if (format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
        std::wstring list;
        for (const std::wstring& n : names) list += n + L'\0';
        list += L'\0';
        const SIZE_T bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
        HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        auto* drop = static_cast<DROPFILES*>(GlobalLock(global));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
        GlobalUnlock(global);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = global;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    bool Offers(const FORMATETC& f) const {
        for (const FORMATETC& o : offered) {
            if (o.cfFormat == f.cfFormat && o.dwAspect == f.dwAspect && o.lindex == f.lindex && (o.tymed & f.tymed))
                return true;
        }
        return false;
    }
};

// A target whose drops are recorded.
struct Recorder {
    std::vector<DroppedFiles> drops;
    DropTarget* target = new DropTarget([this](const DroppedFiles& f) { drops.push_back(f); });
    ~Recorder() { target->Release(); }
};

constexpr DWORD kAll = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
constexpr POINTL kPoint = {10, 10};

DWORD Enter(DropTarget* target, FakeData& data, DWORD keys, DWORD allowed) {
    DWORD effect = allowed;
    EXPECT_EQ(target->DragEnter(&data, keys, kPoint, &effect), S_OK);
    return effect;
}

FakeData FileList(std::vector<std::wstring> names) {
    FakeData data;
    data.offered = {FakeData::Format(CF_HDROP)};
    data.names = std::move(names);
    return data;
}

TEST(DropTarget, AcceptsOnlyAListOfFilesInGlobalMemory) {
    struct Case {
        const char* what;
        std::vector<FORMATETC> offered;
        bool accepted;
    };
    const Case cases[] = {
        {"file list", {FakeData::Format(CF_HDROP)}, true},
        {"file list among others",
         {FakeData::Format(CF_TEXT), FakeData::Format(CF_HDROP), FakeData::Format(CF_UNICODETEXT)}, true},
        {"text", {FakeData::Format(CF_TEXT), FakeData::Format(CF_UNICODETEXT)}, false},
        {"link", {FakeData::Format(FakeData::Registered(L"UniformResourceLocator")),
                  FakeData::Format(FakeData::Registered(L"UniformResourceLocatorW"))}, false},
        {"HTML", {FakeData::Format(FakeData::Registered(L"HTML Format"))}, false},
        {"file list as a stream only", {FakeData::Format(CF_HDROP, TYMED_ISTREAM)}, false},
        {"nothing", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Recorder r;
        FakeData data;
        data.offered = c.offered;
        data.names = {L"C:\\a.txt"};
        EXPECT_EQ(Enter(r.target, data, 0, kAll), c.accepted ? DROPEFFECT_COPY : DROPEFFECT_NONE);
        // What was asked: the file list, its content, all of it, in global memory.
        ASSERT_FALSE(data.queried.empty());
        for (const FORMATETC& f : data.queried) {
            EXPECT_EQ(f.cfFormat, CF_HDROP);
            EXPECT_EQ(f.dwAspect, static_cast<DWORD>(DVASPECT_CONTENT));
            EXPECT_EQ(f.lindex, -1);
            EXPECT_EQ(f.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
            EXPECT_EQ(f.ptd, nullptr);
        }
        DWORD effect = kAll;
        EXPECT_EQ(r.target->Drop(&data, 0, kPoint, &effect), E_FAIL);
        EXPECT_EQ(r.drops.size(), c.accepted ? 1u : 0u);
    }
}

TEST(DropTarget, EffectFromKeysAndAllowedEffects) {
    constexpr DWORD N = DROPEFFECT_NONE, C = DROPEFFECT_COPY, M = DROPEFFECT_MOVE, L = DROPEFFECT_LINK;
    // Expected effect by allowed mask 0..7 (bit 1 copy, 2 move, 4 link).
    struct Row {
        const char* keys;
        DWORD keyState;
        DWORD byMask[8];
    };
    const Row rows[] = {
        {"no key", 0, {N, C, M, C, L, C, M, C}},
        {"Ctrl", MK_CONTROL, {N, C, N, C, N, C, N, C}},
        {"Shift", MK_SHIFT, {N, N, M, M, N, N, M, M}},
        {"Ctrl+Shift", MK_CONTROL | MK_SHIFT, {N, N, N, N, N, N, N, N}},
        // Mouse buttons and Alt do not choose an effect.
        {"left button", MK_LBUTTON, {N, C, M, C, L, C, M, C}},
        {"Alt", MK_ALT, {N, C, M, C, L, C, M, C}},
        {"left button, Ctrl", MK_LBUTTON | MK_CONTROL, {N, C, N, C, N, C, N, C}},
        {"right button, Shift", MK_RBUTTON | MK_SHIFT, {N, N, M, M, N, N, M, M}},
        {"left button, Ctrl+Shift", MK_LBUTTON | MK_CONTROL | MK_SHIFT, {N, N, N, N, N, N, N, N}},
    };
    for (const Row& row : rows) {
        for (DWORD mask = 0; mask < 8; ++mask) {
            SCOPED_TRACE(std::string(row.keys) + ", allowed mask " + std::to_string(mask));
            const DWORD want = row.byMask[mask];
            // The scroll flag that a source may add changes nothing.
            for (DWORD allowed : {mask, mask | static_cast<DWORD>(DROPEFFECT_SCROLL)}) {
                Recorder r;
                FakeData data = FileList({L"C:\\a.txt"});
                EXPECT_EQ(Enter(r.target, data, row.keyState, allowed), want);
                DWORD effect = allowed;
                EXPECT_EQ(r.target->DragOver(row.keyState, kPoint, &effect), S_OK);
                EXPECT_EQ(effect, want);
                effect = allowed;
                EXPECT_EQ(r.target->Drop(&data, row.keyState, kPoint, &effect), E_FAIL);
                EXPECT_EQ(effect, want);
                // Only a drop with an effect hands the files on.
                EXPECT_EQ(r.drops.size(), want == N ? 0u : 1u);
            }
            // Data that is not a file list gives no effect whatever is held.
            Recorder r;
            FakeData text;
            text.offered = {FakeData::Format(CF_TEXT)};
            EXPECT_EQ(Enter(r.target, text, row.keyState, mask), N);
        }
    }
}

TEST(DropTarget, EachDropHandsOnItsNamesOnceAndIsAnsweredFail) {
    struct Case {
        const char* what;
        std::vector<std::wstring> names;
        std::string listText;
    };
    const Case cases[] = {
        {"one file", {L"C:\\w\\a.txt"}, "C:\\w\\a.txt"},
        {"a Chinese name", {L"C:\\\u8bcd\u8bed.txt"}, "C:\\\xB4\xCA\xD3\xEF.txt"},  // 词语
        {"three files", {L"C:\\a", L"C:\\b", L"D:\\c d.txt"}, "C:\\a\r\nC:\\b\r\nD:\\c d.txt\r\n"},
    };
    std::vector<std::wstring> thousand;
    std::string thousandText;
    for (int i = 0; i < 1000; ++i) {
        thousand.push_back(L"C:\\files\\" + std::to_wstring(i) + L".txt");
        thousandText += "C:\\files\\" + std::to_string(i) + ".txt\r\n";
    }
    std::vector<Case> all(std::begin(cases), std::end(cases));
    all.push_back({"1,000 files", thousand, thousandText});
    for (const Case& c : all) {
        SCOPED_TRACE(c.what);
        Recorder r;
        FakeData data = FileList(c.names);
        Enter(r.target, data, MK_LBUTTON, kAll);
        DWORD effect = kAll;
        EXPECT_EQ(r.target->Drop(&data, 0, kPoint, &effect), E_FAIL);
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
        ASSERT_EQ(r.drops.size(), 1u);
        EXPECT_EQ(r.drops[0].listText, c.listText);
        EXPECT_EQ(r.drops[0].names, c.names);
        EXPECT_EQ(data.getDataCalls, 1);
    }
}

TEST(DropTarget, NameOutsideGbkKeepsItsWideFormForOpening) {
    Recorder r;
    const std::wstring name = L"C:\\\uD55C\u0E01.txt";  // Hangul and Thai: not in GBK
    FakeData data = FileList({name});
    Enter(r.target, data, 0, kAll);
    DWORD effect = kAll;
    EXPECT_EQ(r.target->Drop(&data, 0, kPoint, &effect), E_FAIL);
    ASSERT_EQ(r.drops.size(), 1u);
    EXPECT_EQ(r.drops[0].names[0], name);
    EXPECT_EQ(r.drops[0].listText, "C:\\??.txt");
}

TEST(DropTarget, LeavingOrNoEntryMeansNoDrop) {
    {
        SCOPED_TRACE("entered, then left");
        Recorder r;
        FakeData data = FileList({L"C:\\a.txt"});
        EXPECT_EQ(Enter(r.target, data, 0, kAll), static_cast<DWORD>(DROPEFFECT_COPY));
        EXPECT_EQ(r.target->DragLeave(), S_OK);
        DWORD effect = kAll;
        EXPECT_EQ(r.target->DragOver(0, kPoint, &effect), S_OK);
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
        effect = kAll;
        EXPECT_EQ(r.target->Drop(&data, 0, kPoint, &effect), E_FAIL);
        EXPECT_TRUE(r.drops.empty());
    }
    {
        SCOPED_TRACE("text entered, then a file list dropped");
        Recorder r;
        FakeData text;
        text.offered = {FakeData::Format(CF_TEXT)};
        Enter(r.target, text, 0, kAll);
        FakeData files = FileList({L"C:\\a.txt"});
        DWORD effect = kAll;
        EXPECT_EQ(r.target->Drop(&files, 0, kPoint, &effect), E_FAIL);
        EXPECT_TRUE(r.drops.empty());
    }
    {
        SCOPED_TRACE("two drops in a row");
        Recorder r;
        for (int i = 0; i < 2; ++i) {
            FakeData data = FileList({L"C:\\a.txt"});
            Enter(r.target, data, 0, kAll);
            DWORD effect = kAll;
            EXPECT_EQ(r.target->Drop(&data, 0, kPoint, &effect), E_FAIL);
        }
        EXPECT_EQ(r.drops.size(), 2u);
    }
}

TEST(DropTarget, ListTextBackToNames) {
    DroppedFiles one = FilesFromListText("C:\\\xB4\xCA.txt");
    EXPECT_EQ(one.names, std::vector<std::wstring>{L"C:\\\u8bcd.txt"});
    DroppedFiles two = FilesFromListText("C:\\a\r\nC:\\b\r\n");
    EXPECT_EQ(two.names, (std::vector<std::wstring>{L"C:\\a", L"C:\\b"}));
    EXPECT_TRUE(FilesFromListText("").names.empty());
}

}  // namespace
}  // namespace yz
