// The sample server's shell extension and property page called as the shell and
// a property frame would (Wine's shell never loads third-party handlers), and
// ItemIDList over real paths through the shell's folders: Initialize with the
// data object the shell makes for real files, the context menu's answers,
// command strings within the caller's buffer in both widths, the
// IPropertyPage protocol, display names and STRRETs.
#include "../gui/gui_driver.h"
#include "com_harness.h"

#include <vesk/com/item_id_list.h>

#include <olectl.h>
#include <shlobj.h>

#include <cstring>
#include <fstream>
#include <vector>

using namespace vesk;
using com_test::Answers;

namespace {

vesk_test::Watchdog watchdog(120);

template <class I> COMInterfacePointer<I> make(const GUID& clsid) {
    COMInterfacePointer<I> p;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(I), p.putVoid()), S_OK);
    return p;
}

// The sample server registered for the suite (the 32-bit view under a 32-bit test).
struct Shell : ::testing::Test {
    static void SetUpTestSuite() {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        ASSERT_EQ(com_test::regsvr32(), 0);
    }
    static void TearDownTestSuite() { com_test::unregisterSample(), OleUninitialize(); }
    vesk_test::ScratchDir dir;
};

TEST_F(Shell, ContextMenuOverARealSelection) {
    std::ofstream(dir.file("alpha.vsample")) << "a";
    std::ofstream(dir.file("beta.vsample")) << "b";
    COMInterfacePointer<IShellFolder> desktop = ItemIDList::getDesktopFolder(), folder;
    const ItemIDList path(BasicString<wchar_t>(dir.path().c_str()).c_str(), desktop.get(), nullptr);
    ASSERT_EQ(desktop->BindToObject(path, nullptr, IID_IShellFolder, folder.putVoid()), S_OK);
    const ItemIDList alpha(L"alpha.vsample", folder.get(), nullptr), beta(L"beta.vsample", folder.get(), nullptr);
    LPCITEMIDLIST children[] = {alpha, beta};
    const ItemIDList copy(desktop.get(), path);
    EXPECT_EQ(BasicString<char>(copy.getDisplayNameA(desktop.get(), SHGDN_FORPARSING)).toLower(), BasicString<char>(dir.path()).toLower());
    EXPECT_THROW(copy.getDisplayNameA(nullptr, SHGDN_FORPARSING), COMError);
    COMInterfacePointer<IDataObject> data;
    ASSERT_EQ(folder->GetUIObjectOf(nullptr, 2, children, IID_IDataObject, nullptr, data.putVoid()), S_OK);

    auto init = make<IShellExtInit>(sample::CLSID_Extension);
    COMInterfacePointer<IContextMenu> menu(init.get());
    EXPECT_EQ((Answers{init->Initialize(path, nullptr, HKEY_CLASSES_ROOT), init->Initialize(path, data.get(), nullptr),
                       init->Initialize(path, data.get(), HKEY_CLASSES_ROOT)}),
              (Answers{E_POINTER, E_INVALIDARG, S_OK}));
    // What each query answers and how many items the menu then has: a query with too few identifiers adds as many commands.
    HMENU popup = CreatePopupMenu();
    std::string items;
    const auto query = [&](HMENU target, UINT first, UINT last, UINT flags) {
        const HRESULT hr = menu->QueryContextMenu(target, 0, first, last, flags);
        return items += std::to_string(GetMenuItemCount(popup)) + " ", hr;
    };
    EXPECT_EQ((Answers{query(nullptr, 100, 109, CMF_NORMAL), query(popup, 110, 109, CMF_NORMAL), query(popup, 100, 109, CMF_DEFAULTONLY),
                       query(popup, 100, 109, CMF_NORMAL), query(popup, 300, 300, CMF_NORMAL), query(popup, 200, 201, CMF_NORMAL),
                       query(popup, 300, 309, CMF_DEFAULTONLY)}),
              (Answers{E_INVALIDARG, E_INVALIDARG, S_OK, MAKE_HRESULT(0, 0, 3), MAKE_HRESULT(0, 0, 1), MAKE_HRESULT(0, 0, 2), S_OK}));
    EXPECT_EQ(items, "0 0 0 3 4 6 6 ");
    EXPECT_EQ(GetMenuItemID(popup, 1), 201u);
    DestroyMenu(popup);

    HWND window = CreateWindowExA(0, "STATIC", "untitled", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const auto invoke = [&](UINT_PTR verb, DWORD size = sizeof(CMINVOKECOMMANDINFO), const char* text = nullptr) {
        CMINVOKECOMMANDINFO info{};
        info.cbSize = size, info.hwnd = window, info.lpVerb = text ? text : reinterpret_cast<LPCSTR>(verb);
        return menu->InvokeCommand(&info);
    };
    // The last query added two commands: the third is refused; the second's exception gives its code.
    EXPECT_EQ((Answers{menu->InvokeCommand(nullptr), invoke(0, sizeof(CMINVOKECOMMANDINFO) - 1), invoke(0, sizeof(CMINVOKECOMMANDINFO), "open"),
                       invoke(2), invoke(1), invoke(0)}),
              (Answers{E_POINTER, E_INVALIDARG, E_INVALIDARG, E_INVALIDARG, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), S_OK}));
    char title[MAX_PATH * 2] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_EQ(std::string(title), dir.file("alpha.vsample") + "; " + dir.file("beta.vsample"));
    DestroyWindow(window);

    // Command strings: nothing written at or past the size given; curly quotes and the euro sign read as 1252.
    const std::wstring help = L"\u201CNames\u201D the window \u20AC";
    EXPECT_EQ(menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, nullptr, 64), E_POINTER);
    const struct { UINT_PTR command; UINT type, size; HRESULT expected; std::size_t characters; } strings[] = {
        {0, GCS_HELPTEXTA, 64, S_OK, help.size()}, {0, GCS_HELPTEXTW, 64, S_OK, help.size()}, {0, GCS_HELPTEXTA, 5, S_OK, 4},
        {0, GCS_HELPTEXTW, 5, S_OK, 4},            {0, GCS_HELPTEXTW, 1, S_OK, 0},            {0, GCS_HELPTEXTW, 0, E_INVALIDARG, 0},
        {0, GCS_VERBA, 64, E_INVALIDARG, 0},       {0, GCS_VALIDATEW, 64, E_INVALIDARG, 0},   {3, GCS_HELPTEXTA, 64, E_INVALIDARG, 0},
    };
    for (const auto& c : strings) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " size " + std::to_string(c.size));
        std::vector<wchar_t> buffer(80, L'#');
        char* raw = reinterpret_cast<char*>(buffer.data());
        EXPECT_EQ(menu->GetCommandString(c.command, c.type, nullptr, raw, c.size), c.expected);
        const bool unicode = c.type & GCS_UNICODE, done = c.expected == S_OK;
        EXPECT_TRUE(!done || (unicode ? std::wstring(buffer.data()) == help.substr(0, c.characters)
                                      : std::string(raw) == std::string(sample::helpTexts[0]).substr(0, c.characters)));
        for (std::size_t i = done ? c.size * (unicode ? 2 : 1) : 0; i < buffer.size() * 2; ++i)
            ASSERT_EQ(raw[i], "#\0"[i % 2]) << "byte " << i << " written outside the buffer";
    }
}

