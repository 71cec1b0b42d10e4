// Texts outside one legacy code page through every narrow<->wide boundary of the
// library. Built twice: with the UTF-8 manifest every text must come back whole;
// in a 1252 process only the texts that code page holds must.
#include <vesk/com/bstring.h>
#include <vesk/com/item_id_list.h>
#include <vesk/com/variant.h>
#include <vesk/errors/debug.h>
#include <vesk/errors/exception.h>
#include <vesk/gui/menu.h>
#include <vesk/io/low_level_io_stream.h>
#include <vesk/io/memory_stream.h>
#include <vesk/io/std_io_stream.h>
#include <vesk/io/temporary_file.h>
#include <vesk/io/windows_file.h>
#include <vesk/system/ini.h>
#include <vesk/system/module.h>
#include <vesk/system/process.h>
#include <vesk/system/registry.h>
#include <vesk/system/service.h>
#include <vesk/system/version_info.h>
#include <vesk/text/string.h>

#include "../../examples/tour/control_form.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <clocale>
#include <functional>
#include <sys/stat.h>

using namespace vesk;

namespace {

// in1252: the 1252 code page holds every character of the text.
struct Text { const char* label; WString wide; bool in1252; } const texts[] = {
    {"Greek", L"Ελληνικά", false},         {"Cyrillic", L"Кириллица", false},        {"Chinese", L"中文名字", false},
    {"emoji", L"\U0001F600 smile", false}, {"combining", L"e\u0301a\u0308", false}, {"euro", L"€ 10", true},
    {"200 Chinese", [] { WString s; for (int i = 0; i < 200; ++i) s.push_back(wchar_t(0x4E00 + (i * 37) % 0x4000)); return s; }(), false},
};

// The text in the ANSI code page (n) and in UTF-16 (w), and a fresh folder for it.
struct Case { unsigned index; String n; WString w; String dir; };

WString W(const String& s) { return WString(s.c_str()); }
// Wine keeps a file name in at most 255 bytes of UTF-8 on the Unix side: the name
// the file system gives back of the 200 characters is cut.
bool wineCutsName(const Case& c) { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") && c.n.size() > 255; }
String named(const Case& c, const char* suffix = "") { return c.dir + "\\" + c.n + suffix; }
String self() { return WindowsModule(GetModuleHandleA(nullptr)).getFilenameA(); }

// Started by the debugger row under a text's name: traces its argument in both
// widths and its own file name, as the debugger will read them.
const bool childRun = [] {
    const String line = GetCommandLineA();
    const auto at = line.find(" --unicode-child ");
    if (at == String::npos) return false;
    if (GetACP() != CP_UTF8) setlocale(LC_CTYPE, ".1252");
    const String arg = line.mid(unsigned(at + 17));
    trace((String("<") + arg + ">").c_str());
    trace((WString(L"{") + WString(arg.c_str()) + L"}").c_str());
    trace((String("(") + self() + ")").c_str());
    ExitProcess(0);
}();

// The first of the texts read back that differs from the original, or the original.
WString agree(const WString& w, std::initializer_list<WString> got) {
    for (const WString& g : got) if (g != w) return g;
    return w;
}

WString readBack(InputStream& in, const Case& c) {
    std::string s(c.n.size(), '\0');
    return in.readFully(&s[0], unsigned(s.size())), W(String(s));
}

template <class Stream> WString streamed(Stream& out, const Case& c) {
    out.writeFully(c.n.data(), unsigned(c.n.size())), out.flush(), out.setFilePointer(0, Seekable::begin);
    return readBack(out, c);
}

// Runs the copy of this program named after the text under a debugger loop and
// returns the debug output it sent.
String debugged(const String& exe, const String& arg) {
    Process child(("\"" + exe + "\" --unicode-child " + arg).c_str(), DEBUG_ONLY_THIS_PROCESS);
    String out;
    for (DEBUG_EVENT e; WaitForDebugEvent(&e, 30000);) {
        const DWORD code = e.dwDebugEventCode;
        if (code == CREATE_PROCESS_DEBUG_EVENT || code == LOAD_DLL_DEBUG_EVENT)
            CloseHandle(code == LOAD_DLL_DEBUG_EVENT ? e.u.LoadDll.hFile : e.u.CreateProcessInfo.hFile);
        if (code == OUTPUT_DEBUG_STRING_EVENT) {  // narrow text: the library sends OutputDebugStringA
            std::string bytes(e.u.DebugString.nDebugStringLength, '\0');
            ReadProcessMemory(child.getHandle(), e.u.DebugString.lpDebugStringData, &bytes[0], bytes.size(), nullptr);
            out += bytes.c_str();
        }
        const bool fault = code == EXCEPTION_DEBUG_EVENT && e.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT;
        ContinueDebugEvent(e.dwProcessId, e.dwThreadId, fault ? DBG_EXCEPTION_NOT_HANDLED : DBG_CONTINUE);
        if (code == EXIT_PROCESS_DEBUG_EVENT) break;
    }
    return out;
}

WString between(const String& s, char open, char close) {
    const auto a = s.find(open), b = s.rfind(close);
    return a == String::npos || b == String::npos || b < a ? WString(L"(missing)") : W(s.substr(a + 1, b - a - 1));
}

const String tag = String::fromFormat("-%lu", GetCurrentProcessId());

// listsNames: the operation reads a file's name back from the file system.
struct Operation { const char* name; std::function<WString(const Case&)> run; bool listsNames = false; } const operations[] = {
    {"convert", [](const Case& c) {
         return agree(c.w, {W(String(c.w.c_str())), a2w(c.n.c_str(), CP_ACP), WString(c.n.c_str(), unsigned(c.w.size())),
                            W(String(c.w.c_str(), unsigned(c.w.size())))});
     }},
    {"format", [](const Case& c) {
         const unsigned n = unsigned(c.n.size());
         return agree(c.w, {W(String::fromFormat("[%s]", c.n.c_str()).mid(1, n)), W(String("<%1>").format(c.n.c_str()).mid(1, n))});
     }},
    {"path", [](const Case& c) {
         const String merged = String::mergePath("C:\\a\\" + c.n, "..\\" + c.n + "\\x");
         return agree(c.w, {W(merged.getDirectory().getPathElement(-1)), W(merged.getPathElement(2))});
     }},
    {"memory stream", [](const Case& c) {
         MemoryOutputStream out;
         out << c.n.c_str() << c.w.c_str();
         MemoryInputStream in(out.getData(), unsigned(out.getSize()));
         return agree(c.w, {W(in.readTextA()), in.readTextW()});  // read in the order written
     }},
    {"windows file, full and short path", [](const Case& c) {
         WindowsFile f(named(c).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
         const WString content = streamed(f, c);
         f.close();
         WindowsFile shortly(WindowsFile::getShortPath(named(c).c_str()).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         return agree(c.w, {content, readBack(shortly, c), W(WindowsFile::getFullPath(named(c).c_str()).getPathElement(-1))});
     }, true},
    {"FILE stream", [](const Case& c) { StdIOStream f(named(c, ".f").c_str(), "w+b"); return streamed(f, c); }},
    {"descriptor stream", [](const Case& c) {
         LowLevelIOStream f(named(c, ".d").c_str(), _O_RDWR | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE); return streamed(f, c); }},
    {"temporary file and folder", [](const Case& c) {
         if (!CreateDirectoryA(named(c).c_str(), nullptr)) throw WindowsError("Can't create the folder");
         TemporaryFile file(named(c).c_str()); TemporaryDirectory folder(named(c).c_str(), "t");
         return agree(c.w, {W(file.getPathA().getDirectory().getPathElement(-1)), file.getPathW().getDirectory().getPathElement(-1),
                            W(folder.getPath().getDirectory().getPathElement(-1))});
     }},
    {"registry", [](const Case& c) {
         RegistryKey root, key;
         root.create(HKEY_CURRENT_USER, ("Software\\VeskUnicode" + tag).c_str()), key.create(root, c.n.c_str());
         key.setValue(c.n.c_str(), c.n.c_str());
         const String expand = c.n + "%x%", multi = c.n + '\0' + c.n + '\0', e = c.n + "e", m = c.n + "m";
         key.setValue(e.c_str(), reinterpret_cast<const unsigned char*>(expand.c_str()), unsigned(expand.size() + 1), REG_EXPAND_SZ);
         key.setValue(m.c_str(), reinterpret_cast<const unsigned char*>(multi.c_str()), unsigned(multi.size() + 1), REG_MULTI_SZ);
         std::list<String> strings;
         key.getValue(m.c_str(), strings);
         const WString got = agree(c.w, {W(RegistryKey::KeyEnumeration<char>(root).begin()->name), W(key.getStringValue(c.n.c_str())),
                                         W(key.getStringValue(e.c_str())).left(unsigned(c.w.size())), W(strings.front()), W(strings.back())});
         return key.close(), root.deleteKeyRecursive(c.n.c_str()), got;
     }},
    {"INI file", [](const Case& c) {
         setIniString(named(c, ".ini").c_str(), c.n.c_str(), c.n.c_str(), c.n.c_str());
         return W(getIniString(named(c, ".ini").c_str(), c.n.c_str(), c.n.c_str(), ""));
     }},
    {"version string", [](const Case& c) { return W(VersionInfo(self().c_str()).getString(String::fromFormat("T%u", c.index))); }},
    {"module name, command line, debug output", [](const Case& c) {
         if (!CopyFileA(self().c_str(), named(c, ".exe").c_str(), TRUE)) throw WindowsError("Can't copy the program");
         const String out = debugged(named(c, ".exe"), c.n);
         const WString module = between(out, '(', ')');
         return agree(c.w, {between(out, '<', '>'), between(out, '{', '}'),
                            wineCutsName(c) ? c.w : module.left(unsigned(module.size()) - 4).getPathElement(-1)});
     }},
    {"service", [](const Case& c) {
         ServiceManager manager(nullptr, SC_MANAGER_ALL_ACCESS);
         const String name = c.n + tag;
         Service service;
         service.create(manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                        SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, "C:\\none.exe");
         char display[2048] = {}, key[2048] = {};
         DWORD size = sizeof display, keySize = sizeof key;
         const SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
         GetServiceDisplayNameA(scm, name.c_str(), display, &size), GetServiceKeyNameA(scm, display, key, &keySize);
         CloseServiceHandle(scm), service.remove();
         return agree(c.w, {WString(display).left(unsigned(c.w.size())), WString(key).left(unsigned(c.w.size()))});
     }},
    {"exception message", [](const Case& c) -> WString {
         try { WindowsFile(named(c, "\\none").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr); }
         catch (const WindowsError& e) { return WString(e.what()).contains(c.w) ? c.w : WString(e.what()); }
         return L"nothing thrown";
     }},
    {"window and controls", [](const Case& c) {
         static const WindowClass windowClass(0, 0, nullptr, unsigned(COLOR_BTNFACE), nullptr, GetModuleHandleA(nullptr));
         form::ControlForm f;
         Menu menu;
         f.open(windowClass, false), f.parent.setText(c.n.c_str()), f.edit.setText(c.n.c_str()), f.parent.setText(form::idLabel, c.n.c_str());
         f.list.addString(c.n.c_str()), f.combo.addString(c.n.c_str()), f.listView.insertColumn(0, "c", 100, LVCFMT_LEFT, unsigned(-1));
         f.listView.insertItem(c.n.c_str(), 0), menu.create(true), menu.insert(c.n.c_str(), 1, MF_STRING, unsigned(-1));
         const HTREEITEM item = f.tree.insertItem(c.n.c_str(), TVI_ROOT, TVI_LAST);
         const WString got = agree(c.w, {W(f.parent.getTextA()), f.parent.getTextW(), W(f.edit.getTextA()), W(f.parent.getTextA(form::idLabel)),
                                         W(f.list.getStringA(0)), f.combo.getStringW(0), W(f.listView.getItemTextA(0, 0)),
                                         W(f.tree.getItemTextA(item)), menu.getItemText(0, true)});
         return f.close(), got;
     }},
    {"BSTR and VARIANT", [](const Case& c) { return agree(c.w, {BString(c.n.c_str()).toWString(), Variant(c.n.c_str()).toWString()}); }},
    {"item-ID list display name", [](const Case& c) {
         WindowsFile(named(c, ".i").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr).close();
         const auto desktop = ItemIDList::getDesktopFolder();
         const ItemIDList list(W(named(c, ".i")).c_str(), desktop.get(), nullptr);
         return W(list.getDisplayNameA(desktop.get(), SHGDN_FORPARSING).getPathElement(-1)).left(unsigned(c.w.size()));
     }, true},
};

} // namespace

TEST(Unicode, EveryTextRoundTripsThroughEveryBoundary) {
    (void)childRun;
#ifdef VESK_TEST_MANIFEST_utf8
    ASSERT_EQ(GetACP(), UINT(CP_UTF8)) << "the manifest sets the code page";
#endif
    const bool utf8 = GetACP() == CP_UTF8;
    // The library's locale conversions follow the C locale outside UTF-8
    // processes: a 1252 program that wants its code page's characters sets it.
    if (!utf8) setlocale(LC_CTYPE, ".1252");
    CoInitialize(nullptr);
    vesk_test::ScratchDir scratch;
    for (const Operation& op : operations) {
        for (const Text& t : texts) {
            const unsigned i = unsigned(&t - texts);
            // Short folder names leave room for the 200 characters within MAX_PATH.
            const Case c{i, String(t.wide.c_str()), t.wide, scratch.file(String::fromFormat("%u-%u", unsigned(&op - operations), i))};
            CreateDirectoryA(c.dir.c_str(), nullptr);
            WString got;
            try { got = op.run(c); } catch (const std::exception& e) { got = L"exception: " + WString(e.what()); }
            const bool wineCut = op.listsNames && wineCutsName(c);
            EXPECT_TRUE(got == t.wide || !(utf8 || t.in1252) || wineCut) << op.name << " / " << t.label << ": " << String(got.c_str());
        }
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, ("Software\\VeskUnicode" + tag).c_str());
    CoUninitialize();
}

TEST(Unicode, StoredNarrowTextKeepsTheWritersBytes) {
    // Streams and archives keep narrow text as the writer's bytes: a 1252 text
    // read in a UTF-8 program (or the other way round) reads differently, but not
    // one byte is lost. (INI files go through the code page: see the table.)
    const String bytes("caf\xE9 \x80 \xC3\xA9\xE2\x82\xAC \xF0\x9F\x98\x80 \xFF");
    MemoryOutputStream out;
    out << bytes.c_str();
    MemoryInputStream in(out.getData(), unsigned(out.getSize()));
    EXPECT_EQ(in.readTextA(), bytes);
}

TEST(Unicode, LongFormattingIsCutOnWholeCharacters) {
    const std::string big(5000, 'q');
    EXPECT_EQ(String::fromFormat("%s", big.c_str()), big.substr(0, 1999));
    EXPECT_EQ(String::fromFormat("%s", big.substr(0, 1999).c_str()).size(), 1999u);
    // 1998 ASCII bytes and a character of two (1252) or three (UTF-8) bytes: a cut
    // at 1999 bytes falls inside it in UTF-8.
    const String text = String(std::string(1998, 'a')) + String(L"\u20AC\u4E2D");
    const String cut = String::fromFormat("%s", text.c_str());
    EXPECT_EQ(cut, text.left(unsigned(cut.size())));
    EXPECT_EQ(WString(cut.c_str()).back(), GetACP() == CP_UTF8 ? L'a' : L'\u20AC');
    const WString wide = WString(std::wstring(1998, L'a'));
    EXPECT_EQ(WString::fromFormat(L"%s", (wide + L"\U0001F600").c_str()), wide);
    EXPECT_EQ(WString::fromFormat(L"%s", std::wstring(3000, L'w').c_str()).size(), 1999u);
}
