// The shell sample server called as the shell and a property frame would:
// IShellExtInit::Initialize with the data object the shell's own folder makes
// for real files; QueryContextMenu, InvokeCommand and GetCommandString with
// valid and invalid arguments, each answering its HRESULT; command strings
// within the caller's buffer in both widths; IPersistFile::Load and
// IQueryInfo::GetInfoTip; ISpecifyPropertyPages; the property page through
// IPropertyPage (its reference counts, its site, its dirty state) and inside
// the system's property frame. Wine's shell never loads third-party
// handlers, so the suite creates them through COM itself.
#include <vesk/com/item_id_list.h>
#include <vesk/errors/exception.h>

#include "../gui/watchdog.h"
#include "shell_sample.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <olectl.h>
#include <shlobj.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace vesk;

namespace {

vesk_test::Watchdog watchdog(120);

// The server loaded once, its two classes registered with COM for this process.
class Server : public testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        library = LoadLibraryA("test_com_shell_sample.dll");
        ASSERT_NE(library, nullptr);
        auto getClassObject = reinterpret_cast<HRESULT(__stdcall*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
        ASSERT_NE(getClassObject, nullptr);
        for (const GUID* clsid : {&shell_sample::CLSID_Extension, &shell_sample::CLSID_Page}) {
            IUnknown* factory = nullptr;
            ASSERT_EQ(getClassObject(*clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
            DWORD cookie = 0;
            ASSERT_EQ(CoRegisterClassObject(*clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
            cookies.push_back(cookie);
            factory->Release();
        }
    }
    void TearDown() override {
        for (DWORD cookie : cookies)
            CoRevokeClassObject(cookie);
        OleUninitialize();
    }

private:
    HMODULE library = nullptr;
    std::vector<DWORD> cookies;
};
testing::Environment* const server = testing::AddGlobalTestEnvironment(new Server);

template <class I> COMInterfacePointer<I> make(const GUID& clsid, const GUID& iid) {
    COMInterfacePointer<I> p;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, p.putVoid()), S_OK);
    return p;
}

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::wstring wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Two files in a scratch folder, and the data object the shell's folder makes
// for them: what the shell hands a context-menu handler.
struct Selection {
    vesk_test::ScratchDir dir;
    ItemIDList folder;
    COMInterfacePointer<IDataObject> data;
    Selection() {
        writeFile(dir.file("alpha.vsample"), "First line of alpha\r\nsecond");
        writeFile(dir.file("beta.vsample"), "beta");
        COMInterfacePointer<IShellFolder> desktop = ItemIDList::getDesktopFolder();
        folder.assign(wide(dir.path()).c_str(), desktop.get(), nullptr);
        COMInterfacePointer<IShellFolder> shellFolder;
        EXPECT_EQ(desktop->BindToObject(folder, nullptr, IID_IShellFolder, shellFolder.putVoid()), S_OK);
        ItemIDList alpha(L"alpha.vsample", shellFolder.get(), nullptr), beta(L"beta.vsample", shellFolder.get(), nullptr);
        LPCITEMIDLIST children[] = {alpha, beta};
        EXPECT_EQ(shellFolder->GetUIObjectOf(nullptr, 2, children, IID_IDataObject, nullptr, data.putVoid()), S_OK);
    }
};

// A data object that offers no dropped files, or offers them in a stream.
class FakeData : public IDataObject {
public:
    HRESULT answer = DV_E_FORMATETC;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** o) override {
        *o = iid == IID_IUnknown || iid == IID_IDataObject ? this : nullptr;
        return *o ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC*, STGMEDIUM* medium) override {
        if (FAILED(answer))
            return answer;
        medium->tymed = TYMED_NULL;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
};

HKEY classesKey() { return HKEY_CLASSES_ROOT; }

CMINVOKECOMMANDINFO invocation(UINT_PTR verb, HWND window = nullptr) {
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof(info);
    info.lpVerb = reinterpret_cast<LPCSTR>(verb);
    info.hwnd = window;
    return info;
}

} // namespace

// ---- Initialize and the context menu ---------------------------------------------------------

TEST(ShellExtension, ContextMenuOverARealSelection) {
    Selection selection;
    ASSERT_TRUE(selection.data);
    auto init = make<IShellExtInit>(shell_sample::CLSID_Extension, IID_IShellExtInit);
    COMInterfacePointer<IContextMenu> menu(init.get());
    FakeData none, stream;
    stream.answer = S_OK;
    struct InitCase {
        IDataObject* data;
        HKEY key;
        HRESULT expected;
    } inits[] = {
        {nullptr, classesKey(), E_POINTER},
        {selection.data.get(), nullptr, E_INVALIDARG},
        {&none, classesKey(), DV_E_FORMATETC},
        {&stream, classesKey(), DV_E_TYMED},
        {selection.data.get(), classesKey(), S_OK},
    };
    for (const InitCase& c : inits)
        EXPECT_EQ(init->Initialize(selection.folder, c.data, c.key), c.expected);

    HMENU popup = CreatePopupMenu();
    struct QueryCase {
        HMENU menu;
        UINT first, last, flags;
        HRESULT expected;
        int items;  // on the menu afterwards
    } queries[] = {
        {nullptr, 100, 109, CMF_NORMAL, E_INVALIDARG, 0},
        {popup, 110, 109, CMF_NORMAL, E_INVALIDARG, 0},
        {popup, 100, 109, CMF_DEFAULTONLY, S_OK, 0},
        {popup, 100, 109, CMF_NORMAL, MAKE_HRESULT(0, 0, 3), 3},
    };
    for (const QueryCase& c : queries) {
        EXPECT_EQ(menu->QueryContextMenu(c.menu, 0, c.first, c.last, c.flags), c.expected);
        EXPECT_EQ(GetMenuItemCount(popup), c.items);
    }
    EXPECT_EQ(GetMenuItemID(popup, 0), 100u);
    EXPECT_EQ(GetMenuItemID(popup, 2), 102u);
    char label[32] = {};
    GetMenuStringA(popup, 1, label, sizeof(label), MF_BYPOSITION);
    EXPECT_STREQ(label, shell_sample::commands[1]);
    // The default-only query leaves the commands of the last full query.
    EXPECT_EQ(menu->QueryContextMenu(popup, 0, 200, 209, CMF_DEFAULTONLY), S_OK);
    DestroyMenu(popup);

    HWND window = CreateWindowExA(0, "STATIC", "untitled", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    CMINVOKECOMMANDINFO small = invocation(0);
    small.cbSize = sizeof(small) - 1;
    CMINVOKECOMMANDINFO text = invocation(0);
    text.lpVerb = "open";
    struct InvokeCase {
        const char* name;
        CMINVOKECOMMANDINFO* info;
        CMINVOKECOMMANDINFO value;
        HRESULT expected;
    } invokes[] = {
        {"null", nullptr, {}, E_POINTER},
        {"short record", &small, {}, E_INVALIDARG},
        {"verb as text", &text, {}, E_INVALIDARG},
        {"offset past the commands", nullptr, invocation(3), E_INVALIDARG},
        {"count files", nullptr, invocation(0), S_OK},
        {"name the window", nullptr, invocation(1, window), S_OK},
        {"no window to name: the exception's code", nullptr, invocation(1), HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE)},
        {"refused: E_FAIL, nothing escapes", nullptr, invocation(2), E_FAIL},
    };
    for (InvokeCase& c : invokes) {
        SCOPED_TRACE(c.name);
        CMINVOKECOMMANDINFO* info = c.info ? c.info : (c.value.cbSize ? &c.value : nullptr);
        EXPECT_EQ(menu->InvokeCommand(info), c.expected);
    }
    const std::string alpha = selection.dir.file("alpha.vsample"), beta = selection.dir.file("beta.vsample");
    EXPECT_EQ(readFile(selection.dir.file(shell_sample::countFile)), "2\n" + alpha + "; " + beta);
    char title[MAX_PATH * 2] = {};
    GetWindowTextA(window, title, sizeof(title));
    EXPECT_EQ(std::string(title), alpha + "; " + beta);
    DestroyWindow(window);
}

TEST(ShellExtension, CommandStringsWithinTheCallersBuffer) {
    auto menu = make<IContextMenu>(shell_sample::CLSID_Extension, IID_IContextMenu);
    HMENU popup = CreatePopupMenu();
    ASSERT_EQ(menu->QueryContextMenu(popup, 0, 1, 3, CMF_NORMAL), MAKE_HRESULT(0, 0, 3));
    DestroyMenu(popup);
    const std::string help = shell_sample::helpTexts[0];
    struct Case {
        UINT_PTR command;
        UINT type;
        UINT size;
        bool nullBuffer;
        HRESULT expected;
        std::size_t characters;  // of the help text, followed by a zero
    } cases[] = {
        {0, GCS_HELPTEXTA, 64, false, S_OK, help.size()},
        {0, GCS_HELPTEXTW, 64, false, S_OK, help.size()},
        {0, GCS_HELPTEXTA, 5, false, S_OK, 4},
        {0, GCS_HELPTEXTW, 5, false, S_OK, 4},
        {0, GCS_HELPTEXTA, 1, false, S_OK, 0},
        {0, GCS_HELPTEXTW, 1, false, S_OK, 0},
        {0, GCS_HELPTEXTW, 0, false, E_INVALIDARG, 0},
        {0, GCS_VERBA, 64, false, E_INVALIDARG, 0},
        {0, GCS_VERBW, 64, false, E_INVALIDARG, 0},
        {0, GCS_VALIDATEA, 64, false, E_INVALIDARG, 0},
        {3, GCS_HELPTEXTA, 64, false, E_INVALIDARG, 0},
        {0, GCS_HELPTEXTA, 64, true, E_POINTER, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " size " + std::to_string(c.size));
        const bool wideText = (c.type & GCS_UNICODE) != 0;
        // A canary fills the buffer and what lies beyond the size given.
        std::vector<wchar_t> buffer(80, L'#');
        char* raw = reinterpret_cast<char*>(buffer.data());
        EXPECT_EQ(menu->GetCommandString(c.command, c.type, nullptr, c.nullBuffer ? nullptr : raw, c.size), c.expected);
        const std::size_t unit = wideText ? 2 : 1;
        if (c.expected == S_OK) {
            if (wideText) {
                EXPECT_EQ(std::wstring(buffer.data()), wide(help.substr(0, c.characters)));
            } else {
                EXPECT_EQ(std::string(raw), help.substr(0, c.characters));
            }
        }
        // Nothing written at or past the size the caller gave.
        const std::size_t firstOutside = c.expected == S_OK ? c.size * unit : 0;
        for (std::size_t i = firstOutside; i < buffer.size() * 2; ++i)
            if (raw[i] != "#\0"[i % 2]) {
                ADD_FAILURE() << "byte " << i << " written outside the buffer";
                break;
            }
    }
}

// ---- Info tips, persistence and pages ---------------------------------------------------------------

TEST(ShellExtension, InfoTipOfALoadedFile) {
    vesk_test::ScratchDir dir;
    writeFile(dir.file("tip.vsample"), "Tip line\nmore");
    auto file = make<IPersistFile>(shell_sample::CLSID_Extension, IID_IPersistFile);
    COMInterfacePointer<IQueryInfo, &IID_IQueryInfo> info(file.get());

    LPOLESTR current = nullptr;
    EXPECT_EQ(file->GetCurFile(&current), S_FALSE) << "no file yet: the default name";
    EXPECT_STREQ(current, shell_sample::defaultFile);
    CoTaskMemFree(current);
    EXPECT_EQ(file->GetCurFile(nullptr), E_POINTER);
    EXPECT_EQ(file->Load(nullptr, STGM_READ), E_POINTER);
    EXPECT_EQ(file->Load(wide(dir.file("missing.vsample")).c_str(), STGM_READ),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    const std::wstring name = wide(dir.file("tip.vsample"));
    EXPECT_EQ(file->Load(name.c_str(), STGM_READ), S_OK);
    EXPECT_EQ(file->GetCurFile(&current), S_OK);
    EXPECT_EQ(std::wstring(current), name);
    CoTaskMemFree(current);
    EXPECT_EQ(file->IsDirty(), S_FALSE);
    CLSID clsid{};
    EXPECT_EQ(file->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, shell_sample::CLSID_Extension));
    EXPECT_EQ(file->GetClassID(nullptr), E_POINTER);

    LPWSTR tip = reinterpret_cast<LPWSTR>(ULONG_PTR(1));
    EXPECT_EQ(info->GetInfoTip(0, nullptr), E_POINTER);
    EXPECT_EQ(info->GetInfoTip(QITIPF_DEFAULT, &tip), S_OK);
    EXPECT_STREQ(tip, L"Sample file: Tip line");
    CoTaskMemFree(tip);
    DWORD flags = 7;
    EXPECT_EQ(info->GetInfoFlags(&flags), S_OK);
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(info->GetInfoFlags(nullptr), E_POINTER);

    auto pages = make<ISpecifyPropertyPages>(shell_sample::CLSID_Extension, IID_ISpecifyPropertyPages);
    // An output record: what it held is not freed (here it is not even memory).
    CAUUID list{3, reinterpret_cast<GUID*>(ULONG_PTR(0x10))};
    EXPECT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.cElems, 1u);
    EXPECT_TRUE(IsEqualGUID(list.pElems[0], shell_sample::CLSID_Page));
    CoTaskMemFree(list.pElems);
    EXPECT_EQ(pages->GetPages(nullptr), E_POINTER);
}

