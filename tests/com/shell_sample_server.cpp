// The shell sample server: one shell extension (context menu, info tip, file
// persistence, property pages) and its property page, both on the library's
// COM core and interface halves. Its entry points forward to the module.
#include "shell_sample.h"

#include <vesk/com/module.h>
#include <vesk/com/property_page.h>
#include <vesk/com/shell_extension.h>
#include <vesk/errors/exception.h>

#include <stdexcept>
#include <string>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

HINSTANCE module() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

class Extension : public vesk::IShellExtInitImpl,
                  public vesk::IContextMenuImpl,
                  public vesk::IQueryInfoImpl,
                  public vesk::IPersistFileImpl,
                  public vesk::ISpecifyPropertyPagesImpl,
                  public vesk::IUnknownImpl {
public:
    Extension() : IPersistFileImpl(shell_sample::CLSID_Extension) {}
    VESK_FORWARD_IUNKNOWN
    HRESULT STDMETHODCALLTYPE Save(LPCOLESTR, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return E_NOTIMPL; }

protected:
    void* queryInterface(const GUID& iid) override {
        if (iid == IID_IShellExtInit) return static_cast<IShellExtInit*>(this);
        if (iid == IID_IContextMenu) return static_cast<IContextMenu*>(this);
        if (iid == IID_IQueryInfo) return static_cast<IQueryInfo*>(this);
        if (iid == IID_IPersistFile || iid == IID_IPersist) return static_cast<IPersistFile*>(this);
        if (iid == IID_ISpecifyPropertyPages) return static_cast<ISpecifyPropertyPages*>(this);
        return IUnknownImpl::queryInterface(iid);
    }

    void initialize(const std::list<vesk::BasicString<char>>& names) override { files = names; }

    unsigned addMenuItems(HMENU menu, unsigned position, unsigned firstId, unsigned idCount, unsigned) override {
        unsigned added = 0;
        for (; added < 3 && added < idCount; ++added)
            if (!InsertMenuA(menu, position + added, MF_BYPOSITION | MF_STRING, firstId + added,
                             shell_sample::commands[added]))
                throw vesk::WindowsError("Can't insert menu item");
        return added;
    }

    vesk::BasicString<char> getCommandHelp(unsigned command) override { return shell_sample::helpTexts[command]; }

    void invokeCommand(unsigned command, unsigned long, HWND window) override {
        std::string names;
        for (const auto& f : files)
            names += (names.empty() ? "" : "; ") + f;
        switch (command) {
        case 0: {
            if (files.empty())
                throw vesk::WindowsError(ERROR_FILE_NOT_FOUND, "Can't count files: none selected");
            std::string folder = files.front();
            folder.erase(folder.find_last_of('\\') + 1);
            const std::string text = std::to_string(files.size()) + "\n" + names;
            HANDLE file = CreateFileA((folder + shell_sample::countFile).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE)
                throw vesk::WindowsError("Can't write count file");
            DWORD written = 0;
            WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
            CloseHandle(file);
            break;
        }
        case 1:
            if (!SetWindowTextA(window, names.c_str()))
                throw vesk::WindowsError("Can't name the window");
            break;
        default: throw std::runtime_error("The sample refuses this command");
        }
    }

    vesk::BasicString<wchar_t> getInfoTip() override {
        if (!currentFile.empty())
            return L"Sample file: " + firstLine;
        return std::to_wstring(files.size()) + L" file(s)";
    }

    bool isDirty() override { return false; }
    vesk::BasicString<wchar_t> getCurrentFile() override { return currentFile; }
    vesk::BasicString<wchar_t> getDefaultFile() override { return shell_sample::defaultFile; }
    void load(const wchar_t* name, unsigned long) override {
        HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            throw vesk::WindowsError("Can't open sample file");
        char buffer[256] = {};
        DWORD read = 0;
        ReadFile(file, buffer, sizeof(buffer) - 1, &read, nullptr);
        CloseHandle(file);
        std::string text(buffer, read);
        text = text.substr(0, text.find_first_of("\r\n"));
        firstLine = vesk::BasicString<wchar_t>(text.c_str());
        currentFile = name;
    }

    unsigned getPageCount() override { return 1; }
    const GUID& getPage(unsigned index) override {
        if (index != 0)
            throw std::out_of_range("The sample has one page");
        return shell_sample::CLSID_Page;
    }

private:
    std::list<vesk::BasicString<char>> files;
    std::wstring currentFile, firstLine;
};

// Its own QueryInterface is the page's (which adds the reference); the count
// is the object's.
class Page : public vesk::COMPropertyPage, public vesk::IUnknownImpl {
public:
    Page() : COMPropertyPage(shell_sample::pageTemplate, shell_sample::pageTitle, module()) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return COMPropertyPage::QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return forwardAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return forwardRelease(); }

protected:
    void* queryInterface(const GUID& iid) override {
        if (iid == IID_IPropertyPage)
            return static_cast<IPropertyPage*>(this);
        return IUnknownImpl::queryInterface(iid);
    }
    void onCommand(Window* control, unsigned short code, unsigned short id) override {
        if (id == shell_sample::pageEdit && code == EN_CHANGE) {
            setDirty(true);
            return;
        }
        COMPropertyPage::onCommand(control, code, id);
    }
    bool apply() override {
        const std::string text = getTextA(shell_sample::pageEdit);
        if (text == "refuse")
            return false;
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, shell_sample::appliedKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return false;
        RegSetValueExA(key, shell_sample::appliedValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       DWORD(text.size() + 1));
        RegCloseKey(key);
        return true;
    }
};

const vesk::COMModule::ClassInfo classes[] = {
    {&shell_sample::CLSID_Extension, vesk::COMModule::inproc_server32 | vesk::COMModule::apartment,
     L"Vesk++ shell sample", vesk::createStandalone<Extension>, nullptr, nullptr},
    {&shell_sample::CLSID_Page, vesk::COMModule::inproc_server32 | vesk::COMModule::apartment,
     L"Vesk++ shell sample page", vesk::createStandalone<Page>, nullptr, nullptr},
};

vesk::COMModule server(classes, 2);

} // namespace

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return server.createClassFactory(clsid, iid, object);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return server.canUnloadNow(); }
