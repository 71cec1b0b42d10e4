// Self-deleting temporary objects: TemporaryFile, an empty file with a unique
// name, and TemporaryDirectory, a directory removed with everything in it. Each
// object is the one owner of what it created: copies are forbidden, moves hand
// the ownership over.
#pragma once

#include <vesk/config.h>
#include <vesk/text/string.h>

namespace vesk {

class VESK_API TemporaryFile {
public:
    TemporaryFile();
    // create(directory).
    explicit TemporaryFile(const char* directory);
    explicit TemporaryFile(const wchar_t* directory);
    TemporaryFile(TemporaryFile&& other) noexcept;
    TemporaryFile& operator=(TemporaryFile&& other);
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    // remove(); a failure (the file still open elsewhere) is dropped.
    ~TemporaryFile();

    // Removes any previous file, then creates a new empty file with a unique name
    // and the prefix "tmp" in directory, or in the system's temporary directory
    // when directory is null or empty.
    void create(const char* directory = nullptr);
    void create(const wchar_t* directory);
    // Deletes the file; throws "Can't delete temporary file \"<path>\"" and keeps
    // the path when it cannot.
    void remove();

    bool isExisting() const { return !path.empty(); }
    bool isVoid() const { return path.empty(); }
    const BasicString<char>& getPathA() const { return path; }
    const BasicString<char>& getPathT() const { return path; }
    BasicString<wchar_t> getPathW() const;

private:
    BasicString<char> path;
};

class VESK_API TemporaryDirectory {
public:
    // A new directory with a unique name made of dir (or the TMP directory) and prefix.
    explicit TemporaryDirectory(const char* dir = nullptr, const char* prefix = nullptr);
    TemporaryDirectory(TemporaryDirectory&& other) noexcept;
    TemporaryDirectory& operator=(TemporaryDirectory&& other);
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    // remove(); a failure is dropped (what could not be deleted stays on disk).
    ~TemporaryDirectory();

    // Deletes the directory with everything in it, without following links out of
    // it. Anything that cannot be deleted (a file still open) throws WindowsError
    // naming that item and the directory; the path is kept so that a later
    // remove() can finish the work.
    void remove();

    bool isExisting() const { return !path.empty(); }
    operator const char*() const { return path.c_str(); }
    operator const BasicString<char>&() const { return path; }
    const BasicString<char>& getPath() const { return path; }

private:
    static BasicString<char> getTemporaryName(const char* dir, const char* prefix);

    BasicString<char> path;
};

} // namespace vesk
