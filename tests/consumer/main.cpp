// Uses the installed headers, import library and DLL the way a user's program
// would; exits non-zero if anything is off.
#include <vesk/com/com_error.h>
#include <vesk/com/guid.h>
#include <vesk/errors/exception.h>
#include <vesk/io/archive.h>
#include <vesk/io/memory_stream.h>
#include <vesk/text/string.h>
#include <vesk/time/gregorian_calendar.h>

#include <atomic>
#include <cstdio>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

class Node : public vesk::Serializable {
public:
    int value = 0;
    vesk::ref_ptr<Node> next;
    void serialize(vesk::OutputStream& out) const override { out << value, vesk::Archive::of(out).writeObject(next); }
    void deserialize(vesk::InputStream& in) override { in >> value, vesk::Archive::of(in).readObject(next); }
};
vesk::SerializableImpl<Node> registerNode;

// Several threads read damaged GUIDs.txt texts at once, each many times. Every read
// keeps exactly the entries before the damage. The failures that come out of the
// library (the stream's at the end of a text cut short, the library's own for the
// damaged entry) must be the caller's: an ios_base::failure compares equal to
// std::io_errc::stream, and none is left counted as uncaught. Both hold only when
// the program and vesk.dll share one C++ runtime.
bool readNamesUnderLoad() {
    const int entries = 300, lineLength = 49;
    std::string good;
    char entry[64];
    for (int i = 0; i < entries; ++i)
        std::snprintf(entry, sizeof entry, "{%08X-0000-0000-C000-000000000046} IID_I%04d\n", i * 2654435761u, i), good += entry;
    std::atomic<int> failures{0};
    auto reader = [&](unsigned seed) {
        for (int round = 0; round < 60; ++round) {
            seed = seed * 1103515245u + 12345u;
            const int at = int((seed >> 8) % entries), kind = round % 3;
            const std::size_t start = std::size_t(at) * lineLength;
            std::string text = good;
            if (kind == 0) text[start + 5] = 'G';          // a GUID with a non-hex digit
            if (kind == 1) text.resize(start + 20);        // cut inside a GUID
            if (kind == 2) text.insert(start, 3000, 'x');  // a token over the limit
            std::istringstream in(text);
            in.exceptions(std::ios::eofbit);
            vesk::GUIDNames names;
            bool sound = true;
            try { vesk::readGUIDNames(in, names); } catch (const std::ios_base::failure& e) { sound = e.code() == std::io_errc::stream; }
            // The entry the reading stopped at is one the library refuses.
            try { if (kind == 0) (void)vesk::toGUID(text.substr(start, 38).c_str()), sound = false; } catch (const vesk::COMError&) {}
            const auto last = at ? names.find(vesk::toGUID(good.substr(start - lineLength, 38).c_str())) : names.end();
            const bool kept = names.size() == std::size_t(at) &&
                              (at == 0 || (last != names.end() && last->second == "IID_I" + std::to_string(10000 + at - 1).substr(1)));
            if (!kept || !sound || std::uncaught_exceptions() != 0) ++failures;
        }
    };
    std::vector<std::thread> threads;
    for (unsigned t = 1; t <= 4; ++t) threads.emplace_back(reader, t);
    for (std::thread& t : threads) t.join();
    std::printf("consumer: damaged name files read in 4 threads, %d failures\n", failures.load());
    return failures == 0;
}

} // namespace

int main(int argc, char** argv) {
    const vesk::String merged = vesk::String::mergePath("C:\\a\\b", "..\\c");
    if (merged != "C:\\a\\c") return std::printf("mergePath gave %s\n", merged.c_str()), 1;
    try {
        SetLastError(ERROR_FILE_NOT_FOUND), throw vesk::WindowsError("Can't open \"missing.txt\"");
    } catch (const vesk::WindowsError& e) {
        if (std::printf("consumer ok: %s\n", e.what()), e.getError() != ERROR_FILE_NOT_FOUND) return 2;
    }

    vesk::ref_ptr<Node> head(new Node), back;
    head->value = 7, head->next = head;  // a cycle
    vesk::MemoryOutputStream bytes, unused;
    vesk::MemoryInputStream none;
    vesk::Archive(none, bytes).writeObject(head);
    vesk::MemoryInputStream in(bytes.getData(), unsigned(bytes.getSize()));
    vesk::Archive(in, unused).readObject(back);
    const bool cycle = back && back->value == 7 && back->next.get() == back.get();
    head->next.reset();
    if (back) back->next.reset();
    if (!cycle) return 3;

    using G = vesk::GregorianCalendarBase;
    vesk::TimeZone zone;
    zone.SetStandardOffset(3600000), zone.SetDSTOffset(3600000);
    zone.SetStartRule(G::MARCH, -1, G::SUNDAY, 2 * 3600000), zone.SetEndRule(G::OCTOBER, -1, G::SUNDAY, 3 * 3600000);
    vesk::GregorianCalendar day(zone);
    day.set(2024, G::JANUARY, 31), day.add(vesk::Calendar::MONTH, 1);
    if (day.get(vesk::Calendar::DAY_OF_MONTH) != 29 || day.get(vesk::Calendar::MONTH) != 1) return 4;
    std::printf("consumer ok: archive cycle and calendar\n");
    if (!readNamesUnderLoad()) return 6;

    // With the package's name files registered (bin/vesknames /register), a failure reads by name.
    const vesk::String failure = vesk::getHRESULTIdentifier(long(0x80004005));
    std::printf("consumer: 0x80004005 reads as %s\n", failure.c_str());
    return argc > 1 && std::string(argv[1]) == "--names" && failure != "E_FAIL" ? 5 : 0;
}
