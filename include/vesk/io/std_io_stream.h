// A stream over a C runtime FILE* (fopen, fread, fwrite, _fseeki64, _ftelli64,
// fflush, fclose), owned or borrowed. Failures throw CRTError with errno. One
// object owns one FILE: copies are forbidden, moves hand it over.
#pragma once

#include <vesk/config.h>
#include <vesk/io/stream.h>

#include <cstdio>

namespace vesk {

class VESK_API StdIOStream : public SeekableInputStream, public BufferedOutputStream {
public:
    StdIOStream();
    // Takes f and closes it when done.
    explicit StdIOStream(FILE* f);
    StdIOStream(const char* name, const char* mode);
    StdIOStream(const wchar_t* name, const wchar_t* mode);
    StdIOStream(StdIOStream&& other) noexcept;
    StdIOStream& operator=(StdIOStream&& other);
    StdIOStream(const StdIOStream&) = delete;
    StdIOStream& operator=(const StdIOStream&) = delete;
    virtual ~StdIOStream();

    virtual void open(const wchar_t* name, const wchar_t* mode);
    virtual void open(const char* name, const char* mode);
    // Closes an owned FILE (a failing fclose, which may have lost buffered data,
    // throws "Can't close stdio file"); a borrowed one is only let go.
    void close() override;

    // A short count means the end of the file; a read or write error throws. A
    // change between reading and writing repositions the FILE first, as the C
    // runtime requires.
    unsigned read(void* buffer, unsigned size) override;
    unsigned write(const void* buffer, unsigned size) override;

    // Full 64-bit positions.
    void setFilePointer(long long offset, whence from) override;
    unsigned long long getFilePointer() override;
    void flush() override;

    // close(), then take and own f.
    void attach(FILE* f);
    // Stops owning the FILE; the stream keeps using it until closed or attached anew.
    FILE* detach();
    FILE* getHandle() const { return file; }

private:
    FILE* checkedFile(const char* context) const;
    void turn(int direction);

    FILE* file;
    bool owned;
    // 0: no transfer yet, 1: last was a read, 2: last was a write.
    int lastTransfer;
};

} // namespace vesk
