// Byte-stream interfaces of the library and the binary encodings written on them:
// length-prefixed 8-bit and 16-bit text, 32-bit integers, doubles and booleans, all in
// the machine's (little-endian) byte order; a whole-stream copy; and EndianToNative
// for reading data of a named byte order.
#pragma once

#include <vesk/config.h>
#include <vesk/text/string.h>

#include <string>

namespace vesk {

class Serializable;

// Source of bytes. read() returns how many bytes it delivered, 0 at the end.
class VESK_API InputStream {
public:
    // Passed as maxLength: no limit beyond the data the stream really holds.
    static constexpr unsigned unlimitedText = 0xFFFFFFFFu;

    virtual unsigned read(void* buffer, unsigned size) = 0;

    // One read() of size bytes; anything short of that is EndOfFile.
    virtual void readFully(void* buffer, unsigned size);

    int readInt32();
    unsigned int readUInt32();
    double readDouble();

    // Length-prefixed text (the length in characters). The text is read in slices,
    // so a corrupt length allocates no more than the stream actually delivers and
    // ends in EndOfFile; a length above maxLength throws Exception before any of the
    // text is read.
    BasicString<char> readTextA(unsigned maxLength = unlimitedText);
    BasicString<wchar_t> readTextW(unsigned maxLength = unlimitedText);

    // A plain object record (class name, body) without identity; the caller owns
    // the result. Defined with the serialisation in serializable.cpp.
    Serializable* readObject();

protected:
    InputStream() = default;
    InputStream(const InputStream&) = default;
    InputStream& operator=(const InputStream&) = default;
    ~InputStream() = default;
};

// Sink of bytes. write() returns how many bytes it accepted.
class VESK_API OutputStream {
public:
    virtual unsigned write(const void* buffer, unsigned size) = 0;

    // One write() of size bytes; anything short of that is EndOfFile.
    void writeFully(const void* buffer, unsigned size);

    // Writes a plain object record: class name, then the object's own serialize().
    void writeObject(const Serializable* object);

protected:
    OutputStream() = default;
    OutputStream(const OutputStream&) = default;
    OutputStream& operator=(const OutputStream&) = default;
    ~OutputStream() = default;
};

class VESK_API BufferedOutputStream : public OutputStream {
public:
    unsigned write(const void* buffer, unsigned size) override = 0;
    virtual void flush() = 0;
    virtual void close() = 0;

protected:
    ~BufferedOutputStream() = default;
};

class VESK_API Seekable {
public:
    enum whence { begin = 0, current = 1, end = 2 };

    virtual void setFilePointer(long long offset, whence from) = 0;
    virtual unsigned long long getFilePointer() = 0;
    // setFilePointer(), then the new position.
    virtual unsigned long long seek(long long offset, whence from);
    // The position at the end; the current position is kept.
    virtual unsigned long long getSize();

protected:
    Seekable() = default;
    Seekable(const Seekable&) = default;
    Seekable& operator=(const Seekable&) = default;
    ~Seekable() = default;
};

class VESK_API SeekableInputStream : public virtual InputStream, public virtual Seekable {
protected:
    ~SeekableInputStream() = default;
};

// Byte order of data on a stream; the library itself always writes nativeEndian.
enum Endianess { littleEndian, bigEndian, nativeEndian = littleEndian };

// Reads values of a named byte order and turns them into the machine's order:
//   in >> bigEndian >> length >> crc;
class VESK_API EndianToNative {
public:
    EndianToNative(InputStream& stream, Endianess order);

    EndianToNative& operator>>(short& value);
    EndianToNative& operator>>(unsigned short& value);
    EndianToNative& operator>>(int& value);
    EndianToNative& operator>>(unsigned int& value);
    EndianToNative& operator>>(long& value);
    EndianToNative& operator>>(unsigned long& value);
    EndianToNative& operator>>(long long& value);
    EndianToNative& operator>>(unsigned long long& value);
    EndianToNative& operator>>(float& value);
    EndianToNative& operator>>(double& value);
    // Switches the byte order for the values that follow.
    EndianToNative& operator>>(Endianess order);

    InputStream& getStream() const { return stream; }
    Endianess getOrder() const { return order; }

private:
    void readValue(void* value, unsigned size);

    InputStream& stream;
    Endianess order;
};

// Text: 32-bit length (bytes for 8-bit text, units for 16-bit text), then the
// characters, no terminator. A null pointer is rejected with Exception.
VESK_API OutputStream& operator<<(OutputStream& out, const char* text);
VESK_API OutputStream& operator<<(OutputStream& out, const wchar_t* text);
VESK_API OutputStream& operator<<(OutputStream& out, const std::string& text);
VESK_API OutputStream& operator<<(OutputStream& out, const std::wstring& text);

// 32-bit integers, 8-byte IEEE doubles, and bool as one byte 0 or 1.
VESK_API OutputStream& operator<<(OutputStream& out, int value);
VESK_API OutputStream& operator<<(OutputStream& out, unsigned int value);
VESK_API OutputStream& operator<<(OutputStream& out, long value);
VESK_API OutputStream& operator<<(OutputStream& out, unsigned long value);
VESK_API OutputStream& operator<<(OutputStream& out, double value);
VESK_API OutputStream& operator<<(OutputStream& out, bool value);

// A single character has no encoding of its own; without these it would silently
// become a 4-byte integer.
OutputStream& operator<<(OutputStream& out, char value) = delete;
OutputStream& operator<<(OutputStream& out, signed char value) = delete;
OutputStream& operator<<(OutputStream& out, unsigned char value) = delete;
OutputStream& operator<<(OutputStream& out, wchar_t value) = delete;

// Copies everything that in still delivers to out, in slices of 10,000 bytes; a
// short write of out throws EndOfFile.
VESK_API OutputStream& operator<<(OutputStream& out, InputStream& in);

VESK_API InputStream& operator>>(InputStream& in, int& value);
VESK_API InputStream& operator>>(InputStream& in, unsigned int& value);
VESK_API InputStream& operator>>(InputStream& in, long& value);
VESK_API InputStream& operator>>(InputStream& in, unsigned long& value);
VESK_API InputStream& operator>>(InputStream& in, double& value);
// One byte; any value other than 0 is true.
VESK_API InputStream& operator>>(InputStream& in, bool& value);
// Text as readTextA / readTextW read it, without a length limit of their own.
VESK_API InputStream& operator>>(InputStream& in, std::string& text);
VESK_API InputStream& operator>>(InputStream& in, std::wstring& text);

VESK_API EndianToNative operator>>(InputStream& in, Endianess order);

} // namespace vesk
