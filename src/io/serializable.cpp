// The creator registry of serialisable classes and the plain object records of
// streams (class name and body, without identity).
#include <vesk/io/serializable.h>

#include <vesk/io/array.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace vesk {

namespace {

struct NameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return a < b; }
};

using Registry = std::map<const char*, Serializable::Creator, NameLess>;

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
            "Can't create an object of the class \"%s\": its creator returned none", found->first));
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

void Serializable::writeClassName(OutputStream& out, const Serializable* object) {
    const char* name = typeid(*object).name();
    if (std::strlen(name) > maxClassNameLength)
        throw Exception(BasicString<char>::fromFormat(
            "Can't write an object of the class \"%.200s...\": its name is longer than %u bytes", name,
            maxClassNameLength));
    out << name;
}

// Kept out of line so that the scratch name is gone before the body (and whatever it
// nests) is read: the recursion of nested records then costs little stack per level.
__attribute__((noinline)) Serializable* Serializable::readClassName(InputStream& in) {
    unsigned length = in.readUInt32();
    if (length > maxClassNameLength)
        throw Exception(BasicString<char>::fromFormat(
            "Can't read an object: its class name of %u bytes is longer than %u bytes", length,
            maxClassNameLength));
    Array<char> name(length);
    if (length != 0) in.readFully(name.getData(), length);
    return create(name.getData(), length);
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
