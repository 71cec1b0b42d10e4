// The creator registry of serialisable classes and the plain object records of
// streams (class name and body, without identity).
#include <vesk/io/serializable.h>

#include <vesk/io/array.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace vesk {

namespace {

// Keys are views of the callers' texts (not copies), compared byte by byte over the
// whole name.
using Registry = std::map<std::string_view, Serializable::Creator>;

Registry& registry() {
    static Registry classes;
    return classes;
}

// Made when the library is loaded, before any client registers a class.
const Registry& registryAtLoad = registry();

// Nesting of plain records, per thread: a stream has no state of its own to keep it in.
thread_local unsigned plainReadDepth = 0;
thread_local unsigned plainWriteDepth = 0;

class DepthGuard {
public:
    DepthGuard(unsigned& depth, unsigned limit, const char* verb) : depth(depth) {
        if (depth >= limit)
            throw Serializable::Exception(BasicString<char>::fromFormat(
                "Can't %s an object nested deeper than %u records", verb, limit));
        ++depth;
    }
    ~DepthGuard() { --depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    unsigned& depth;
};

[[noreturn]] void throwUnknownClass(const std::string& name) {
    throw Serializable::Exception(BasicString<char>::fromFormat(
        "Klassendefinition nicht gefunden - ein Objekt vom Typ SerializableImpl sollte f\xFC"
        "r die Klasse \"%s\" angelegt werden",
        name.c_str()));
}

Serializable* createByName(std::string_view name) {
    Registry& classes = registry();
    auto found = classes.find(name);
    if (found == classes.end()) throwUnknownClass(std::string(name));
    Serializable* object = found->second();
    if (!object)
        throw Serializable::Exception(BasicString<char>::fromFormat(
            "Can't create an object of the class \"%s\": its creator returned none", found->first.data()));
    return object;
}

} // namespace

Serializable::Exception::Exception(const std::string& description) : vesk::Exception(description) {}

Serializable::Exception::~Exception() = default;

Serializable::~Serializable() = default;

void Serializable::addCreator(const char* name, Creator creator) {
    if (!name || !creator) throw Exception("Can't register a serialisable class without a name and a creator");
    registry().emplace(name, creator);
}

Serializable* Serializable::create(const char* name) {
    if (!name) throw Exception("Can't create an object without a class name");
    return createByName(name);
}

Serializable* Serializable::create(const char* name, unsigned length) {
    if (!name && length != 0) throw Exception("Can't create an object without a class name");
    return createByName(std::string_view(name ? name : "", length));
}

const char* Serializable::classNameOf(const Serializable* object, unsigned& length) {
    const char* name = typeid(*object).name();
    const std::size_t n = std::strlen(name);
    if (n > maxClassNameLength)
        throw Exception(BasicString<char>::fromFormat(
            "Can't write an object of the class \"%.200s...\": its name is longer than %u bytes", name,
            maxClassNameLength));
    length = static_cast<unsigned>(n);
    return name;
}

__attribute__((noinline)) void Serializable::writeClassName(OutputStream& out, const Serializable* object) {
    unsigned length;
    const char* name = classNameOf(object, length);
    // The 8-bit text encoding, in one write.
    unsigned char text[4 + maxClassNameLength];
    const std::uint32_t count = length;
    std::memcpy(text, &count, 4);
    std::memcpy(text + 4, name, length);
    out.writeFully(text, 4 + length);
}

// Kept out of line so that the scratch name is gone before the body (and whatever it
// nests) is read: the recursion of nested records then costs little stack per level.
__attribute__((noinline)) Serializable* Serializable::readClassName(InputStream& in) {
    return readClassName(in, in.readUInt32());
}

__attribute__((noinline)) Serializable* Serializable::readClassName(InputStream& in, unsigned length) {
    if (length > maxClassNameLength)
        throw Exception(BasicString<char>::fromFormat(
            "Can't read an object: its class name of %u bytes is longer than %u bytes", length,
            maxClassNameLength));
    // Type names are short: most fit the buffer on the stack, the rest go to the heap.
    char small[256];
    Array<char> large;
    char* name = small;
    if (length > sizeof(small)) {
        large.resize(length);
        name = large.getData();
    }
    if (length != 0) in.readFully(name, length);
    return create(name, length);
}

void OutputStream::writeObject(const Serializable* object) {
    if (!object) throw Serializable::Exception("Can't write a null object to a stream");
    DepthGuard nesting(plainWriteDepth, Serializable::defaultMaxDepth, "write");
    Serializable::writeClassName(*this, object);
    object->serialize(*this);
}

Serializable* InputStream::readObject() {
    DepthGuard nesting(plainReadDepth, Serializable::defaultMaxDepth, "read");
    std::unique_ptr<Serializable> object(Serializable::readClassName(*this));
    object->deserialize(*this);
    return object.release();
}

} // namespace vesk
