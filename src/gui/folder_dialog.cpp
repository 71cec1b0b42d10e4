#include <vesk/gui/folder_dialog.h>

#include <vesk/errors/exception.h>
#include <vesk/text/string_helper.h>

#include <objbase.h>

#include <string>

namespace vesk {

FolderDialog::FolderDialog(Window& owner, const char* title, unsigned flags)
    : Dialog(), browseInfo(), flags(flags), title(title ? title : ""), displayName() {
    initialize(owner.getWindowHandle(), flags);
}

FolderDialog::FolderDialog(Window& owner, const wchar_t* title, unsigned flags)
    : Dialog(), browseInfo(), flags(flags), title(title ? title : L""), displayName() {
    initialize(owner.getWindowHandle(), flags);
}

FolderDialog::FolderDialog(HWND owner, const char* title, unsigned flags)
    : Dialog(), browseInfo(), flags(flags), title(title ? title : ""), displayName() {
    initialize(owner, flags);
}

FolderDialog::FolderDialog(HWND owner, const wchar_t* title, unsigned flags)
    : Dialog(), browseInfo(), flags(flags), title(title ? title : L""), displayName() {
    initialize(owner, flags);
}

void FolderDialog::initialize(HWND owner, unsigned browseFlags) {
    HRESULTHolder::throwOnError(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), "Can't initialize COM");
    try {
        malloc = IMallocRef(getShellMalloc());
    } catch (...) {
        // The destructor does not run for a half-made object: leave the apartment here.
        CoUninitialize();
        throw;
    }
    browseInfo.hwndOwner = owner;
    browseInfo.pidlRoot = nullptr;
    browseInfo.pszDisplayName = displayName;
    browseInfo.lpszTitle = title.c_str();
    browseInfo.ulFlags = browseFlags;
    browseInfo.lpfn = &FolderDialog::callback;
    browseInfo.lParam = reinterpret_cast<LPARAM>(this);
    browseInfo.iImage = 0;
}

FolderDialog::~FolderDialog() {
    // The lists go back to the shell's allocator while the apartment still stands.
    browseInfo.pidlRoot = nullptr;
    root.attach(nullptr, true);
    selection.attach(nullptr, true);
    malloc = IMallocRef();
    CoUninitialize();
}

void FolderDialog::setRoot(int folder) {
    ITEMIDLIST* list = nullptr;
    HRESULTHolder::throwOnError(SHGetSpecialFolderLocation(browseInfo.hwndOwner, folder, &list),
                                "Can't get special folder location");
    // The old root is freed only once the new one is there.
    root.attach(list, true);
    browseInfo.pidlRoot = root.get();
}

void FolderDialog::setSelection(const char* path) {
    if (handle) {
        sendMessageA(BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path));
        return;
    }
    // A path is system text: in the ANSI code page, not the C runtime's locale.
    const std::wstring wide = path ? a2w(path, CP_ACP) : std::wstring();
    setSelection(path ? wide.c_str() : static_cast<const wchar_t*>(nullptr));
}

void FolderDialog::setSelection(const wchar_t* path) {
    if (handle) {
        const std::string narrow = path ? StringHelper<char>::convert(path, 0xFFFFFFFFu, CP_ACP) : std::string();
        sendMessageA(BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path ? narrow.c_str() : nullptr));
        return;
    }
    // Parsed aside, so that a name the shell does not know keeps the old selection.
    ItemIDList parsed(path, ItemIDList::getDesktopFolder().get(), browseInfo.hwndOwner);
    selection = std::move(parsed);
}

void FolderDialog::setSelection(const ITEMIDLIST* list) {
    if (handle)
        sendMessageA(BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(list));
    else
        selection.assign(list);
}

bool FolderDialog::showModal() {
    displayName[0] = '\0';
    browseInfo.pidlRoot = root.get();
    browseInfo.lpszTitle = title.c_str();
    browseInfo.lParam = reinterpret_cast<LPARAM>(this);
    ITEMIDLIST* chosen = SHBrowseForFolderA(&browseInfo);
    // The browser window is gone: the object no longer answers for it.
    setWindowHandle(nullptr, false);
    selection.attach(chosen, true);
    return chosen != nullptr;
}

void FolderDialog::setStatusText(const char* text) const {
    sendMessageA(BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

void FolderDialog::setStatusText(const wchar_t* text) const {
    const std::string narrow = text ? StringHelper<char>::convert(text, 0xFFFFFFFFu, CP_ACP) : std::string();
    setStatusText(text ? narrow.c_str() : static_cast<const char*>(nullptr));
}

void FolderDialog::enableOk(bool enable) const { sendMessageA(BFFM_ENABLEOK, enable ? TRUE : FALSE, 0); }

void FolderDialog::onInitialized() {
    if (selection.get())
        sendMessageA(BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(selection.get()));
}

void FolderDialog::onSelectionChanged(const ItemIDList&) {}

bool FolderDialog::onValidateFailed(const wchar_t*) { return false; }

bool FolderDialog::onValidateFailed(const char*) { return false; }

int CALLBACK FolderDialog::callback(HWND hwnd, UINT message, LPARAM lParam, LPARAM data) {
    auto* dialog = reinterpret_cast<FolderDialog*>(data);
    if (!dialog)
        return 0;
    // A handler's exception has nowhere to go inside the shell's loop.
    try {
        if (!dialog->handle)
            dialog->setWindowHandle(hwnd, false);
        switch (message) {
        case BFFM_INITIALIZED:
            dialog->onInitialized();
            return 0;
        case BFFM_SELCHANGED: {
            const ItemIDList view(reinterpret_cast<ITEMIDLIST*>(lParam), false);
            dialog->onSelectionChanged(view);
            return 0;
        }
        case BFFM_VALIDATEFAILEDA:
            return dialog->onValidateFailed(reinterpret_cast<const char*>(lParam)) ? 1 : 0;
        case BFFM_VALIDATEFAILEDW:
            return dialog->onValidateFailed(reinterpret_cast<const wchar_t*>(lParam)) ? 1 : 0;
        default:
            return 0;
        }
    } catch (...) {
        return 0;
    }
}

} // namespace vesk
