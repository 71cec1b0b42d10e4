// Archive: object serialisation with identity. An object shared through ref_ptr is
// written once as a full record and afterwards as a back-reference, so shared and
// cyclic graphs come back with the same sharing.
//
// Records (32-bit little-endian words):
//   back-reference: identity (never 0)
//   full record:    0, identity (0 for an object without one), class-name length n,
//                   n bytes of class name, then the body as the object's serialize() writes it
//
// An identity is a sequence number of this archive, handed out per count block; the
// archive keeps every object it wrote alive until it is destroyed, so no block (and
// no number) is ever reused while it writes.
#pragma once

#include <vesk/config.h>
#include <vesk/io/ref_ptr.h>
#include <vesk/io/serializable.h>
#include <vesk/io/stream.h>

#include <cstdint>
#include <map>
#include <set>
#include <typeinfo>
#include <vector>

namespace vesk {

class VESK_API Archive : public InputStream, public OutputStream {
public:
    // Both streams are always taken; an archive used for one direction only can be
    // given an empty stream for the other.
    Archive(InputStream& input, OutputStream& output);
    // Copies the maps, sharing the objects held.
    Archive(const Archive& other);
    Archive& operator=(const Archive&) = delete;
    virtual ~Archive();

    unsigned read(void* buffer, unsigned size) override;
    unsigned write(const void* buffer, unsigned size) override;

    // A full record without identity; the same object written twice reads back as two.
    void writeObject(const Serializable* object);
    // A full record the first time this object is written, a back-reference after.
    void writeObject(const ref_ptr<Serializable>& object);

    // A full record; the caller owns the new object.
    Serializable* readObject();
    // A full record or a back-reference; result then shares the object.
    void readObject(ref_ptr<Serializable>& result);
    // The same, for a field of a derived type: an object of another class throws
    // Serializable::Exception and is not handed out.
    template <class T> void readObject(ref_ptr<T>& result) {
        ref_ptr<Serializable> object;
        readObject(object);
        ref_ptr<T> typed = object.template dynamicCast<T>();
        if (!typed) throwWrongClass(typeid(T).name(), object.get());
        result = typed;
    }

    // The archive behind a stream that serialize()/deserialize() were given, for
    // nested objects with identity; a stream that is no archive throws Serializable::Exception.
    static Archive& of(InputStream& stream);
    static Archive& of(OutputStream& stream);

    // Records nested deeper than this inside one another's bodies throw
    // Serializable::Exception, on reading and on writing.
    unsigned getMaxDepth() const { return maxDepth; }
    void setMaxDepth(unsigned depth) { maxDepth = depth; }

private:
    void writeObject(const Serializable* object, unsigned long identity);
    bool startWrite(const ref_ptr<Serializable>& object);
    bool startWrite(const Serializable* object, unsigned long identity);
    void writeHead(const Serializable* object, unsigned long identity);
    void writeReference(unsigned long identity);
    unsigned long identityOf(const void* block) const;
    void addIdentity(const void* block, unsigned long identity);
    Serializable* startReadSingle(unsigned long& identity);
    bool startReadShared(ref_ptr<Serializable>& object);
    [[noreturn]] static void throwWrongClass(const char* expected, const Serializable* object);

    InputStream& input;
    OutputStream& output;
    std::set<unsigned long> written; // identities given with the object (identity 0 never)
    std::set<unsigned long> readAsSingle;
    // Read side: the objects read with identity, held until the archive goes. The
    // identities writers hand out (1, 2, 3, ... in order) index readInOrder (identity
    // i + 1 at i); any other goes to readShared. An identity up to readInOrder.size()
    // is always found in readInOrder: a later record with it replaces the earlier one.
    std::vector<ref_ptr<Serializable>> readInOrder;
    std::map<unsigned long, ref_ptr<Serializable>> readShared;
    // Write side: the objects kept alive in the order written, so that no count block
    // is freed and reused meanwhile (keptAlive[i] got the identity i + 1), and an
    // open-addressing table of their identities keyed by count block (a power of two
    // of slots, at most half of them used, 0 for a free slot): no allocation per
    // object, four bytes per slot.
    std::vector<ref_ptr<Serializable>> keptAlive;
    std::vector<std::uint32_t> identities;
    // The head of the last class written (marker, identity, name length, name), ready
    // to go out in one write once the identity is filled in.
    const std::type_info* headType;
    std::vector<unsigned char> head;
    unsigned maxDepth;
    unsigned readDepth;
    unsigned writeDepth;
};

} // namespace vesk
