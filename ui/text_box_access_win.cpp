// What screen readers see of the program's own text box: the system's
// standard object for a window's client area, except that the box says it is
// editable text and gives its text as its value, as the system's edit boxes do.
#include <windows.h>
#include <oleacc.h>

#include <string>

#include "ui/com_object_win.h"
#include "ui/text_box_win.h"

namespace yz::ui {
namespace {

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

class TextBoxAccessible final : public ComObject<IAccessible, IID_IDispatch, IID_IAccessible> {
public:
    TextBoxAccessible(HWND hwnd, IAccessible* standard) : hwnd_(hwnd), standard_(standard) {}

    // IDispatch: the standard object's.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return standard_->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID lcid, ITypeInfo** info) override {
        return standard_->GetTypeInfo(i, lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT n, LCID lcid, DISPID* ids) override {
        return standard_->GetIDsOfNames(riid, names, n, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* info, UINT* arg) override {
        return standard_->Invoke(id, riid, lcid, flags, params, result, info, arg);
    }

    // IAccessible: role and value are the box's own, the rest is standard.
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!IsSelf(child)) return standard_->get_accRole(child, role);
        if (!role) return E_POINTER;
        VariantInit(role);
        role->vt = VT_I4;
        role->lVal = ROLE_SYSTEM_TEXT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (!IsSelf(child)) return standard_->get_accValue(child, value);
        if (!value) return E_POINTER;
        const auto length = static_cast<int>(SendMessageW(hwnd_, WM_GETTEXTLENGTH, 0, 0));
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        const auto got = static_cast<int>(
            SendMessageW(hwnd_, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
        *value = SysAllocStringLen(text.data(), static_cast<UINT>(got > 0 ? got : 0));
        return *value ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return standard_->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return standard_->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        return standard_->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return standard_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return standard_->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return standard_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return standard_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
        return standard_->get_accKeyboardShortcut(child, keys);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return standard_->get_accFocus(focus); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        return standard_->get_accSelection(selection);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return standard_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return standard_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT child) override {
        return standard_->accLocation(x, y, w, h, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long dir, VARIANT start, VARIANT* end) override {
        return standard_->accNavigate(dir, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        return standard_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return standard_->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return standard_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return standard_->put_accValue(child, value);
    }

private:
    ~TextBoxAccessible() override { standard_->Release(); }

    HWND hwnd_;
    IAccessible* standard_;
};

}  // namespace

LRESULT TextBoxAccessibleObject(HWND hwnd, WPARAM wParam) {
    IAccessible* standard = nullptr;
    if (FAILED(CreateStdAccessibleObject(hwnd, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&standard))) ||
        !standard)
        return 0;
    auto* box = new TextBoxAccessible(hwnd, standard);
    const LRESULT r = LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(box));
    box->Release();
    return r > 0 ? r : 0;
}

}  // namespace yz::ui