// ---- The property page ------------------------------------------------------------------------------

namespace {

// A frame's site that records the status changes the page reports.
class Site : public IPropertyPageSite {
public:
    std::vector<DWORD> changes;
    long references = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** o) override {
        *o = iid == IID_IUnknown || iid == IID_IPropertyPageSite ? this : nullptr;
        if (!*o)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--references); }
    HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
        changes.push_back(flags);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLocaleID(LCID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
};

// Something that claims to be a site but is not.
class NotASite : public Site {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** o) override {
        *o = nullptr;
        return E_NOINTERFACE;
    }
};

std::string appliedName() {
    char value[64] = {};
    DWORD size = sizeof(value);
    if (RegGetValueA(HKEY_CURRENT_USER, shell_sample::appliedKey, shell_sample::appliedValue, RRF_RT_REG_SZ, nullptr,
                     value, &size) != ERROR_SUCCESS)
        return "<none>";
    return value;
}

void forgetApplied() { RegDeleteKeyA(HKEY_CURRENT_USER, shell_sample::appliedKey); }

ULONG countOf(IUnknown* p) {
    p->AddRef();
    return p->Release();
}

} // namespace

TEST(PropertyPage, ProtocolAnswersAndReferences) {
    forgetApplied();
    auto page = make<IPropertyPage>(shell_sample::CLSID_Page, IID_IPropertyPage);
    const ULONG before = countOf(page.get());
    {
        COMInterfacePointer<IUnknown> unknown(page.get());  // QueryInterface: one more reference
        EXPECT_EQ(countOf(page.get()), before + 1);
        EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(page.get()));
    }
    EXPECT_EQ(countOf(page.get()), before);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(page->QueryInterface(IID_IContextMenu, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(page->QueryInterface(IID_IPropertyPage, nullptr), E_POINTER);

    Site site;
    NotASite impostor;
    PROPPAGEINFO info{};
    EXPECT_EQ(page->GetPageInfo(nullptr), E_POINTER);
    EXPECT_EQ(page->GetPageInfo(&info), E_UNEXPECTED) << "no site yet";
    EXPECT_EQ(page->SetPageSite(&impostor), E_NOINTERFACE);
    EXPECT_EQ(page->SetPageSite(&site), S_OK);
    EXPECT_EQ(site.references, 2);
    EXPECT_EQ(page->SetPageSite(&site), E_UNEXPECTED);
    EXPECT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(info.cb, sizeof(PROPPAGEINFO));
    EXPECT_EQ(std::wstring(info.pszTitle), wide(shell_sample::pageTitleText));
    EXPECT_GT(info.size.cx, 200);
    EXPECT_GT(info.size.cy, 80);
    CoTaskMemFree(info.pszTitle);

    IUnknown* objects[] = {page.get(), nullptr};
    EXPECT_EQ(page->SetObjects(2, objects), E_POINTER);
    EXPECT_EQ(page->SetObjects(1, nullptr), E_POINTER);
    EXPECT_EQ(page->SetObjects(1, objects), S_OK);
    EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);

    HWND parent = CreateWindowExA(0, "STATIC", "frame", WS_POPUP | WS_VISIBLE, 0, 0, 500, 300, nullptr, nullptr,
                                  nullptr, nullptr);
    const RECT rect{10, 10, 410, 210};
    struct Case {
        const char* name;
        std::function<HRESULT()> call;
        HRESULT expected;
    } cases[] = {
        {"Deactivate before Activate", [&] { return page->Deactivate(); }, E_UNEXPECTED},
        {"Show before Activate", [&] { return page->Show(SW_SHOW); }, E_UNEXPECTED},
        {"Move before Activate", [&] { return page->Move(&rect); }, E_UNEXPECTED},
        {"Activate without a rectangle", [&] { return page->Activate(parent, nullptr, FALSE); }, E_POINTER},
        {"Activate", [&] { return page->Activate(parent, &rect, FALSE); }, S_OK},
        {"Activate twice", [&] { return page->Activate(parent, &rect, FALSE); }, E_UNEXPECTED},
        {"GetPageInfo while active", [&] { return page->GetPageInfo(&info); }, E_UNEXPECTED},
        {"Show maximised", [&] { return page->Show(SW_MAXIMIZE); }, E_INVALIDARG},
        {"Show", [&] { return page->Show(SW_SHOW); }, S_OK},
        {"Move", [&] { return page->Move(&rect); }, S_OK},
        {"Move without a rectangle", [&] { return page->Move(nullptr); }, E_POINTER},
        {"clean", [&] { return page->IsPageDirty(); }, S_FALSE},
        {"Apply a clean page: nothing written", [&] { return page->Apply(); }, S_OK},
        {"Help", [&] { return page->Help(L"x"); }, E_NOTIMPL},
        {"TranslateAccelerator without a message", [&] { return page->TranslateAccelerator(nullptr); }, E_POINTER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(), c.expected);
    }
    EXPECT_EQ(appliedName(), "<none>");

    // Typing makes the page dirty and tells the site; a refused apply keeps it dirty.
    HWND pageWindow = GetWindow(parent, GW_CHILD);
    ASSERT_NE(pageWindow, nullptr);
    SetDlgItemTextA(pageWindow, shell_sample::pageEdit, "refuse");
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    EXPECT_EQ(page->Apply(), S_FALSE);
    EXPECT_EQ(page->IsPageDirty(), S_OK);
    SetDlgItemTextA(pageWindow, shell_sample::pageEdit, "Applied name");
    EXPECT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_EQ(appliedName(), "Applied name");
    EXPECT_EQ(site.changes, std::vector<DWORD>{PROPPAGESTATUS_DIRTY});

    EXPECT_EQ(page->Deactivate(), S_OK);
    EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr) << "the page window is gone";
    EXPECT_EQ(page->SetPageSite(nullptr), S_OK);
    EXPECT_EQ(site.references, 1) << "the site's reference is given back";
    DestroyWindow(parent);
    forgetApplied();
}

