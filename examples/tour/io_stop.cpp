// Tour stop: streams and object graphs. Three people who each name a friend form a
// ring; an Archive writes it to memory once per person and reads it back with the
// same sharing.
#include "tour.h"

#include <vesk/io/archive.h>
#include <vesk/io/memory_stream.h>

#include <string>

namespace {

using namespace vesk;

class Person : public Serializable {
public:
    std::string name;
    int age = 0;
    ref_ptr<Person> friendOf;

    void serialize(OutputStream& out) const override {
        out << name << age;
        Archive::of(out).writeObject(friendOf);
    }
    void deserialize(InputStream& in) override {
        in >> name >> age;
        Archive::of(in).readObject(friendOf);
    }
};
SerializableImpl<Person> registerPerson;

ref_ptr<Person> person(const char* name, int age) {
    ref_ptr<Person> p(new Person);
    p->name = name;
    p->age = age;
    return p;
}

void printRing(const char* title, const ref_ptr<Person>& start) {
    std::printf("%s:", title);
    const Person* p = start.get();
    for (int i = 0; i < 3; ++i, p = p->friendOf.get()) std::printf(" %s (%d) ->", p->name.c_str(), p->age);
    std::printf(" the same %s again: %s\n", start->name.c_str(), p == start.get() ? "yes" : "no");
}

void ioStop() {
    ref_ptr<Person> anna = person("Anna", 34), ben = person("Ben", 29), cleo = person("Cleo", 41);
    anna->friendOf = ben;
    ben->friendOf = cleo;
    cleo->friendOf = anna;
    printRing("written", anna);

    MemoryOutputStream bytes;
    {
        MemoryInputStream nothing;
        Archive archive(nothing, bytes);
        archive.writeObject(anna);
    }
    const unsigned size = static_cast<unsigned>(bytes.getSize());
    std::printf("archive: %u bytes; it starts with a full record (marker, identity, name length):", size);
    for (unsigned i = 0; i < 12; ++i) std::printf(" %02X", bytes.getData()[i]);
    std::printf("\n         and ends with Cleo's friend as a back-reference to identity 1:");
    for (unsigned i = size - 4; i < size; ++i) std::printf(" %02X", bytes.getData()[i]);
    std::printf("\n");

    ref_ptr<Person> back;
    {
        MemoryInputStream in(bytes.getData(), static_cast<unsigned>(bytes.getSize()));
        MemoryOutputStream nothing;
        Archive archive(in, nothing);
        archive.readObject(back);
    }
    printRing("read back", back);

    // A ring keeps itself alive; cut it so that both rings are released.
    anna->friendOf.reset();
    back->friendOf.reset();
}

} // namespace

TOUR_STOP(30, "Streams: a cyclic object graph through memory", ioStop);
