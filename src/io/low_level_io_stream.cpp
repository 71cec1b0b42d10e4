// The C runtime descriptor stream.
#include <vesk/io/low_level_io_stream.h>

#include <vesk/errors/exception.h>

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <sys/stat.h>
#include <utility>

namespace vesk {

namespace {
// The C runtime moves at most INT_MAX bytes per call.
constexpr unsigned largestCall = 0x7FFFFFFF;
} // namespace

LowLevelIOStream::LowLevelIOStream() : fd(-1) {}

LowLevelIOStream::LowLevelIOStream(const char* path, int oflag) : fd(-1) { open(path, oflag); }

LowLevelIOStream::LowLevelIOStream(const char* path, int oflag, int pmode) : fd(-1) { open(path, oflag, pmode); }

LowLevelIOStream::LowLevelIOStream(LowLevelIOStream&& other) noexcept : fd(std::exchange(other.fd, -1)) {}

LowLevelIOStream& LowLevelIOStream::operator=(LowLevelIOStream&& other) {
    if (this != &other) {
        close();
        fd = std::exchange(other.fd, -1);
    }
    return *this;
}

LowLevelIOStream::~LowLevelIOStream() {
    try {
        close();
    } catch (...) {
    }
}

void LowLevelIOStream::open(const char* path, int oflag) {
    // Without a mode a created file would get whatever lies on the stack.
    openDescriptor(path, oflag, _S_IREAD | _S_IWRITE);
}

void LowLevelIOStream::open(const char* path, int oflag, int pmode) { openDescriptor(path, oflag, pmode); }

void LowLevelIOStream::openDescriptor(const char* path, int oflag, int pmode) {
    close();
    const auto failure = [&] {
        return BasicString<char>::fromFormat("Fehler in LowLevelIOStream::open(%s,%x)\n", path ? path : "(null)",
                                             unsigned(oflag));
    };
    if (!path) throw CRTError(EINVAL, failure());
    const int opened = _open(path, oflag, pmode);
    if (opened == -1) {
        const int error = errno;
        throw CRTError(error, failure());
    }
    fd = opened;
}

void LowLevelIOStream::close() {
    if (fd == -1) return;
    const int result = _close(fd);
    fd = -1; // the runtime has let go of the descriptor either way
    if (result != 0) throw CRTError(errno, "LowLevelIOStream::close()");
}

unsigned LowLevelIOStream::read(void* buffer, unsigned size) {
    char* bytes = static_cast<char*>(buffer);
    unsigned done = 0;
    while (done < size) {
        const unsigned ask = size - done < largestCall ? size - done : largestCall;
        const int got = _read(fd, bytes + done, ask);
        if (got == -1) {
            const int error = errno;
            throw CRTError(error, BasicString<char>::fromFormat("Fehler in LowLevelIOStream::read(%p,%u)", buffer, size));
        }
        if (got == 0) break;
        done += unsigned(got);
    }
    return done;
}

unsigned LowLevelIOStream::write(const void* buffer, unsigned size) {
    const char* bytes = static_cast<const char*>(buffer);
    unsigned done = 0;
    while (done < size) {
        const unsigned ask = size - done < largestCall ? size - done : largestCall;
        const int put = _write(fd, bytes + done, ask);
        if (put == -1) {
            const int error = errno;
            throw CRTError(error, BasicString<char>::fromFormat("Error in LowLevelIOStream::write(%p,%u)", buffer, size));
        }
        if (put == 0) break;
        done += unsigned(put);
    }
    return done;
}

unsigned long long LowLevelIOStream::seek(long long offset, whence from) {
    const long long position = _lseeki64(fd, offset, int(from));
    if (position == -1) {
        const int error = errno;
        // Built by hand: the runtime's printf has no portable 64-bit conversion.
        throw CRTError(error, "Fehler in LowLevelIOStream::seek(" + std::to_string(offset) + "," +
                                  std::to_string(int(from)) + ")\n");
    }
    return static_cast<unsigned long long>(position);
}

void LowLevelIOStream::setFilePointer(long long offset, whence from) { seek(offset, from); }

unsigned long long LowLevelIOStream::getFilePointer() { return seek(0, current); }

unsigned long long LowLevelIOStream::skip(long long n) { return static_cast<Seekable&>(*this).seek(n, current); }

void LowLevelIOStream::flush() {
    if (_commit(fd) != 0) throw CRTError(errno, "Can't flush");
}

} // namespace vesk
