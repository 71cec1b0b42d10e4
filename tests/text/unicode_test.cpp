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
    trace((String("(") + WindowsModule(GetModuleHandleA(nullptr)).getFilenameA() + ")").c_str());
    ExitProcess(0);
}();

struct Text {
    const wchar_t* label;
    WString wide;
    bool in1252;  // the 1252 code page holds every character
};

WString longChinese() {
    WString s;
    for (int i = 0; i < 200; ++i) s.push_back(wchar_t(0x4E00 + (i * 37) % 0x4000));
    return s;
}

const Text texts[] = {
    {L"Greek", L"Ελληνικά", false},         {L"Cyrillic", L"Кириллица", false},
    {L"Chinese", L"中文名字", false},        {L"emoji", L"\U0001F600 smile", false},
    {L"combining", L"e\u0301a\u0308", false}, {L"euro", L"€ 10", true},
    {L"200 Chinese", longChinese(), false},
};

struct Case {
    unsigned index;
    String n;  // the text in the ANSI code page
    WString w;
    String dir;  // a fresh folder for this text
};

// The first of the texts read back that differs from the original, or the original.
WString agree(const WString& w, std::initializer_list<WString> got) {
    for (const WString& g : got)
        if (g != w) return g;
    return w;
}

String readAll(InputStream& in, unsigned size) {
    std::string s(size, '\0');
    in.readFully(&s[0], size);
    return String(s);
}

template <class Stream> WString streamed(Stream& out, const Case& c) {
    out.writeFully(c.n.data(), unsigned(c.n.size()));
    out.flush();
    out.setFilePointer(0, Seekable::begin);
    return WString(readAll(out, unsigned(c.n.size())).c_str());
}

// Runs the copy of this program named after the text under a debugger loop and
// returns the debug output it sent.
String debugged(const String& exe, const String& arg) {
    Process child(("\"" + exe + "\" --unicode-child " + arg).c_str(), DEBUG_ONLY_THIS_PROCESS);
    String out;
    HANDLE process = nullptr;
    for (DEBUG_EVENT e; WaitForDebugEvent(&e, 30000);) {
        DWORD status = DBG_CONTINUE;
        if (e.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) {
            process = e.u.CreateProcessInfo.hProcess;
            CloseHandle(e.u.CreateProcessInfo.hFile);
        } else if (e.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) {
            CloseHandle(e.u.LoadDll.hFile);
        } else if (e.dwDebugEventCode == EXCEPTION_DEBUG_EVENT) {
            if (e.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) status = DBG_EXCEPTION_NOT_HANDLED;
        } else if (e.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT) {
            const auto& s = e.u.DebugString;
            std::string bytes(std::size_t(s.nDebugStringLength) * (s.fUnicode ? 2 : 1) + 2, '\0');
            ReadProcessMemory(process, s.lpDebugStringData, &bytes[0], bytes.size() - 2, nullptr);
            out += s.fUnicode ? String(reinterpret_cast<const wchar_t*>(bytes.data())) : String(bytes.c_str());
        }
        ContinueDebugEvent(e.dwProcessId, e.dwThreadId, status);
        if (e.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) break;
    }
    return out;
}

WString between(const String& s, char open, char close) {
    const auto a = s.find(open), b = s.rfind(close);
    return a == String::npos || b == String::npos || b < a ? WString(L"(missing)") : WString(s.substr(a + 1, b - a - 1).c_str());
}

const String tag = String::fromFormat("-%lu", GetCurrentProcessId());

struct Operation {
    const char* name;
    std::function<WString(const Case&)> run;
    bool listsNames = false;  // reads a file's name back from the file system
};

