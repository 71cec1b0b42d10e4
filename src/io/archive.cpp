// Archive: object records with identity, back-references and bounded nesting.
#include <vesk/io/archive.h>

#include <cstdint>
#include <cstring>
#include <memory>

namespace vesk {

namespace {

// The texts of the record-format errors; 8-bit texts of the library are in the ANSI
// code page (1252), hence the escapes.
const char cookieMessage[] = "In Archive::ReadObject war das eingelesene Cookie != 0.\n"
                             "Dies deutet auf einen Fehler im Bin\xE4"
                             "rstream hin!";
const char missingMessage[] = "Der Stream enth\xE4"
                              "lt eine Objektreferenz, nicht jedoch das Objekt selbst!";
const char singleMessage[] = "Das Objekt wurde zuvor als Single-Objekt gelesen und kann daher nicht als Referenz "
                             "zur\xFC"
                             "ckgegeben werden.\n"
                             "M\xF6"
                             "glicherweise liegt ein Fehler im Format des Bin\xE4"
                             "streams vor!";

// Counts one level of nesting for as long as a body is being read or written; the
// bound itself is checked before the level is entered.
class Nesting {
public:
    explicit Nesting(unsigned& depth) : depth(depth) { ++depth; }
    ~Nesting() { --depth; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

private:
    unsigned& depth;
};

void checkDepth(unsigned depth, unsigned limit, const char* verb) {
    if (depth >= limit)
        throw Serializable::Exception(BasicString<char>::fromFormat(
            "Can't %s an object nested deeper than %u records in an archive", verb, limit));
}

// The first slot a count block's probe looks at. Blocks allocated one after another
// land in neighbouring slots, so that a graph written in the order it was built walks
// the table in order rather than all over it; the address bits above the table's
// size are folded in, so that blocks a multiple of it apart do not all meet in one slot.
std::size_t firstSlot(const void* block, std::size_t slots) {
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(block) >> 4; // heap alignment
    const std::uintptr_t above = address >> __builtin_ctzll(slots);
    return static_cast<std::size_t>(address ^ above * 0x9E3779B1u) & (slots - 1);
}

} // namespace

Archive::Archive(InputStream& input, OutputStream& output)
    : input(input), output(output), headType(nullptr), maxDepth(Serializable::defaultMaxDepth), readDepth(0),
      writeDepth(0) {}

Archive::Archive(const Archive& other)
    : InputStream(other), OutputStream(other), input(other.input), output(other.output), written(other.written),
      readAsSingle(other.readAsSingle), readInOrder(other.readInOrder), readShared(other.readShared),
      keptAlive(other.keptAlive), identities(other.identities), headType(nullptr), maxDepth(other.maxDepth),
      readDepth(0), writeDepth(0) {}

Archive::~Archive() {
    // Parents get smaller identities than the children their bodies hold, so releasing
    // in that order never lets one release cascade down a long chain of objects.
    for (auto& object : readInOrder) object.reset();
    for (auto& entry : readShared) entry.second.reset();
    for (auto& object : keptAlive) object.reset();
}

unsigned Archive::read(void* buffer, unsigned size) { return input.read(buffer, size); }

unsigned Archive::write(const void* buffer, unsigned size) { return output.write(buffer, size); }

Archive& Archive::of(InputStream& stream) {
    Archive* archive = dynamic_cast<Archive*>(&stream);
    if (!archive) throw Serializable::Exception("Can't read an object with identity: the stream is no Archive");
    return *archive;
}

Archive& Archive::of(OutputStream& stream) {
    Archive* archive = dynamic_cast<Archive*>(&stream);
    if (!archive) throw Serializable::Exception("Can't write an object with identity: the stream is no Archive");
    return *archive;
}

void Archive::throwWrongClass(const char* expected, const Serializable* object) {
    throw Serializable::Exception(BasicString<char>::fromFormat(
        "Can't read an object of the class \"%s\" into a reference to \"%s\"", typeid(*object).name(), expected));
}

void Archive::writeObject(const Serializable* object) {
    if (!object) throw Serializable::Exception("Can't write a null object to an archive");
    writeObject(object, 0);
}

// The record-building steps live out of line, apart from the calls that recurse into
// bodies: every level of nesting then costs the stack only a small frame.

__attribute__((noinline)) void Archive::writeHead(const Serializable* object, unsigned long identity) {
    const std::type_info& type = typeid(*object);
    if (&type != headType) {
        unsigned length;
        const char* name = Serializable::classNameOf(object, length);
        head.assign(12 + length, 0);
        std::memcpy(&head[8], &length, 4);
        std::memcpy(&head[12], name, length);
        headType = &type;
    }
    const std::uint32_t word = static_cast<std::uint32_t>(identity);
    std::memcpy(&head[4], &word, 4);
    writeFully(head.data(), static_cast<unsigned>(head.size()));
}

__attribute__((noinline)) void Archive::writeReference(unsigned long identity) {
    std::uint32_t reference = static_cast<std::uint32_t>(identity);
    writeFully(&reference, sizeof(reference));
}

// 0 for a count block not written yet.
unsigned long Archive::identityOf(const void* block) const {
    if (identities.empty()) return 0;
    const std::size_t mask = identities.size() - 1;
    for (std::size_t i = firstSlot(block, identities.size());; i = (i + 1) & mask) {
        const std::uint32_t identity = identities[i];
        if (identity == 0 || keptAlive[identity - 1].getCountBlock() == block) return identity;
    }
}

// Called with the object kept alive already. Throws (std::bad_alloc) only while the
// table grows, before anything is entered.
void Archive::addIdentity(const void* block, unsigned long identity) {
    if (2 * keptAlive.size() > identities.size()) {
        std::vector<std::uint32_t> grown(identities.empty() ? 64 : 2 * identities.size(), 0);
        for (std::uint32_t entry : identities)
            if (entry != 0) {
                std::size_t i = firstSlot(keptAlive[entry - 1].getCountBlock(), grown.size());
                while (grown[i] != 0) i = (i + 1) & (grown.size() - 1);
                grown[i] = entry;
            }
        identities.swap(grown);
    }
    std::size_t i = firstSlot(block, identities.size());
    while (identities[i] != 0) i = (i + 1) & (identities.size() - 1);
    identities[i] = static_cast<std::uint32_t>(identity);
}

// A count block seen before was written before: its record or back-reference follows
// the number it got then. A new one gets the next number (after the depth check, so
// that a refused record leaves no number behind) and is kept alive.
__attribute__((noinline)) bool Archive::startWrite(const ref_ptr<Serializable>& object) {
    if (!object) throw Serializable::Exception("Can't write an empty ref_ptr to an archive");
    const void* block = object.getCountBlock();
    if (const unsigned long known = identityOf(block)) {
        writeReference(known);
        return false;
    }
    checkDepth(writeDepth, maxDepth, "write");
    if (keptAlive.size() == 0xFFFFFFFFu)
        throw Serializable::Exception("Can't write more than 4294967295 shared objects to one archive");
    keptAlive.push_back(object);
    const unsigned long identity = static_cast<unsigned long>(keptAlive.size());
    try {
        addIdentity(block, identity);
    } catch (...) {
        keptAlive.pop_back();
        throw;
    }
    writeHead(object.get(), identity);
    return true;
}

// The same for an identity given by the caller, remembered in written.
__attribute__((noinline)) bool Archive::startWrite(const Serializable* object, unsigned long identity) {
    if (identity != 0 && written.count(identity) != 0) {
        writeReference(identity);
        return false;
    }
    checkDepth(writeDepth, maxDepth, "write");
    if (identity != 0) written.insert(identity);
    writeHead(object, identity);
    return true;
}

void Archive::writeObject(const ref_ptr<Serializable>& object) {
    if (!startWrite(object)) return;
    Nesting nesting(writeDepth);
    object->serialize(*this);
}

void Archive::writeObject(const Serializable* object, unsigned long identity) {
    if (!startWrite(object, identity)) return;
    Nesting nesting(writeDepth);
    object->serialize(*this);
}

__attribute__((noinline)) Serializable* Archive::startReadSingle(unsigned long& identity) {
    if (readUInt32() != 0) throw vesk::Exception(cookieMessage);
    std::uint32_t head[2]; // identity, class-name length
    readFully(head, sizeof(head));
    identity = head[0];
    checkDepth(readDepth, maxDepth, "read");
    return Serializable::readClassName(*this, head[1]);
}

__attribute__((noinline)) bool Archive::startReadShared(ref_ptr<Serializable>& object) {
    unsigned long word = readUInt32();
    if (word != 0) {
        if (word <= readInOrder.size()) {
            object = readInOrder[word - 1];
            return false;
        }
        auto found = readShared.find(word);
        if (found == readShared.end()) throw Serializable::Exception(missingMessage);
        object = found->second;
        return false;
    }
    std::uint32_t head[2]; // identity, class-name length
    readFully(head, sizeof(head));
    unsigned long identity = head[0];
    if (readAsSingle.count(identity) != 0) throw vesk::Exception(singleMessage);
    checkDepth(readDepth, maxDepth, "read");
    object = ref_ptr<Serializable>(Serializable::readClassName(*this, head[1]));
    // Entered before the body is read, so that references to the object from inside
    // its own body resolve. A later record with the same identity (as in the output
    // of two archives read by one) replaces the entry for the references after it.
    if (identity == 0) return true;
    if (identity <= readInOrder.size())
        readInOrder[identity - 1] = object;
    else if (identity == readInOrder.size() + 1)
        readInOrder.push_back(object);
    else
        readShared[identity] = object;
    return true;
}

Serializable* Archive::readObject() {
    unsigned long identity;
    std::unique_ptr<Serializable> object(startReadSingle(identity));
    {
        Nesting nesting(readDepth);
        object->deserialize(*this);
    }
    readAsSingle.insert(identity);
    return object.release();
}

void Archive::readObject(ref_ptr<Serializable>& result) {
    ref_ptr<Serializable> object;
    if (startReadShared(object)) {
        Nesting nesting(readDepth);
        object->deserialize(*this);
    }
    result = std::move(object);
}

} // namespace vesk