namespace {
HWND frameWindow = nullptr, frameEdit = nullptr;
int frameStep = 0;
BOOL CALLBACK findFrame(HWND h, LPARAM) {
    char name[16] = {};
    GetClassNameA(h, name, sizeof(name));
    if (std::string(name) == "#32770" && IsWindowVisible(h))
        frameWindow = h;
    return frameWindow == nullptr;
}
BOOL CALLBACK findEdit(HWND h, LPARAM found) {
    if (GetDlgCtrlID(h) == shell_sample::pageEdit)
        *reinterpret_cast<HWND*>(found) = h;
    return TRUE;
}
void CALLBACK driveFrame(HWND, UINT, UINT_PTR, DWORD) {
    if (!frameWindow) {
        EnumThreadWindows(GetCurrentThreadId(), &findFrame, 0);
        return;
    }
    HWND edit = nullptr;
    EnumChildWindows(frameWindow, &findEdit, reinterpret_cast<LPARAM>(&edit));
    frameEdit = edit;
    switch (frameStep++) {
    case 0: SetWindowTextA(edit, "From the frame"); break;
    case 1: PostMessageA(frameWindow, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); break;
    default: PostMessageA(frameWindow, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); break;
    }
}
} // namespace

TEST(PropertyPage, InsideTheSystemsPropertyFrame) {
    forgetApplied();
    auto object = make<IUnknown>(shell_sample::CLSID_Extension, IID_IUnknown);
    IUnknown* objects[] = {object.get()};
    CLSID pages[] = {shell_sample::CLSID_Page};
    frameWindow = frameEdit = nullptr;
    frameStep = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &driveFrame);
    const HRESULT hr = OleCreatePropertyFrame(nullptr, 10, 10, L"Sample", 1, objects, 1, pages, 0, 0, nullptr);
    KillTimer(nullptr, timer);
    EXPECT_EQ(hr, S_OK);
    EXPECT_NE(frameWindow, nullptr);
    // The page's own edit control was found inside the frame, and went with it.
    EXPECT_NE(frameEdit, nullptr);
    EXPECT_FALSE(IsWindow(frameEdit));
    // Wine's frame never asks its pages to apply (it ignores PSN_APPLY).
    if (!vesk_test::runningUnderWine()) {
        EXPECT_EQ(appliedName(), "From the frame") << "OK applied the dirty page";
    }
    forgetApplied();
}