const Operation operations[] = {
    {"convert", [](const Case& c) {
         return agree(c.w, {WString(String(c.w.c_str()).c_str()), a2w(c.n.c_str(), CP_ACP),
                            WString(c.n.c_str(), unsigned(c.w.size())), WString(String(c.w.c_str(), unsigned(c.w.size())).c_str())});
     }},
    {"format", [](const Case& c) {
         const String f = String::fromFormat("[%s]", c.n.c_str()), p = String("<%1>").format(c.n.c_str());
         return agree(c.w, {WString(f.mid(1, unsigned(c.n.size())).c_str()), WString(p.mid(1, unsigned(c.n.size())).c_str())});
     }},
    {"path", [](const Case& c) {
         const String merged = String::mergePath("C:\\a\\" + c.n, "..\\" + c.n + "\\x");
         return agree(c.w, {WString(merged.getDirectory().getPathElement(-1).c_str()), WString(merged.getPathElement(2).c_str())});
     }},
    {"memory stream", [](const Case& c) {
         MemoryOutputStream out;
         out << c.n.c_str() << c.w.c_str();
         MemoryInputStream in(out.getData(), unsigned(out.getSize()));
         const String a = in.readTextA();
         return agree(c.w, {WString(a.c_str()), in.readTextW()});
     }},
    {"windows file, full and short path", [](const Case& c) {
         const String path = c.dir + "\\" + c.n;
         WindowsFile f(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
         const WString content = streamed(f, c);
         f.close();
         WindowsFile shortly(WindowsFile::getShortPath(path.c_str()).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         return agree(c.w, {content, WString(readAll(shortly, unsigned(c.n.size())).c_str()),
                            WString(WindowsFile::getFullPath(path.c_str()).getPathElement(-1).c_str())});
     }, true},
    {"FILE stream", [](const Case& c) {
         StdIOStream f((c.dir + "\\" + c.n + ".f").c_str(), "w+b");
         return streamed(f, c);
     }},
    {"descriptor stream", [](const Case& c) {
         LowLevelIOStream f((c.dir + "\\" + c.n + ".d").c_str(), _O_RDWR | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
         return streamed(f, c);
     }},
    {"temporary file and folder", [](const Case& c) {
         const String sub = c.dir + "\\" + c.n;
         if (!CreateDirectoryA(sub.c_str(), nullptr)) throw WindowsError("Can't create the folder");
         TemporaryFile file(sub.c_str());
         TemporaryDirectory folder(sub.c_str(), "t");
         return agree(c.w, {WString(file.getPathA().getDirectory().getPathElement(-1).c_str()), file.getPathW().getDirectory().getPathElement(-1),
                            WString(folder.getPath().getDirectory().getPathElement(-1).c_str())});
     }},
    {"registry", [](const Case& c) {
         RegistryKey root;
         root.create(HKEY_CURRENT_USER, ("Software\\VeskUnicode" + tag).c_str());
         RegistryKey key;
         key.create(root, c.n.c_str());
         key.setValue(c.n.c_str(), c.n.c_str());
         const String expand = c.n + "%x%", multi = c.n + '\0' + c.n + '\0';
         key.setValue((c.n + "e").c_str(), reinterpret_cast<const unsigned char*>(expand.c_str()), unsigned(expand.size() + 1), REG_EXPAND_SZ);
         key.setValue((c.n + "m").c_str(), reinterpret_cast<const unsigned char*>(multi.c_str()), unsigned(multi.size() + 1), REG_MULTI_SZ);
         std::list<String> strings;
         key.getValue((c.n + "m").c_str(), strings);
         const WString name(RegistryKey::KeyEnumeration<char>(root).begin()->name.c_str());
         const String value = key.getStringValue(c.n.c_str()), expanded = key.getStringValue((c.n + "e").c_str());
         key.close();
         root.deleteKeyRecursive(c.n.c_str());
         return agree(c.w, {name, WString(value.c_str()), WString(expanded.left(unsigned(c.n.size())).c_str()),
                            WString(strings.front().c_str()), WString(strings.back().c_str())});
     }},
    {"INI file", [](const Case& c) {
         const String file = c.dir + "\\" + c.n + ".ini";
         setIniString(file.c_str(), c.n.c_str(), c.n.c_str(), c.n.c_str());
         return WString(getIniString(file.c_str(), c.n.c_str(), c.n.c_str(), "").c_str());
     }},
    {"version string", [](const Case& c) {
         const String self = WindowsModule(GetModuleHandleA(nullptr)).getFilenameA();
         return WString(VersionInfo(self.c_str()).getString(String::fromFormat("T%u", c.index)).c_str());
     }},
    {"module name, command line, debug output", [](const Case& c) {
         const String exe = c.dir + "\\" + c.n + ".exe";
         if (!CopyFileA(WindowsModule(GetModuleHandleA(nullptr)).getFilenameA().c_str(), exe.c_str(), TRUE))
             throw WindowsError("Can't copy the program");
         const String out = debugged(exe, c.n);
         const WString module = between(out, '(', ')');
         return agree(c.w, {between(out, '<', '>'), between(out, '{', '}'), module.left(unsigned(module.size()) - 4).getPathElement(-1)});
     }, true},
    {"service", [](const Case& c) {
         ServiceManager manager(nullptr, SC_MANAGER_ALL_ACCESS);
         const String name = c.n + tag;
         Service service;
         service.create(manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                        SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, "C:\\none.exe");
         char display[2048] = {}, key[2048] = {};
         DWORD size = sizeof display;
         const SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
         GetServiceDisplayNameA(scm, name.c_str(), display, &size);
         size = sizeof key;
         GetServiceKeyNameA(scm, display, key, &size);
         CloseServiceHandle(scm);
         service.remove();
         return agree(c.w + WString(tag.c_str()), {WString(display), WString(key)}).left(unsigned(c.w.size()));
     }},
    {"exception message", [](const Case& c) -> WString {
         try {
             WindowsFile((c.dir + "\\" + c.n + "\\none").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         } catch (const WindowsError& e) {
             const WString what(e.what());
             return what.contains(c.w) ? c.w : what;
         }
         return L"nothing thrown";
     }},
    {"window and controls", [](const Case& c) {
         static const WindowClass windowClass(0, 0, nullptr, unsigned(COLOR_BTNFACE), nullptr, GetModuleHandleA(nullptr));
         form::ControlForm f;
         f.open(windowClass, false);
         f.parent.setText(c.n.c_str());
         f.edit.setText(c.n.c_str());
         f.parent.setText(form::idLabel, c.n.c_str());
         f.list.addString(c.n.c_str());
         f.combo.addString(c.n.c_str());
         f.listView.insertColumn(0, "c", 100, LVCFMT_LEFT, unsigned(-1));
         f.listView.insertItem(c.n.c_str(), 0);
         const HTREEITEM item = f.tree.insertItem(c.n.c_str(), TVI_ROOT, TVI_LAST);
         Menu menu;
         menu.create(true);
         menu.insert(c.n.c_str(), 1, MF_STRING, unsigned(-1));
         const WString got[] = {WString(f.parent.getTextA().c_str()), f.parent.getTextW(), WString(f.edit.getTextA().c_str()),
                                WString(f.parent.getTextA(form::idLabel).c_str()), WString(f.list.getStringA(0).c_str()),
                                f.combo.getStringW(0), WString(f.listView.getItemTextA(0, 0).c_str()),
                                WString(f.tree.getItemTextA(item).c_str()), menu.getItemText(0, true)};
         f.close();
         for (const WString& g : got)
             if (g != c.w) return g;
         return c.w;
     }},
    {"BSTR and VARIANT", [](const Case& c) {
         return agree(c.w, {BString(c.n.c_str()).toWString(), Variant(c.n.c_str()).toWString()});
     }},
    {"item-ID list display name", [](const Case& c) {
         const String path = c.dir + "\\" + c.n + ".i";
         WindowsFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr).close();
         const auto desktop = ItemIDList::getDesktopFolder();
         const ItemIDList list(WString(path.c_str()).c_str(), desktop.get(), nullptr);
         return WString(list.getDisplayNameA(desktop.get(), SHGDN_FORPARSING).getPathElement(-1).c_str()).left(unsigned(c.w.size()));
     }, true},
};

} // namespace

TEST(Unicode, TheProcessHasTheCodePageOfItsBuild) {
#ifdef VESK_TEST_MANIFEST_utf8
    EXPECT_EQ(GetACP(), UINT(CP_UTF8));
#else
    EXPECT_EQ(GetACP(), 1252u);
#endif
}

TEST(Unicode, EveryTextRoundTripsThroughEveryBoundary) {
    (void)childRun;
    const bool utf8 = GetACP() == CP_UTF8;
    // The library's locale conversions follow the C locale outside UTF-8
    // processes: a 1252 program that wants its code page's characters sets it.
    if (!utf8) setlocale(LC_CTYPE, ".1252");
    CoInitialize(nullptr);
    vesk_test::ScratchDir scratch;
    for (const Operation& op : operations) {
        for (unsigned i = 0; i < sizeof texts / sizeof *texts; ++i) {
            const Text& t = texts[i];
            // Short folder names leave room for the 200 characters within MAX_PATH.
            const String dir = scratch.file(String::fromFormat("%u-%u", unsigned(&op - operations), i));
            CreateDirectoryA(dir.c_str(), nullptr);
            const Case c{i, String(t.wide.c_str()), t.wide, dir};
            WString got;
            try {
                got = op.run(c);
            } catch (const std::exception& e) {
                got = L"exception: " + WString(e.what());
            }
            // Wine keeps a name in at most 255 bytes of UTF-8 on the Unix side, so
            // a listing gives the 200 characters back cut.
            const bool wineCut = op.listsNames && vesk_test::runningUnderWine() && c.n.size() > 255;
            if ((utf8 || t.in1252) && !wineCut) {
                EXPECT_EQ(got, t.wide) << op.name << " / " << String(t.label) << ": " << String(got.right(40).c_str());
            }
        }
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, ("Software\\VeskUnicode" + tag).c_str());
    CoUninitialize();
}

TEST(Unicode, StoredNarrowTextKeepsTheWritersBytes) {
    // A 1252 writer's bytes read in a UTF-8 program (and the other way round) are
    // not the same text, but not one byte of them is lost.
    const String bytes("caf\xE9 \x80 \xC3\xA9\xE2\x82\xAC \xF0\x9F\x98\x80 \xFF");
    vesk_test::ScratchDir scratch;
    const String ini = scratch.file("bytes.ini");
    // The profile functions read and write the file through the ANSI code page:
    // they keep what is valid text in it.
    const String text = GetACP() == CP_UTF8 ? bytes.mid(7, 10) : bytes;
    setIniString(ini.c_str(), "s", "k", text.c_str());
    EXPECT_EQ(getIniString(ini.c_str(), "s", "k", ""), text);
    MemoryOutputStream out;
    out << bytes.c_str();
    MemoryInputStream in(out.getData(), unsigned(out.getSize()));
    EXPECT_EQ(in.readTextA(), bytes);
}

TEST(Unicode, LongFormattingIsCutOnWholeCharacters) {
    // 1998 ASCII bytes and a three-byte character: 1999 bytes would cut it.
    const String text = String(std::string(1998, 'a')) + String(L"\u20AC\u4E2D");
    const String cut = String::fromFormat("%s", text.c_str());
    EXPECT_EQ(cut, text.left(unsigned(cut.size())));
    EXPECT_EQ(WString(cut.c_str()).back(), GetACP() == CP_UTF8 ? L'a' : L'\u20AC');
    const WString wide = WString(std::wstring(1998, L'a')) + L"\U0001F600";
    EXPECT_EQ(WString::fromFormat(L"%s", wide.c_str()), WString(std::wstring(1998, L'a')));
}
