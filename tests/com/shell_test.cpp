// The sample server's shell extension and property page called as the shell and
// a property frame would (Wine's shell never loads third-party handlers), and
// ItemIDList over real paths through the shell's folders: Initialize with the
// data object the shell makes for real files, the context menu's answers,
// command strings within the caller's buffer in both widths, info tips,
// persistence, pages, the IPropertyPage protocol, display names and STRRETs.
#include "../gui/watchdog.h"
#include "com_harness.h"

#include <vesk/com/item_id_list.h>

#include <test_support.h>

#include <olectl.h>
#include <shlobj.h>

#include <cstring>
#include <fstream>
#include <functional>

using namespace vesk;

namespace {

vesk_test::Watchdog watchdog(120);

template <class I> COMInterfacePointer<I> make(const GUID& clsid) {
    COMInterfacePointer<I> p;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(I), p.putVoid()), S_OK);
    return p;
}

std::wstring wide(const std::string& s) { return BasicString<wchar_t>(s.c_str()); }

// The sample server registered for the suite (the 32-bit view under a 32-bit test).
struct Shell : ::testing::Test {
    static void SetUpTestSuite() {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        ASSERT_EQ(com_test::regsvr32("test_com_sample.dll"), 0);
    }
    static void TearDownTestSuite() {
        com_test::regsvr32("test_com_sample.dll", true);
        com_test::removeSampleLeftovers();
        OleUninitialize();
    }
    vesk_test::ScratchDir dir;
};

