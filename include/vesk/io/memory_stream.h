// Streams over memory: MemoryInputStream reads a caller's buffer without copying it,
// MemoryOutputStream writes into a buffer of its own that grows as needed. Both are
// seekable, so bytes written to one can be read back through the other.
#pragma once

#include <vesk/config.h>
#include <vesk/io/array.h>
#include <vesk/io/stream.h>

namespace vesk {

class VESK_API MemoryInputStream : public SeekableInputStream {
public:
    MemoryInputStream();
    // The buffer is neither owned nor copied: it must outlive the stream.
    MemoryInputStream(const void* data, unsigned size);
    MemoryInputStream(const MemoryInputStream& other);
    MemoryInputStream& operator=(const MemoryInputStream& other);
    ~MemoryInputStream() = default;

    void setBuffer(const void* data, unsigned size);

    unsigned read(void* buffer, unsigned count) override;

    // Targets outside 0..size throw std::runtime_error("Bad seek position").
    void setFilePointer(long long offset, whence from) override;
    unsigned long long getFilePointer() override;

private:
    const unsigned char* data;
    unsigned size;
    unsigned position;
};

class VESK_API MemoryOutputStream : public OutputStream, public Seekable {
public:
    MemoryOutputStream();
    MemoryOutputStream(const MemoryOutputStream& other);
    MemoryOutputStream& operator=(const MemoryOutputStream& other);
    ~MemoryOutputStream() = default;

    // Never short; a write whose end would pass 2^32 - 1 throws std::runtime_error.
    unsigned write(const void* buffer, unsigned count) override;

    // A negative target throws "Can't seek to negative offset", one of 2^32 or more
    // "New size too large for a size_t"; a target past the end extends the stream
    // with zero bytes.
    void setFilePointer(long long offset, whence from) override;
    unsigned long long getFilePointer() override;
    unsigned long long getSize() override;

    // The bytes written (null while the stream is empty); valid until the stream grows.
    const unsigned char* getData() const;

private:
    void grow(unsigned long long newSize);

    Array<unsigned char> buffer;
    unsigned position;
};

} // namespace vesk
