// IUnknown for the program's small COM objects: one reference count, freed
// at the last Release, and QueryInterface answering IUnknown and the
// interfaces listed. A class derives from ComObject<Interface, IID_...> and
// implements only the interface's own methods.
#pragma once

#include <windows.h>
#include <objbase.h>

namespace yz::ui {

template <class Interface, const IID&... Answers>
class ComObject : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || (IsEqualIID(riid, Answers) || ...)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

private:
    LONG refs_ = 1;
};

}  // namespace yz::ui