TEST_F(Shell, ContextMenuOverARealSelection) {
    std::ofstream(dir.file("alpha.vsample")) << "a";
    std::ofstream(dir.file("beta.vsample")) << "b";
    COMInterfacePointer<IShellFolder> desktop = ItemIDList::getDesktopFolder(), folder;
    const ItemIDList path(wide(dir.path()).c_str(), desktop.get(), nullptr);
    ASSERT_EQ(desktop->BindToObject(path, nullptr, IID_IShellFolder, folder.putVoid()), S_OK);
    const ItemIDList alpha(L"alpha.vsample", folder.get(), nullptr), beta(L"beta.vsample", folder.get(), nullptr);
    LPCITEMIDLIST children[] = {alpha, beta};
    COMInterfacePointer<IDataObject> data;
    ASSERT_EQ(folder->GetUIObjectOf(nullptr, 2, children, IID_IDataObject, nullptr, data.putVoid()), S_OK);

    auto init = make<IShellExtInit>(sample::CLSID_Extension);
    COMInterfacePointer<IContextMenu> menu(init.get());
    EXPECT_EQ(init->Initialize(path, nullptr, HKEY_CLASSES_ROOT), E_POINTER);
    EXPECT_EQ(init->Initialize(path, data.get(), nullptr), E_INVALIDARG);
    EXPECT_EQ(init->Initialize(path, data.get(), HKEY_CLASSES_ROOT), S_OK);
    HMENU popup = CreatePopupMenu();
    const struct {
        HMENU menu;
        UINT first, last, flags;
        HRESULT expected;
        int items;
    } queries[] = {
        {nullptr, 100, 109, CMF_NORMAL, E_INVALIDARG, 0},         {popup, 110, 109, CMF_NORMAL, E_INVALIDARG, 0},
        {popup, 100, 109, CMF_DEFAULTONLY, S_OK, 0},              {popup, 100, 109, CMF_NORMAL, MAKE_HRESULT(0, 0, 3), 3},
        {popup, 200, 201, CMF_NORMAL, MAKE_HRESULT(0, 0, 2), 5},  {popup, 300, 309, CMF_DEFAULTONLY, S_OK, 5},
    };
    for (const auto& q : queries) {
        EXPECT_EQ(menu->QueryContextMenu(q.menu, 0, q.first, q.last, q.flags), q.expected) << q.first << " " << q.flags;
        EXPECT_EQ(GetMenuItemCount(popup), q.items);
    }
    EXPECT_EQ(GetMenuItemID(popup, 1), 201u) << "two identifiers given: two commands";
    DestroyMenu(popup);

    HWND window = CreateWindowExA(0, "STATIC", "untitled", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const auto invoke = [&](UINT_PTR verb, DWORD size = sizeof(CMINVOKECOMMANDINFO), const char* text = nullptr) {
        CMINVOKECOMMANDINFO info{};
        info.cbSize = size, info.hwnd = window, info.lpVerb = text ? text : reinterpret_cast<LPCSTR>(verb);
        return menu->InvokeCommand(&info);
    };
    EXPECT_EQ(menu->InvokeCommand(nullptr), E_POINTER);
    EXPECT_EQ(invoke(0, sizeof(CMINVOKECOMMANDINFO) - 1), E_INVALIDARG);
    EXPECT_EQ(invoke(0, sizeof(CMINVOKECOMMANDINFO), "open"), E_INVALIDARG);
    EXPECT_EQ(invoke(2), E_INVALIDARG) << "the last query added two commands";
    EXPECT_EQ(invoke(1), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) << "the exception's code";
    EXPECT_EQ(invoke(0), S_OK);
    char title[MAX_PATH * 2] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_EQ(std::string(title), dir.file("alpha.vsample") + "; " + dir.file("beta.vsample"));
    DestroyWindow(window);
    ASSERT_EQ(menu->QueryContextMenu(popup = CreatePopupMenu(), 0, 1, 3, CMF_NORMAL), MAKE_HRESULT(0, 0, 3));
    DestroyMenu(popup);
    EXPECT_EQ(invoke(2), E_FAIL) << "refused, nothing escapes";

    // Command strings: nothing written at or past the size given; curly quotes and the euro sign read as 1252.
    const std::wstring help = L"\u201CNames\u201D the window \u20AC";
    const struct {
        UINT_PTR command;
        UINT type, size;
        bool buffer;
        HRESULT expected;
        std::size_t characters;
    } strings[] = {
        {0, GCS_HELPTEXTA, 64, true, S_OK, help.size()}, {0, GCS_HELPTEXTW, 64, true, S_OK, help.size()},
        {0, GCS_HELPTEXTA, 5, true, S_OK, 4},            {0, GCS_HELPTEXTW, 5, true, S_OK, 4},
        {0, GCS_HELPTEXTW, 1, true, S_OK, 0},            {0, GCS_HELPTEXTW, 0, true, E_INVALIDARG, 0},
        {0, GCS_VERBA, 64, true, E_INVALIDARG, 0},       {0, GCS_VALIDATEW, 64, true, E_INVALIDARG, 0},
        {3, GCS_HELPTEXTA, 64, true, E_INVALIDARG, 0},   {0, GCS_HELPTEXTA, 64, false, E_POINTER, 0},
    };
    for (const auto& c : strings) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " size " + std::to_string(c.size));
        std::vector<wchar_t> buffer(80, L'#');
        char* raw = reinterpret_cast<char*>(buffer.data());
        EXPECT_EQ(menu->GetCommandString(c.command, c.type, nullptr, c.buffer ? raw : nullptr, c.size), c.expected);
        const bool unicode = c.type & GCS_UNICODE;
        if (c.expected == S_OK) {
            EXPECT_TRUE(unicode ? std::wstring(buffer.data()) == help.substr(0, c.characters)
                                : std::string(raw) == std::string(sample::helpTexts[0]).substr(0, c.characters));
        }
        for (std::size_t i = c.expected == S_OK ? c.size * (unicode ? 2 : 1) : 0; i < buffer.size() * 2; ++i)
            ASSERT_EQ(raw[i], "#\0"[i % 2]) << "byte " << i << " written outside the buffer";
    }
}