// A frame's site that records the status changes the page reports.
struct Site : IPropertyPageSite {
    std::vector<DWORD> changes;
    long references = 1;
    bool isSite = true;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** o) override {
        *o = isSite && (iid == IID_IUnknown || iid == IID_IPropertyPageSite) ? this : nullptr;
        return *o ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--references); }
    HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override { return changes.push_back(flags), S_OK; }
    HRESULT STDMETHODCALLTYPE GetLocaleID(LCID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
};

TEST_F(Shell, PropertyPageProtocol) {
    auto page = make<IPropertyPage>(sample::CLSID_Page);
    const ULONG count = (page->AddRef(), page->Release());
    void* object = &object;
    EXPECT_TRUE(page->QueryInterface(IID_IContextMenu, &object) == E_NOINTERFACE && !object);
    ASSERT_EQ(page->QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_TRUE(object == page.get() && static_cast<IUnknown*>(object)->Release() == count) << "one reference added, the page's own";
    // A frame's calls in order, each where it is allowed and where it is not.
    Site site, impostor;
    impostor.isSite = false;
    PROPPAGEINFO info{};
    IUnknown* objects[] = {page.get(), nullptr};
    HWND parent = CreateWindowExA(0, "STATIC", "frame", WS_POPUP | WS_VISIBLE, 0, 0, 500, 300, nullptr, nullptr, nullptr, nullptr);
    const RECT rect{10, 10, 410, 210};
    EXPECT_EQ((Answers{page->GetPageInfo(&info), page->SetPageSite(&impostor), page->SetPageSite(&site), page->SetPageSite(&site),
                       page->GetPageInfo(nullptr), page->GetPageInfo(&info), page->SetObjects(2, objects), page->SetObjects(1, nullptr),
                       page->SetObjects(1, objects), page->Deactivate(), page->Show(SW_SHOW), page->Move(&rect),
                       page->Activate(parent, nullptr, FALSE), page->Activate(parent, &rect, FALSE), page->Activate(parent, &rect, FALSE),
                       page->GetPageInfo(&info), page->Show(SW_MAXIMIZE), page->Show(SW_SHOW), page->Move(&rect), page->Move(nullptr),
                       page->IsPageDirty(), page->Apply(), page->Help(L"x"), page->TranslateAccelerator(nullptr)}),
              (Answers{E_UNEXPECTED, E_NOINTERFACE, S_OK, E_UNEXPECTED, E_POINTER, S_OK, E_POINTER, E_POINTER, S_OK, E_UNEXPECTED,
                       E_UNEXPECTED, E_UNEXPECTED, E_POINTER, S_OK, E_UNEXPECTED, E_UNEXPECTED, E_INVALIDARG, S_OK, S_OK, E_POINTER,
                       S_FALSE, S_OK, E_NOTIMPL, E_POINTER}));
    EXPECT_EQ(site.references, 2);
    EXPECT_EQ(std::wstring(info.pszTitle ? info.pszTitle : L""), L"Sample page \u20AC") << "the title read as 1252";
    CoTaskMemFree(info.pszTitle);
    HWND pageWindow = GetWindow(parent, GW_CHILD);
    SetDlgItemTextA(pageWindow, sample::pageEdit, "refuse");
    // Typing makes the page dirty; a refused apply keeps it so.
    EXPECT_EQ((Answers{page->IsPageDirty(), page->Apply(), page->IsPageDirty()}), (Answers{S_OK, S_FALSE, S_OK}));
    SetDlgItemTextA(pageWindow, sample::pageEdit, "applied");
    EXPECT_EQ((Answers{page->Apply(), page->IsPageDirty(), page->Deactivate(), page->SetPageSite(nullptr)}), (Answers{S_OK, S_FALSE, S_OK, S_OK}));
    EXPECT_EQ(site.changes, std::vector<DWORD>{PROPPAGESTATUS_DIRTY});
    EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr) << "the page window is gone";
    EXPECT_EQ(site.references, 1) << "the site's reference is given back";
    DestroyWindow(parent);
}

