// Serializable: the base of classes whose objects can be written to a byte stream and
// recreated from it. A process-wide registry maps each class's run-time type name to a
// creator that makes an empty instance, which then reads its own fields.
//
//   class Point : public vesk::Serializable {
//       void serialize(vesk::OutputStream& out) const override { out << x << y; }
//       void deserialize(vesk::InputStream& in) override { in >> x >> y; }
//       int x = 0, y = 0;
//   };
//   static vesk::SerializableImpl<Point> registerPoint;   // registers "Point"'s creator
#pragma once

#include <vesk/config.h>
#include <vesk/errors/exception.h>
#include <vesk/io/stream.h>

#include <typeinfo>

namespace vesk {

class VESK_API Serializable {
public:
    // Serialisation errors: unknown classes, broken references, hostile lengths.
    class VESK_API Exception : public vesk::Exception {
    public:
        explicit Exception(const std::string& description);
        ~Exception() override;
    };

    using Creator = Serializable* (*)();

    // Longest class name written or read; names are run-time type names, far shorter.
    static constexpr unsigned maxClassNameLength = 4096;
    // Default bound on records nested inside one another's bodies while reading or
    // writing. Each level costs the library about 200-300 bytes of stack on x86_64,
    // plus the class's own serialize()/deserialize() frames: 3000 levels fit a 1 MiB
    // thread stack for small classes. An Archive can set its own bound.
    static constexpr unsigned defaultMaxDepth = 3000;

    virtual void serialize(OutputStream& out) const = 0;
    virtual void deserialize(InputStream& in) = 0;
    virtual ~Serializable();

    // Registers creator under name. The text is not copied: it must live as long as
    // the registry (a string literal or typeid(...).name()). A name registered already
    // keeps its first creator.
    static void addCreator(const char* name, Creator creator);

    // A new object of the class registered under name; the caller owns it.
    static Serializable* create(const char* name);
    // The same for a name of length characters that need not end in NUL (as read
    // from a stream); a NUL inside it matches no registered name.
    static Serializable* create(const char* name, unsigned length);

protected:
    Serializable() = default;
    Serializable(const Serializable&) = default;
    Serializable& operator=(const Serializable&) = default;

private:
    friend class InputStream;
    friend class OutputStream;
    friend class Archive;

    // The run-time type name of object's class and its length; a name longer than
    // maxClassNameLength throws.
    static const char* classNameOf(const Serializable* object, unsigned& length);
    // The class-name part of a record: 32-bit length, then the name's bytes.
    static void writeClassName(OutputStream& out, const Serializable* object);
    // Reads that part (at most maxClassNameLength bytes) and creates an empty
    // instance of the class; the caller owns it.
    static Serializable* readClassName(InputStream& in);
    // The same when the length has been read already.
    static Serializable* readClassName(InputStream& in, unsigned length);
};

// Registers T's creator under T's run-time type name while it is constructed; a
// static instance per class does it during static initialisation.
template <class T> class SerializableImpl {
public:
    SerializableImpl() { Serializable::addCreator(typeid(T).name(), &SerializableImpl::create); }

    static Serializable* create() { return new T(); }
};

} // namespace vesk
