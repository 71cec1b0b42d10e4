// The three file streams opened read-write on a fresh file, so that one table of
// cases runs over each of them.
#pragma once

#include <vesk/io/low_level_io_stream.h>
#include <vesk/io/std_io_stream.h>
#include <vesk/io/windows_file.h>

#include <fcntl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vesk_test {

struct StreamFile {
    std::shared_ptr<void> owner;
    vesk::SeekableInputStream* in;
    vesk::BufferedOutputStream* out;
};

struct FileKind {
    const char* name;
    std::function<StreamFile(const std::string& path)> open;
};

template <class S> StreamFile openFile(S* stream) { return {std::shared_ptr<S>(stream), stream, stream}; }

inline const std::vector<FileKind>& fileKinds() {
    static const std::vector<FileKind> kinds = {
        {"WindowsFile",
         [](const std::string& p) {
             return openFile(new vesk::WindowsFile(p.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS));
         }},
        {"LowLevelIOStream",
         [](const std::string& p) {
             return openFile(new vesk::LowLevelIOStream(p.c_str(), _O_RDWR | _O_CREAT | _O_TRUNC | _O_BINARY));
         }},
        {"StdIOStream", [](const std::string& p) { return openFile(new vesk::StdIOStream(p.c_str(), "w+b")); }},
    };
    return kinds;
}

} // namespace vesk_test
