// MemoryInputStream and MemoryOutputStream.
#include <vesk/io/memory_stream.h>

#include <cstring>
#include <stdexcept>

namespace vesk {

namespace {

constexpr unsigned long long sizeLimit = 0xFFFFFFFFull;

// base + offset, or false when the sum leaves 0..limit; no intermediate value overflows.
bool target(unsigned long long base, long long offset, unsigned long long limit, unsigned long long& result) {
    if (offset < 0) {
        unsigned long long back = 0 - static_cast<unsigned long long>(offset);
        if (back > base) return false;
        result = base - back;
    } else {
        unsigned long long forward = static_cast<unsigned long long>(offset);
        if (forward > limit || base > limit - forward) return false;
        result = base + forward;
    }
    return true;
}

// The sizes of the encoded numbers are copied inline, without a call.
inline void copy(void* target, const void* source, unsigned count) {
    if (count == 4)
        std::memcpy(target, source, 4);
    else if (count == 8)
        std::memcpy(target, source, 8);
    else if (count != 0)
        std::memcpy(target, source, count);
}

} // namespace

MemoryInputStream::MemoryInputStream() : data(nullptr), size(0), position(0) {}

MemoryInputStream::MemoryInputStream(const void* data, unsigned size)
    : data(static_cast<const unsigned char*>(data)), size(data ? size : 0), position(0) {}

MemoryInputStream::MemoryInputStream(const MemoryInputStream& other) = default;

MemoryInputStream& MemoryInputStream::operator=(const MemoryInputStream& other) = default;

void MemoryInputStream::setBuffer(const void* newData, unsigned newSize) {
    data = static_cast<const unsigned char*>(newData);
    size = newData ? newSize : 0;
    position = 0;
}

unsigned MemoryInputStream::read(void* buffer, unsigned count) {
    unsigned n = count < size - position ? count : size - position;
    copy(buffer, data + position, n);
    position += n;
    return n;
}

void MemoryInputStream::setFilePointer(long long offset, whence from) {
    unsigned long long base = from == current ? position : from == end ? size : 0;
    unsigned long long result;
    if (!target(base, offset, size, result)) throw std::runtime_error("Bad seek position");
    position = static_cast<unsigned>(result);
}

unsigned long long MemoryInputStream::getFilePointer() { return position; }

MemoryOutputStream::MemoryOutputStream() : position(0) {}

MemoryOutputStream::MemoryOutputStream(const MemoryOutputStream& other)
    : OutputStream(other), Seekable(other), buffer(other.buffer), position(other.position) {}

MemoryOutputStream& MemoryOutputStream::operator=(const MemoryOutputStream& other) {
    buffer = other.buffer;
    position = other.position;
    return *this;
}

void MemoryOutputStream::grow(unsigned long long newSize) {
    if (newSize > sizeLimit) throw std::runtime_error("New size too large for a size_t");
    unsigned oldSize = buffer.getSize();
    if (newSize <= oldSize) return;
    buffer.resize(static_cast<unsigned>(newSize));
    // A seek past the end leaves a gap; it reads back as zero bytes.
    std::memset(buffer.getData() + oldSize, 0, static_cast<size_t>(newSize - oldSize));
}

unsigned MemoryOutputStream::write(const void* bytes, unsigned count) {
    if (count == 0) return 0;
    const unsigned long long stop = static_cast<unsigned long long>(position) + count;
    if (stop > buffer.getSize()) {
        if (stop > sizeLimit) throw std::runtime_error("New size too large for a size_t");
        // The position never passes the size, so the copy below covers every new byte.
        buffer.resize(static_cast<unsigned>(stop));
    }
    copy(buffer.getData() + position, bytes, count);
    position = static_cast<unsigned>(stop);
    return count;
}

void MemoryOutputStream::setFilePointer(long long offset, whence from) {
    unsigned long long base = from == current ? position : from == end ? buffer.getSize() : 0;
    if (offset < 0 && 0 - static_cast<unsigned long long>(offset) > base)
        throw std::runtime_error("Can't seek to negative offset");
    unsigned long long result;
    if (!target(base, offset, sizeLimit, result)) throw std::runtime_error("New size too large for a size_t");
    grow(result);
    position = static_cast<unsigned>(result);
}

unsigned long long MemoryOutputStream::getFilePointer() { return position; }

unsigned long long MemoryOutputStream::getSize() { return buffer.getSize(); }

const unsigned char* MemoryOutputStream::getData() const { return buffer.getSize() ? buffer.getData() : nullptr; }

} // namespace vesk
