// Exact-count helpers, value encodings and the whole-stream copy of the stream interfaces.
#include <vesk/io/stream.h>

#include <vesk/errors/exception.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace vesk {

namespace {

// Texts travel in slices of this many bytes, so that a corrupt length costs at most
// one slice more than the data the stream really holds.
constexpr unsigned textSlice = 64 * 1024;
// Largest single write of text bytes.
constexpr unsigned long long writeSlice = 1u << 30;

void writeText(OutputStream& out, const void* characters, unsigned long long count, unsigned unitSize) {
    if (count > 0xFFFFFFFFull)
        throw Exception("Can't write a text of more than 4294967295 characters to a stream");
    unsigned length = static_cast<unsigned>(count);
    out.writeFully(&length, sizeof(length));
    const char* bytes = static_cast<const char*>(characters);
    for (unsigned long long left = count * unitSize; left != 0;) {
        unsigned n = static_cast<unsigned>(std::min(left, writeSlice));
        out.writeFully(bytes, n);
        bytes += n;
        left -= n;
    }
}

template <class C> BasicString<C> readText(InputStream& in, unsigned maxLength) {
    unsigned length = in.readUInt32();
    if (length > maxLength)
        throw Exception(BasicString<char>::fromFormat(
            "Can't read a text of %u characters from a stream: the limit is %u", length, maxLength));
    BasicString<C> text;
    const unsigned slice = textSlice / sizeof(C);
    for (unsigned done = 0; done < length;) {
        unsigned n = std::min(slice, length - done);
        text.resize(done + n);
        in.readFully(&text[done], n * static_cast<unsigned>(sizeof(C)));
        done += n;
    }
    return text;
}

template <class T> void readRaw(InputStream& in, T& value) { in.readFully(&value, sizeof(value)); }

template <class T> void writeRaw(OutputStream& out, const T& value) { out.writeFully(&value, sizeof(value)); }

} // namespace

void InputStream::readFully(void* buffer, unsigned size) {
    if (read(buffer, size) != size)
        throw EndOfFile(
            BasicString<char>::fromFormat("EOF in readFully(%p,%lu)\n", buffer, static_cast<unsigned long>(size)));
}

int InputStream::readInt32() {
    int value;
    readRaw(*this, value);
    return value;
}

unsigned int InputStream::readUInt32() {
    unsigned int value;
    readRaw(*this, value);
    return value;
}

double InputStream::readDouble() {
    double value;
    readRaw(*this, value);
    return value;
}

BasicString<char> InputStream::readTextA(unsigned maxLength) { return readText<char>(*this, maxLength); }

BasicString<wchar_t> InputStream::readTextW(unsigned maxLength) { return readText<wchar_t>(*this, maxLength); }

void OutputStream::writeFully(const void* buffer, unsigned size) {
    if (write(buffer, size) != size)
        throw EndOfFile(BasicString<char>::fromFormat("EOF in writeFully(%p,%lu)\n", buffer,
                                                      static_cast<unsigned long>(size)));
}

unsigned long long Seekable::seek(long long offset, whence from) {
    setFilePointer(offset, from);
    return getFilePointer();
}

unsigned long long Seekable::getSize() {
    unsigned long long position = getFilePointer();
    unsigned long long size = seek(0, end);
    setFilePointer(static_cast<long long>(position), begin);
    return size;
}

EndianToNative::EndianToNative(InputStream& stream, Endianess order) : stream(stream), order(order) {}

void EndianToNative::readValue(void* value, unsigned size) {
    stream.readFully(value, size);
    if (order != nativeEndian) {
        unsigned char* bytes = static_cast<unsigned char*>(value);
        std::reverse(bytes, bytes + size);
    }
}

EndianToNative& EndianToNative::operator>>(short& value) { return readValue(&value, sizeof(value)), *this; }
EndianToNative& EndianToNative::operator>>(unsigned short& value) { return readValue(&value, sizeof(value)), *this; }
EndianToNative& EndianToNative::operator>>(int& value) { return readValue(&value, sizeof(value)), *this; }
EndianToNative& EndianToNative::operator>>(unsigned int& value) { return readValue(&value, sizeof(value)), *this; }
EndianToNative& EndianToNative::operator>>(long& value) { return readValue(&value, sizeof(value)), *this; }
EndianToNative& EndianToNative::operator>>(unsigned long& value) { return readValue(&value, sizeof(value)), *this; }
EndianToNative& EndianToNative::operator>>(long long& value) { return readValue(&value, sizeof(value)), *this; }
EndianToNative& EndianToNative::operator>>(unsigned long long& value) {
    return readValue(&value, sizeof(value)), *this;
}
EndianToNative& EndianToNative::operator>>(float& value) { return readValue(&value, sizeof(value)), *this; }
EndianToNative& EndianToNative::operator>>(double& value) { return readValue(&value, sizeof(value)), *this; }

EndianToNative& EndianToNative::operator>>(Endianess newOrder) {
    order = newOrder;
    return *this;
}

OutputStream& operator<<(OutputStream& out, const char* text) {
    if (!text) throw Exception("Can't write a null text to a stream");
    writeText(out, text, std::strlen(text), 1);
    return out;
}

OutputStream& operator<<(OutputStream& out, const wchar_t* text) {
    if (!text) throw Exception("Can't write a null text to a stream");
    writeText(out, text, std::wcslen(text), sizeof(wchar_t));
    return out;
}

OutputStream& operator<<(OutputStream& out, const std::string& text) {
    writeText(out, text.data(), text.size(), 1);
    return out;
}

OutputStream& operator<<(OutputStream& out, const std::wstring& text) {
    writeText(out, text.data(), text.size(), sizeof(wchar_t));
    return out;
}

OutputStream& operator<<(OutputStream& out, int value) { return writeRaw(out, value), out; }
OutputStream& operator<<(OutputStream& out, unsigned int value) { return writeRaw(out, value), out; }
OutputStream& operator<<(OutputStream& out, long value) { return writeRaw(out, value), out; }
OutputStream& operator<<(OutputStream& out, unsigned long value) { return writeRaw(out, value), out; }
OutputStream& operator<<(OutputStream& out, double value) { return writeRaw(out, value), out; }

OutputStream& operator<<(OutputStream& out, bool value) {
    unsigned char byte = value ? 1 : 0;
    return writeRaw(out, byte), out;
}

OutputStream& operator<<(OutputStream& out, InputStream& in) {
    char buffer[10000];
    for (unsigned n = in.read(buffer, sizeof(buffer)); n > 0; n = in.read(buffer, sizeof(buffer)))
        out.writeFully(buffer, n);
    return out;
}

InputStream& operator>>(InputStream& in, int& value) { return readRaw(in, value), in; }
InputStream& operator>>(InputStream& in, unsigned int& value) { return readRaw(in, value), in; }
InputStream& operator>>(InputStream& in, long& value) { return readRaw(in, value), in; }
InputStream& operator>>(InputStream& in, unsigned long& value) { return readRaw(in, value), in; }
InputStream& operator>>(InputStream& in, double& value) { return readRaw(in, value), in; }

InputStream& operator>>(InputStream& in, bool& value) {
    unsigned char byte;
    readRaw(in, byte);
    value = byte != 0;
    return in;
}

InputStream& operator>>(InputStream& in, std::string& text) {
    text = in.readTextA();
    return in;
}

InputStream& operator>>(InputStream& in, std::wstring& text) {
    text = in.readTextW();
    return in;
}

EndianToNative operator>>(InputStream& in, Endianess order) { return EndianToNative(in, order); }

} // namespace vesk
