// Archive: object records with identity, back-references and bounded nesting.
#include <vesk/io/archive.h>

#include <cstdint>
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

class DepthGuard {
public:
    DepthGuard(unsigned& depth, unsigned limit, const char* verb) : depth(depth) {
        if (depth >= limit) tooDeep(limit, verb);
        ++depth;
    }
    ~DepthGuard() { --depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    [[noreturn]] __attribute__((noinline)) static void tooDeep(unsigned limit, const char* verb) {
        throw Serializable::Exception(BasicString<char>::fromFormat(
            "Can't %s an object nested deeper than %u records in an archive", verb, limit));
    }

    unsigned& depth;
};

} // namespace

Archive::Archive(InputStream& input, OutputStream& output)
    : input(input), output(output), lastIdentity(0), maxDepth(Serializable::defaultMaxDepth), readDepth(0),
      writeDepth(0) {}

Archive::Archive(const Archive& other)
    : InputStream(other), OutputStream(other), input(other.input), output(other.output), written(other.written),
      readAsSingle(other.readAsSingle), readShared(other.readShared), identities(other.identities),
      keptAlive(other.keptAlive), lastIdentity(other.lastIdentity), maxDepth(other.maxDepth), readDepth(0),
      writeDepth(0) {}

Archive::~Archive() {
    // Parents get smaller identities than the children their bodies hold, so releasing
    // in that order never lets one release cascade down a long chain of objects.
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

void Archive::writeObject(const ref_ptr<Serializable>& object) {
    if (!object) throw Serializable::Exception("Can't write an empty ref_ptr to an archive");
    unsigned long identity;
    auto found = identities.find(object.getCountBlock());
    if (found != identities.end()) {
        identity = found->second;
    } else {
        if (lastIdentity == 0xFFFFFFFFul)
            throw Serializable::Exception("Can't write more than 4294967295 shared objects to one archive");
        keptAlive.push_back(object);
        try {
            identities.emplace(object.getCountBlock(), lastIdentity + 1);
        } catch (...) {
            keptAlive.pop_back();
            throw;
        }
        identity = ++lastIdentity;
    }
    writeObject(object.get(), identity);
}

void Archive::writeObject(const Serializable* object, unsigned long identity) {
    if (identity != 0 && written.count(identity) != 0) {
        std::uint32_t reference = static_cast<std::uint32_t>(identity);
        writeFully(&reference, sizeof(reference));
        return;
    }
    DepthGuard nesting(writeDepth, maxDepth, "write");
    if (identity != 0) written.insert(identity);
    std::uint32_t header[2] = {0, static_cast<std::uint32_t>(identity)};
    writeFully(header, sizeof(header));
    Serializable::writeClassName(*this, object);
    object->serialize(*this);
}

Serializable* Archive::readObject() {
    if (readUInt32() != 0) throw vesk::Exception(cookieMessage);
    unsigned long identity = readUInt32();
    DepthGuard nesting(readDepth, maxDepth, "read");
    std::unique_ptr<Serializable> object(Serializable::readClassName(*this));
    object->deserialize(*this);
    readAsSingle.insert(identity);
    return object.release();
}

void Archive::readObject(ref_ptr<Serializable>& result) {
    unsigned long word = readUInt32();
    if (word != 0) {
        auto found = readShared.find(word);
        if (found == readShared.end()) throw Serializable::Exception(missingMessage);
        result = found->second;
        return;
    }
    unsigned long identity = readUInt32();
    if (readAsSingle.count(identity) != 0) throw vesk::Exception(singleMessage);
    DepthGuard nesting(readDepth, maxDepth, "read");
    ref_ptr<Serializable> object(Serializable::readClassName(*this));
    // Entered before the body is read, so that references to the object from inside
    // its own body resolve. A later record with the same identity (as in the output
    // of two archives read by one) replaces the entry for the references after it.
    if (identity != 0) readShared[identity] = object;
    object->deserialize(*this);
    result = std::move(object);
}

} // namespace vesk