TEST(ItemIDList, TextsOfEveryKind) {
    EXPECT_EQ(ItemIDList(8u).getSize(), 2u) << "a zero-filled block is an empty list";
    BYTE bytes[32] = {16};
    std::memcpy(bytes + 4, "offset \x80", 9);
    const auto* list = reinterpret_cast<const ITEMIDLIST*>(bytes);
    STRRET offset{STRRET_OFFSET, {}}, cstr{STRRET_CSTR, {}}, wstr{STRRET_WSTR, {}}, other{7, {}};
    offset.uOffset = 4;
    EXPECT_EQ(ItemIDList::toAString(offset, list), "offset \x80");
    EXPECT_EQ(ItemIDList::toWString(offset, list), L"offset \u20AC");
    EXPECT_EQ(ItemIDList::toAString(offset, nullptr), "") << "an offset into no list";
    std::memcpy(cstr.cStr, "\x93narrow\x94", 9);
    EXPECT_EQ(ItemIDList::toWString(cstr, nullptr), L"\u201Cnarrow\u201D");
    std::memset(cstr.cStr, 'z', sizeof cstr.cStr);
    EXPECT_EQ(ItemIDList::toAString(cstr, nullptr), std::string(sizeof cstr.cStr, 'z')) << "no terminator at all";
    wstr.pOleStr = static_cast<LPWSTR>(CoTaskMemAlloc(16));
    std::memcpy(wstr.pOleStr, L"wide\u20AC", 12);
    EXPECT_EQ(ItemIDList::toAString(wstr, nullptr) + ItemIDList::toAString(other, list), "wide\x80");
    EXPECT_EQ(wstr.pOleStr, nullptr) << "freed and forgotten";
}

} // namespace