TEST_F(Shell, InfoTipPersistenceAndPages) {
    std::ofstream(dir.file("tip.vsample")) << "x";
    auto file = make<IPersistFile>(sample::CLSID_Extension);
    COMInterfacePointer<IQueryInfo, &IID_IQueryInfo> info(file.get());
    LPWSTR text = nullptr;
    const auto taken = [&] {
        const std::wstring result = text ? text : L"(null)";
        return CoTaskMemFree(text), text = nullptr, result;
    };
    EXPECT_EQ(file->GetCurFile(&text), S_FALSE) << "no file yet: the default name";
    EXPECT_EQ(taken(), sample::defaultFile);
    EXPECT_EQ(file->Load(wide(dir.file("missing")).c_str(), STGM_READ), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    const std::wstring name = wide(dir.file("tip.vsample"));
    EXPECT_EQ(file->Load(name.c_str(), STGM_READ), S_OK);
    EXPECT_EQ(file->GetCurFile(&text), S_OK);
    EXPECT_EQ(taken(), name);
    EXPECT_EQ(info->GetInfoTip(QITIPF_DEFAULT, &text), S_OK);
    EXPECT_EQ(taken(), L"Sample file: " + name);
    EXPECT_EQ(file->GetCurFile(nullptr), E_POINTER);
    EXPECT_EQ(info->GetInfoTip(0, nullptr), E_POINTER);
    EXPECT_EQ(file->IsDirty(), S_FALSE);
    CLSID clsid{};
    EXPECT_EQ(file->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, sample::CLSID_Extension));
    DWORD flags = 7;
    EXPECT_EQ(info->GetInfoFlags(&flags), S_OK);
    EXPECT_EQ(flags, 0u);
    auto pages = make<ISpecifyPropertyPages>(sample::CLSID_Extension);
    CAUUID list{3, reinterpret_cast<GUID*>(ULONG_PTR(0x10))};  // an output: what it held is not freed
    EXPECT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.cElems, 1u);
    EXPECT_TRUE(IsEqualGUID(list.pElems[0], sample::CLSID_Page));
    CoTaskMemFree(list.pElems);
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
    const auto count = [&] { return page->AddRef(), page->Release(); };
    const ULONG before = count();
    {
        COMInterfacePointer<IUnknown> unknown(page.get());
        EXPECT_EQ(count(), before + 1) << "QueryInterface adds a reference";
        EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(page.get()));
    }
    EXPECT_EQ(count(), before);
    void* none = &none;
    EXPECT_EQ(page->QueryInterface(IID_IContextMenu, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    Site site, impostor;
    impostor.isSite = false;
    PROPPAGEINFO info{};
    EXPECT_EQ(page->GetPageInfo(&info), E_UNEXPECTED) << "no site yet";
    EXPECT_EQ(page->SetPageSite(&impostor), E_NOINTERFACE);
    EXPECT_EQ(page->SetPageSite(&site), S_OK);
    EXPECT_EQ(site.references, 2);
    EXPECT_EQ(page->SetPageSite(&site), E_UNEXPECTED);
    EXPECT_EQ(page->GetPageInfo(nullptr), E_POINTER);
    EXPECT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(info.cb, sizeof(PROPPAGEINFO));
    EXPECT_EQ(std::wstring(info.pszTitle), L"Sample page \u20AC") << "the title read as 1252";
    EXPECT_GT(info.size.cx, 200);
    CoTaskMemFree(info.pszTitle);
    IUnknown* objects[] = {page.get(), nullptr};
    EXPECT_EQ(page->SetObjects(2, objects), E_POINTER);
    EXPECT_EQ(page->SetObjects(1, nullptr), E_POINTER);
    EXPECT_EQ(page->SetObjects(1, objects), S_OK);

    HWND parent = CreateWindowExA(0, "STATIC", "frame", WS_POPUP | WS_VISIBLE, 0, 0, 500, 300, nullptr, nullptr, nullptr, nullptr);
    const RECT rect{10, 10, 410, 210};
    const struct {
        std::function<HRESULT()> call;
        HRESULT expected;
    } cases[] = {
        {[&] { return page->Deactivate(); }, E_UNEXPECTED},  {[&] { return page->Show(SW_SHOW); }, E_UNEXPECTED},
        {[&] { return page->Move(&rect); }, E_UNEXPECTED},   {[&] { return page->Activate(parent, nullptr, FALSE); }, E_POINTER},
        {[&] { return page->Activate(parent, &rect, FALSE); }, S_OK},
        {[&] { return page->Activate(parent, &rect, FALSE); }, E_UNEXPECTED},
        {[&] { return page->GetPageInfo(&info); }, E_UNEXPECTED}, {[&] { return page->Show(SW_MAXIMIZE); }, E_INVALIDARG},
        {[&] { return page->Show(SW_SHOW); }, S_OK},         {[&] { return page->Move(&rect); }, S_OK},
        {[&] { return page->Move(nullptr); }, E_POINTER},    {[&] { return page->IsPageDirty(); }, S_FALSE},
        {[&] { return page->Apply(); }, S_OK},               {[&] { return page->Help(L"x"); }, E_NOTIMPL},
        {[&] { return page->TranslateAccelerator(nullptr); }, E_POINTER},
    };
    for (const auto& c : cases) EXPECT_EQ(c.call(), c.expected) << &c - cases;
    HWND pageWindow = GetWindow(parent, GW_CHILD);
    ASSERT_NE(pageWindow, nullptr);
    RECT placed{};
    GetWindowRect(pageWindow, &placed);
    EXPECT_EQ(placed.right - placed.left, 400);
    SetDlgItemTextA(pageWindow, sample::pageEdit, "refuse");
    EXPECT_EQ(page->IsPageDirty(), S_OK) << "typing makes the page dirty";
    EXPECT_EQ(page->Apply(), S_FALSE);
    EXPECT_EQ(page->IsPageDirty(), S_OK) << "a refused apply keeps it dirty";
    SetDlgItemTextA(pageWindow, sample::pageEdit, "applied");
    EXPECT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_EQ(site.changes, std::vector<DWORD>{PROPPAGESTATUS_DIRTY});
    EXPECT_EQ(page->Deactivate(), S_OK);
    EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr) << "the page window is gone";
    EXPECT_EQ(page->SetPageSite(nullptr), S_OK);
    EXPECT_EQ(site.references, 1) << "the site's reference is given back";
    DestroyWindow(parent);
}

