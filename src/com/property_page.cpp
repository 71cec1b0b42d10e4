// COMPropertyPage: the IPropertyPage protocol of a property frame over a
// library dialog.
#include <vesk/com/property_page.h>

#include <vesk/com/com_error.h>
#include <vesk/com/malloc.h>

#include "com_internal.h"

#include <cstring>

namespace vesk {

COMPropertyPage::COMPropertyPage(unsigned short dialogId, unsigned short title, HINSTANCE module)
    : Dialog(dialogId, module), titleId(title), dirty(false) {}

COMPropertyPage::COMPropertyPage(unsigned short dialogId, HINSTANCE module)
    : COMPropertyPage(dialogId, dialogId, module) {}

COMPropertyPage::~COMPropertyPage() {
    site.reset();
    if (handle) {
        try {
            destroy();
        } catch (...) {
        }
    }
}

HRESULT STDMETHODCALLTYPE COMPropertyPage::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    void* face = nullptr;
    try {
        face = iid == IID_IUnknown ? static_cast<IPropertyPage*>(this) : queryInterface(iid);
    } catch (...) {
        face = nullptr;
    }
    *object = face;
    if (!face)
        return E_NOINTERFACE;
    // Every interface handed out carries its reference, as COM requires.
    static_cast<IUnknown*>(face)->AddRef();
    return S_OK;
}

void* COMPropertyPage::queryInterface(const GUID& iid) {
    return iid == IID_IPropertyPage ? static_cast<IPropertyPage*>(this) : nullptr;
}

HRESULT STDMETHODCALLTYPE COMPropertyPage::SetPageSite(IPropertyPageSite* newSite) {
    if (newSite && site)
        return E_UNEXPECTED;
    return catchToHRESULT([&]() -> HRESULT {
        site.reset();
        if (newSite)
            // Asked for the interface, as COM would: a wrong object fails here.
            site = COMInterfacePointer<IPropertyPageSite>(static_cast<IUnknown*>(newSite));
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE COMPropertyPage::Activate(HWND parentWindow, LPCRECT rect, BOOL modal) {
    if (!rect)
        return E_POINTER;
    if (handle)
        return E_UNEXPECTED;
    return catchToHRESULT([&]() -> HRESULT {
        activate(parentWindow, *rect, modal != FALSE);
        return S_OK;
    });
}

void COMPropertyPage::activate(HWND parentWindow, const RECT& rect, bool) {
    dirty = false;
    create(parentWindow);
    Dialog::move(rect, true);
    show(SW_SHOWNORMAL);
}

HRESULT STDMETHODCALLTYPE COMPropertyPage::Deactivate() {
    if (!handle)
        return E_UNEXPECTED;
    return catchToHRESULT([&]() -> HRESULT {
        destroy();
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE COMPropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info)
        return E_POINTER;
    if (!site || handle)
        return E_UNEXPECTED;
    return catchToHRESULT([&]() -> HRESULT {
        std::memset(info, 0, sizeof(*info));
        info->cb = sizeof(*info);
        const BasicString<char> narrow = BasicString<char>::fromResource(titleId, instance);
        const std::wstring title = com_internal::fromAnsi(narrow.data(), narrow.size());
        auto* copy = static_cast<wchar_t*>(allocTaskMemory((title.size() + 1) * sizeof(wchar_t)));
        std::memcpy(copy, title.c_str(), (title.size() + 1) * sizeof(wchar_t));
        try {
            info->size = getWindowSize();
        } catch (...) {
            CoTaskMemFree(copy);
            throw;
        }
        info->pszTitle = copy;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE COMPropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    if (count > 0 && !objects)
        return E_POINTER;
    for (ULONG i = 0; i < count; ++i)
        if (!objects[i])
            return E_POINTER;
    return catchToHRESULT([&]() -> HRESULT {
        setObjects(objects, count);
        return S_OK;
    });
}

void COMPropertyPage::setObjects(IUnknown* const*, unsigned int) { setDirty(false); }

HRESULT STDMETHODCALLTYPE COMPropertyPage::Show(UINT command) {
    if (!handle)
        return E_UNEXPECTED;
    if (command != SW_HIDE && command != SW_SHOWNORMAL && command != SW_SHOW)
        return E_INVALIDARG;
    show(command);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COMPropertyPage::Move(LPCRECT rect) {
    if (!rect)
        return E_POINTER;
    if (!handle)
        return E_UNEXPECTED;
    return catchToHRESULT([&]() -> HRESULT {
        Dialog::move(*rect, true);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE COMPropertyPage::IsPageDirty() { return dirty ? S_OK : S_FALSE; }

HRESULT STDMETHODCALLTYPE COMPropertyPage::Apply() {
    if (!dirty)
        return S_OK;
    return catchToHRESULT([&]() -> HRESULT {
        if (!apply())
            return S_FALSE;
        dirty = false;
        return S_OK;
    });
}

bool COMPropertyPage::apply() { return true; }

HRESULT STDMETHODCALLTYPE COMPropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE COMPropertyPage::TranslateAccelerator(MSG* message) {
    return message ? S_FALSE : E_POINTER;
}

void COMPropertyPage::setDirty(bool value) {
    if (value == dirty)
        return;
    dirty = value;
    if (site)
        site->OnStatusChange(value ? PROPPAGESTATUS_DIRTY : PROPPAGESTATUS_VALIDATE);
}

} // namespace vesk
