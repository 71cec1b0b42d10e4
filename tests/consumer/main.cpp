// Uses the installed headers, import library and DLL the way a user's program
// would; exits non-zero if anything is off.
#include <vesk/com/guid.h>
#include <vesk/errors/exception.h>
#include <vesk/io/archive.h>
#include <vesk/io/memory_stream.h>
#include <vesk/text/string.h>
#include <vesk/time/gregorian_calendar.h>

#include <cstdio>
#include <cstring>

namespace {

class Node : public vesk::Serializable {
public:
    int value = 0;
    vesk::ref_ptr<Node> next;
    void serialize(vesk::OutputStream& out) const override {
        out << value;
        vesk::Archive::of(out).writeObject(next);
    }
    void deserialize(vesk::InputStream& in) override {
        in >> value;
        vesk::Archive::of(in).readObject(next);
    }
};
vesk::SerializableImpl<Node> registerNode;

} // namespace

int main(int argc, char** argv) {
    vesk::String merged = vesk::String::mergePath("C:\\a\\b", "..\\c");
    if (merged != "C:\\a\\c") {
        std::printf("mergePath gave %s\n", merged.c_str());
        return 1;
    }
    try {
        SetLastError(ERROR_FILE_NOT_FOUND);
        throw vesk::WindowsError("Can't open \"missing.txt\"");
    } catch (const vesk::WindowsError& e) {
        if (e.getError() != ERROR_FILE_NOT_FOUND) return 2;
        std::printf("consumer ok: %s\n", e.what());
    }

    vesk::ref_ptr<Node> head(new Node);
    head->value = 7;
    head->next = head;  // a cycle
    vesk::MemoryOutputStream bytes;
    vesk::MemoryInputStream none;
    vesk::Archive(none, bytes).writeObject(head);
    vesk::MemoryInputStream in(bytes.getData(), unsigned(bytes.getSize()));
    vesk::MemoryOutputStream unused;
    vesk::ref_ptr<Node> back;
    vesk::Archive(in, unused).readObject(back);
    const bool cycle = back && back->value == 7 && back->next.get() == back.get();
    head->next.reset();
    if (back) back->next.reset();
    if (!cycle) return 3;

    vesk::TimeZone zone;
    zone.SetStandardOffset(3600000);
    zone.SetDSTOffset(3600000);
    zone.SetStartRule(vesk::GregorianCalendarBase::MARCH, -1, vesk::GregorianCalendarBase::SUNDAY, 2 * 3600000);
    zone.SetEndRule(vesk::GregorianCalendarBase::OCTOBER, -1, vesk::GregorianCalendarBase::SUNDAY, 3 * 3600000);
    vesk::GregorianCalendar day(zone);
    day.set(2024, vesk::GregorianCalendarBase::JANUARY, 31);
    day.add(vesk::Calendar::MONTH, 1);
    if (day.get(vesk::Calendar::DAY_OF_MONTH) != 29 || day.get(vesk::Calendar::MONTH) != 1) return 4;
    std::printf("consumer ok: archive cycle and calendar\n");

    // With the package's name files registered (bin/vesknames /register), a failure reads by name.
    const vesk::String failure = vesk::getHRESULTIdentifier(long(0x80004005));
    std::printf("consumer: 0x80004005 reads as %s\n", failure.c_str());
    if (argc > 1 && std::strcmp(argv[1], "--names") == 0 && failure != "E_FAIL") return 5;
    return 0;
}
