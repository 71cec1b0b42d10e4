// The sample in-process server on the library's COM core and interface halves;
// its entry points forward to the module.
#include "sample_server.h"

#include <vesk/com/module.h>
#include <vesk/com/property_page.h>
#include <vesk/com/shell_extension.h>

#include <shlobj.h>
#include <uuids.h>

#include <stdexcept>
#include <string>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

class Extension : public vesk::IShellExtInitImpl, public vesk::IContextMenuImpl, public vesk::IUnknownImpl {
public:
    VESK_FORWARD_IUNKNOWN
    void* queryInterface(const GUID& iid) override {
        if (iid == IID_IShellExtInit) return static_cast<IShellExtInit*>(this);
        if (iid == IID_IContextMenu) return static_cast<IContextMenu*>(this);
        return IUnknownImpl::queryInterface(iid);
    }
    void initialize(const std::list<vesk::BasicString<char>>& names) override {
        files.clear();
        for (const auto& f : names) files += (files.empty() ? "" : "; ") + f;
    }
    unsigned addMenuItems(HMENU menu, unsigned position, unsigned firstId, unsigned idCount, unsigned) override {
        unsigned added = 0;
        for (; added < 3 && added < idCount; ++added)
            InsertMenuA(menu, position + added, MF_BYPOSITION | MF_STRING, firstId + added, sample::commands[added]);
        return added;
    }
    vesk::BasicString<char> getCommandHelp(unsigned command) override { return sample::helpTexts[command]; }
    void invokeCommand(unsigned command, unsigned long, HWND window) override {
        if (command == 0 && !SetWindowTextA(window, files.c_str())) throw vesk::WindowsError("Can't name the window");
        if (command == 1) throw vesk::WindowsError(ERROR_FILE_NOT_FOUND, "Can't find it");
        if (command == 2) throw std::runtime_error("The sample refuses this command");
    }
    std::string files;
};

// The page's QueryInterface adds the reference; the count is the object's.
class Page : public vesk::COMPropertyPage, public vesk::IUnknownImpl {
public:
    Page() : COMPropertyPage(sample::pageTemplate, sample::pageTitle, reinterpret_cast<HINSTANCE>(&__ImageBase)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return COMPropertyPage::QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return forwardAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return forwardRelease(); }
    void* queryInterface(const GUID& iid) override {
        return iid == IID_IPropertyPage ? static_cast<IPropertyPage*>(this) : IUnknownImpl::queryInterface(iid);
    }
    void onCommand(Window* control, unsigned short code, unsigned short id) override {
        if (id == sample::pageEdit && code == EN_CHANGE) return setDirty(true);
        COMPropertyPage::onCommand(control, code, id);
    }
    bool apply() override { return getTextA(sample::pageEdit) != "refuse" && COMPropertyPage::apply(); }
};

const REGPINTYPES pinTypes[] = {{&MEDIATYPE_Stream, &MEDIASUBTYPE_NULL}};
const REGFILTERPINS2 pins[] = {{REG_PINFLAG_B_OUTPUT, 1, 1, pinTypes, 0, nullptr, &GUID_NULL}};
const vesk::FilterInfo filter = {MERIT_DO_NOT_USE, pins, 1, &CLSID_LegacyAmFilterCategory};
const char* const extensions[] = {sample::extension};
const vesk::FileTypeInfo fileType = {&sample::TYPE_SampleFile, extensions, 1, 1, sample::typeName};
const vesk::ShellExtensionInfo contextMenu = {&IID_IContextMenu, &fileType};
// On the type key the extension's file type makes (its identifier's text).
const vesk::FileTypeInfo existingType = {nullptr, nullptr, 0, 0, sample::typeKeyName};
const vesk::ShellExtensionInfo iconHandler = {&IID_IExtractIconW, &existingType};

using vesk::COMModule;
const COMModule::ClassInfo classes[] = {
    {&sample::CLSID_Extension, COMModule::inproc_server32 | COMModule::apartment, L"Vesk Sample Extension",
     vesk::createStandalone<Extension>, nullptr, &contextMenu},
    {&sample::CLSID_Page, COMModule::inproc_server32 | COMModule::apartment, L"Vesk Sample Page",
     vesk::createStandalone<Page>, nullptr, nullptr},
    {&sample::CLSID_RegisteredOnly, COMModule::inproc_server32 | COMModule::both, L"Vesk Sample \u20AC", nullptr, &filter,
     &iconHandler},
};
COMModule module(classes, 3);

} // namespace

extern "C" HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return module.createClassFactory(clsid, iid, object);
}
extern "C" HRESULT STDMETHODCALLTYPE DllCanUnloadNow() { return module.canUnloadNow(); }
extern "C" HRESULT STDMETHODCALLTYPE DllRegisterServer() {
    return module.registerClasses(reinterpret_cast<HINSTANCE>(&__ImageBase));
}
extern "C" HRESULT STDMETHODCALLTYPE DllUnregisterServer() { return module.unregisterClasses(); }
