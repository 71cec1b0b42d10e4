// A stream over a C runtime file descriptor (_open, _read, _write, _lseeki64,
// _commit, _close). Failures throw CRTError with errno. One object owns one
// descriptor: copies are forbidden, moves hand the descriptor over.
#pragma once

#include <vesk/config.h>
#include <vesk/io/stream.h>

namespace vesk {

class VESK_API LowLevelIOStream : public SeekableInputStream, public BufferedOutputStream {
public:
    LowLevelIOStream();
    LowLevelIOStream(const char* path, int oflag);
    LowLevelIOStream(const char* path, int oflag, int pmode);
    LowLevelIOStream(LowLevelIOStream&& other) noexcept;
    LowLevelIOStream& operator=(LowLevelIOStream&& other);
    LowLevelIOStream(const LowLevelIOStream&) = delete;
    LowLevelIOStream& operator=(const LowLevelIOStream&) = delete;
    virtual ~LowLevelIOStream();

    // Closes any open descriptor first. With _O_CREAT and no pmode the new file is
    // readable and writable.
    void open(const char* path, int oflag);
    void open(const char* path, int oflag, int pmode);
    void close() override;

    // Both go on until the whole count is moved: read stops early only at the end
    // of the file (a text-mode descriptor delivers less than asked per call).
    unsigned read(void* buffer, unsigned size) override;
    unsigned write(const void* buffer, unsigned size) override;

    // _lseeki64 with the full 64-bit offset; returns the new position.
    unsigned long long seek(long long offset, whence from) override;
    void setFilePointer(long long offset, whence from) override;
    unsigned long long getFilePointer() override;
    unsigned long long skip(long long n);
    void flush() override;

    bool isOpen() const { return fd != -1; }
    int getDescriptor() const { return fd; }

private:
    void openDescriptor(const char* path, int oflag, int pmode);

    int fd;
};

} // namespace vesk
