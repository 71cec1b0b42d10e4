// The C runtime FILE* stream.
#include <vesk/io/std_io_stream.h>

#include <vesk/errors/exception.h>

#include "io/file_name.h"

#include <cerrno>
#include <string>
#include <utility>

namespace vesk {

namespace {
enum { noTransfer = 0, reading = 1, writing = 2 };
}

StdIOStream::StdIOStream() : file(nullptr), owned(false), lastTransfer(noTransfer) {}

StdIOStream::StdIOStream(FILE* f) : file(f), owned(f != nullptr), lastTransfer(noTransfer) {}

StdIOStream::StdIOStream(const char* name, const char* mode) : StdIOStream() { open(name, mode); }

StdIOStream::StdIOStream(const wchar_t* name, const wchar_t* mode) : StdIOStream() { open(name, mode); }

StdIOStream::StdIOStream(StdIOStream&& other) noexcept
    : file(std::exchange(other.file, nullptr)), owned(std::exchange(other.owned, false)),
      lastTransfer(std::exchange(other.lastTransfer, noTransfer)) {}

StdIOStream& StdIOStream::operator=(StdIOStream&& other) {
    if (this != &other) {
        close();
        file = std::exchange(other.file, nullptr);
        owned = std::exchange(other.owned, false);
        lastTransfer = std::exchange(other.lastTransfer, noTransfer);
    }
    return *this;
}

StdIOStream::~StdIOStream() {
    try {
        close();
    } catch (...) {
    }
}

void StdIOStream::open(const char* name, const char* mode) {
    close();
    FILE* f = name && mode ? std::fopen(name, mode) : nullptr;
    if (!f) {
        const int error = name && mode ? errno : EINVAL;
        throw CRTError(error, detail::quoted("Can't open stdio file", name) + detail::quoted(" with ops", mode));
    }
    file = f;
    owned = true;
}

void StdIOStream::open(const wchar_t* name, const wchar_t* mode) {
    close();
    FILE* f = name && mode ? _wfopen(name, mode) : nullptr;
    if (!f) {
        const int error = name && mode ? errno : EINVAL;
        bool lossy = false;
        throw CRTError(error, detail::quoted("Can't open stdio file", detail::toAnsi(name, lossy).c_str()) +
                                  detail::quoted(" with ops", detail::toAnsi(mode, lossy).c_str()));
    }
    file = f;
    owned = true;
}

void StdIOStream::close() {
    if (!file) return;
    FILE* f = std::exchange(file, nullptr);
    const bool closeIt = std::exchange(owned, false);
    lastTransfer = noTransfer;
    // A failing fclose may have lost buffered data: that is worth an exception.
    if (closeIt && std::fclose(f) != 0) throw CRTError(errno, "Can't close stdio file");
}

FILE* StdIOStream::checkedFile(const char* context) const {
    if (!file) throw CRTError(EBADF, context);
    return file;
}

// The C runtime needs a flush or a seek between a write and a following read (and
// the other way round); without it the read sees stale buffer contents.
void StdIOStream::turn(int direction) {
    if (lastTransfer != noTransfer && lastTransfer != direction && std::fseek(file, 0, SEEK_CUR) != 0)
        throw CRTError(errno, "fseek(0,1) failed");
    lastTransfer = direction;
}

unsigned StdIOStream::read(void* buffer, unsigned size) {
    const std::string failure = "Can't read " + std::to_string(size) + " bytes from stdio file";
    checkedFile(failure.c_str());
    turn(reading);
    const std::size_t got = std::fread(buffer, 1, size, file);
    if (got < size && std::ferror(file)) {
        const int error = errno;
        std::clearerr(file);
        throw CRTError(error, failure);
    }
    return unsigned(got);
}

unsigned StdIOStream::write(const void* buffer, unsigned size) {
    const std::string failure = "Can't write " + std::to_string(size) + " bytes to stdio file";
    checkedFile(failure.c_str());
    turn(writing);
    const std::size_t put = std::fwrite(buffer, 1, size, file);
    if (put < size) {
        const int error = errno;
        std::clearerr(file);
        throw CRTError(error, failure);
    }
    return unsigned(put);
}

void StdIOStream::setFilePointer(long long offset, whence from) {
    const std::string failure = "fseek(" + std::to_string(offset) + "," + std::to_string(int(from)) + ") failed";
    checkedFile(failure.c_str());
    if (_fseeki64(file, offset, int(from)) != 0) throw CRTError(errno, failure);
    lastTransfer = noTransfer;
}

unsigned long long StdIOStream::getFilePointer() {
    const char* failure = "Can't tell the current file pointer position in StdIOStream::tell";
    const long long position = _ftelli64(checkedFile(failure));
    if (position < 0) throw CRTError(errno, failure);
    return static_cast<unsigned long long>(position);
}

void StdIOStream::flush() {
    if (std::fflush(checkedFile("Can't flush stdio file")) != 0) throw CRTError(errno, "Can't flush stdio file");
}

void StdIOStream::attach(FILE* f) {
    close();
    file = f;
    owned = f != nullptr;
}

FILE* StdIOStream::detach() {
    owned = false;
    return file;
}

} // namespace vesk
