// Tour stop: text formatting, positional formats, paths and 8/16-bit conversion.
#include "tour.h"

#include <vesk/text/string.h>

using vesk::String;
using vesk::WString;

static void textStop() {
    const String greeting = String::fromFormat("%s has %d parts, %.1f%% done", "Vesk++", 9, 12.5);
    std::printf("fromFormat:        %s\n", greeting.c_str());

    // Positional placeholders let translations reorder the arguments.
    const String order = String("%2 before %1, 100%% sure").format("first", "second");
    std::printf("format:            %s\n", order.c_str());

    const String path = "C:\\Program Files\\Vesk\\bin\\vesk.dll";
    std::printf("path:              %s\n", path.c_str());
    std::printf("  getPathElement(0):  %s\n", path.getPathElement(0).c_str());
    std::printf("  getPathElement(-1): %s\n", path.getPathElement(-1).c_str());
    std::printf("  getDirectory():     %s\n", path.getDirectory().c_str());
    const String merged = String::mergePath(path.getDirectory(), "..\\share\\readme.txt");
    std::printf("  mergePath(dir, \"..\\share\\readme.txt\"): %s\n", merged.c_str());

    const String fields = "name;size;modified";
    std::printf("substring(\";\", 1): %s\n", fields.substring(";", 1).c_str());
    std::printf("trim:              [%s]\n", String("  padded\t ").trim().c_str());
    std::printf("replaceAll:        %s\n", String("a-b-c").replaceAll("-", " + ").c_str());

    // 16-bit text converts to the ANSI code page and back. The tour's manifest
    // makes that code page UTF-8, so any text survives; Chinese is printed here
    // rather than drawn, as a machine may lack the fonts for it.
    const WString wide = L"Gr\u00FC\u00DFe aus Wien, \u4E2D\u6587, \u0395\u03BB\u03BB\u03AC\u03B4\u03B1";
    const String narrow(wide.c_str());
    std::printf("wide -> ANSI:      %u units -> %u bytes, byte 3 = 0x%02X\n", unsigned(wide.size()),
                unsigned(narrow.size()), unsigned(static_cast<unsigned char>(narrow[2])));
    const WString back = vesk::a2w(narrow.c_str(), CP_ACP);
    std::printf("ANSI -> wide:      round trip %s\n", back == wide ? "exact" : "DIFFERENT");
    std::printf("code page %u:     %s\n", GetACP(), narrow.c_str());
}

TOUR_STOP(10, "Text: formatting, paths, conversions", textStop);
