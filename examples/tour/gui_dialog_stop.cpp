// Tour stop: a property sheet of two pages, shown modally, filled in, switched
// and closed by a timer inside its own loop; a screenshot of it is left
// beside the program as tour-property-sheet.png. Then a context-menu handler
// of the tour is called as the shell calls one: initialised with the
// shell's data object for the tour program itself, asked for its menu, its
// help text, and invoked.
#include "tour.h"

#include "png_writer.h"

#include <vesk/com/item_id_list.h>
#include <vesk/com/shell_extension.h>
#include <vesk/gui/property_sheet.h>

#include <string>

namespace {

HINSTANCE tourInstance() { return GetModuleHandleA(nullptr); }

class LibraryPage : public vesk::PropertyPage {
public:
    LibraryPage() : PropertyPage(8201, tourInstance()) {}

protected:
    bool onInitDialog(vesk::Window&) override {
        setText(8211, "Vesk++");
        setText(8212, "0.1.0");
        setCheck(8213, true);
        setCheck(8214, true);
        return true;
    }
    int onActivate() override {
        std::printf("  page \"Library\" activated\n");
        return 0;
    }
};

class AboutPage : public vesk::PropertyPage {
public:
    AboutPage() : PropertyPage(8202, tourInstance()) {}

protected:
    int onActivate() override {
        std::printf("  page \"About\" activated\n");
        return 0;
    }
    bool onDeactivate() override {
        std::printf("  page \"About\" left\n");
        return false;
    }
};

vesk::PropertySheet* shownSheet = nullptr;
int step = 0;
png::Image shot;

void CALLBACK driveSheet(HWND, UINT, UINT_PTR, DWORD) {
    if (!shownSheet || !shownSheet->isOpen())
        return;
    switch (step++) {
    case 0: shownSheet->activate(8202); break;   // the second page, by its template
    case 1: shownSheet->activate(8201); break;   // back to the first
    case 2: shot = png::capture(*shownSheet); break;
    default: shownSheet->pressButton(vesk::PropertySheet::press_ok); break;
    }
}

// A context-menu handler of the tour's own: one command that says how many
// files it was given.
class Counter : public vesk::IShellExtInitImpl, public vesk::IContextMenuImpl, public vesk::IUnknownImpl {
public:
    VESK_FORWARD_IUNKNOWN
    std::list<vesk::BasicString<char>> files;

protected:
    void* queryInterface(const GUID& iid) override {
        if (iid == IID_IShellExtInit) return static_cast<IShellExtInit*>(this);
        if (iid == IID_IContextMenu) return static_cast<IContextMenu*>(this);
        return IUnknownImpl::queryInterface(iid);
    }
    void initialize(const std::list<vesk::BasicString<char>>& names) override { files = names; }
    unsigned addMenuItems(HMENU menu, unsigned position, unsigned firstId, unsigned, unsigned) override {
        InsertMenuA(menu, position, MF_BYPOSITION | MF_STRING, firstId, "Count the files");
        return 1;
    }
    vesk::BasicString<char> getCommandHelp(unsigned) override { return "Says how many files were selected"; }
    void invokeCommand(unsigned, unsigned long, HWND) override {
        std::printf("  command invoked for %u file(s): %s\n", unsigned(files.size()),
                    files.empty() ? "" : files.front().c_str());
    }
};

void contextMenu() {
    CoInitialize(nullptr);
    {
        char program[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, program, MAX_PATH);
        std::string path(program), folder = path.substr(0, path.find_last_of('\\'));
        std::wstring wideFolder(folder.begin(), folder.end()), wideName(path.begin() + long(folder.size()) + 1, path.end());

        // What the shell does for a selection: the folder's data object.
        auto desktop = vesk::ItemIDList::getDesktopFolder();
        vesk::ItemIDList folderList(wideFolder.c_str(), desktop.get(), nullptr);
        vesk::COMInterfacePointer<IShellFolder> shellFolder;
        desktop->BindToObject(folderList, nullptr, IID_IShellFolder, shellFolder.putVoid());
        vesk::ItemIDList item(wideName.c_str(), shellFolder.get(), nullptr);
        LPCITEMIDLIST children[] = {item};
        vesk::COMInterfacePointer<IDataObject> data;
        shellFolder->GetUIObjectOf(nullptr, 1, children, IID_IDataObject, nullptr, data.putVoid());
        std::printf("selection: %s (%u items below the desktop)\n",
                    item.getDisplayNameA(shellFolder.get(), SHGDN_NORMAL).c_str(), folderList.getCount() + 1);

        auto* handler = new Counter;
        vesk::COMInterfacePointer<IShellExtInit> init;
        handler->QueryInterface(IID_IShellExtInit, init.putVoid());
        HKEY classes = HKEY_CLASSES_ROOT;
        std::printf("Initialize: 0x%08lX\n", static_cast<unsigned long>(init->Initialize(folderList, data.get(), classes)));
        vesk::COMInterfacePointer<IContextMenu> menu(init.get());
        HMENU popup = CreatePopupMenu();
        const HRESULT added = menu->QueryContextMenu(popup, 0, 1000, 1009, CMF_NORMAL);
        char label[64] = {}, help[64] = {};
        GetMenuStringA(popup, 0, label, sizeof(label), MF_BYPOSITION);
        menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, help, sizeof(help));
        std::printf("menu: %ld item(s), \"%s\" - %s\n", long(HRESULT_CODE(added)), label, help);
        CMINVOKECOMMANDINFO info{};
        info.cbSize = sizeof(info);
        info.lpVerb = MAKEINTRESOURCEA(0);
        std::printf("InvokeCommand: 0x%08lX\n", static_cast<unsigned long>(menu->InvokeCommand(&info)));
        DestroyMenu(popup);
    }
    CoUninitialize();
}

void guiDialogStop() {
    LibraryPage library;
    AboutPage about;
    vesk::PropertySheet sheet(nullptr);
    sheet.setTitle("Vesk++ properties");
    sheet.addPage(&library);
    sheet.addPage(&about);
    shownSheet = &sheet;
    const UINT_PTR timer = SetTimer(nullptr, 0, 80, &driveSheet);
    const unsigned result = sheet.showModal();
    KillTimer(nullptr, timer);
    shownSheet = nullptr;
    const std::string file = tour::besideProgram("tour-property-sheet.png");
    std::printf("sheet closed with %u; screenshot %dx%d %s %s\n", result, shot.width, shot.height,
                shot.width && png::save(shot, file) ? "saved to" : "could not be saved to", file.c_str());
    contextMenu();
}

} // namespace

TOUR_STOP(82, "Dialogs: a property sheet and a context-menu handler", guiDialogStop);