TEST_F(Shell, ItemIDListsAndTheirTexts) {
    std::ofstream(dir.file("item.txt")) << "x";
    COMInterfacePointer<IShellFolder> desktop = ItemIDList::getDesktopFolder();
    const std::string path = dir.file("item.txt");
    const ItemIDList item(wide(path).c_str(), desktop.get(), nullptr);
    EXPECT_TRUE(item.isOwner());
    EXPECT_EQ(BasicString<char>(item.getDisplayNameA(desktop.get(), SHGDN_FORPARSING)).toLower(), BasicString<char>(path).toLower());
    EXPECT_EQ(item.getDisplayNameW(desktop.get(), SHGDN_FORPARSING).size(), path.size());
    unsigned size = 2, count = 0;
    for (const SHITEMID& i : item) size += i.cb, ++count;
    EXPECT_GE(count, 3u) << "the drive, the folders, the file";
    EXPECT_EQ(count, item.getCount());
    EXPECT_EQ(size, item.getSize());
    const ItemIDList again(desktop.get(), item);
    EXPECT_EQ(again.getDisplayNameA(desktop.get(), SHGDN_FORPARSING), item.getDisplayNameA(desktop.get(), SHGDN_FORPARSING));
    EXPECT_GT(ItemIDList(nullptr, CSIDL_DESKTOPDIRECTORY).getCount(), 0u);
    EXPECT_THROW(ItemIDList(L"Q:\\no\\such\\place", desktop.get(), nullptr), std::exception);
    SHITEMID twenty[11] = {{20, {1}}};
    EXPECT_EQ(ItemIDList(*twenty).getSize(), 22u);
    EXPECT_EQ(ItemIDList().getSize(), 0u);
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
    EXPECT_EQ(ItemIDList::toAString(wstr, nullptr), "wide\x80");
    EXPECT_EQ(wstr.pOleStr, nullptr) << "freed and forgotten";
    EXPECT_EQ(ItemIDList::toAString(other, list), "");
}

} // namespace
