// VersionInfo: the version resource of a file, its fixed numbers and its texts.
#pragma once

#include <vesk/config.h>
#include <vesk/io/array.h>
#include <vesk/text/string.h>

#include <cstddef>

namespace vesk {

class VESK_API VersionInfo {
public:
    // One version number as VS_FIXEDFILEINFO stores it: the most significant 32-bit
    // word (major, minor), then the least significant one (build, revision).
    union VESK_API Version {
        struct {
            DWORD mostSignificant;
            DWORD leastSignificant;
        } words;
        WORD parts[4]; // minor, major, revision, build (little-endian words)

        unsigned getMajor() const { return HIWORD(words.mostSignificant); }
        unsigned getMinor() const { return LOWORD(words.mostSignificant); }
        unsigned getBuild() const { return HIWORD(words.leastSignificant); }
        unsigned getRevision() const { return LOWORD(words.leastSignificant); }
        // "major.minor.build.revision"
        BasicString<char> toString() const;
    };

    explicit VersionInfo(const char* fileName);
    VersionInfo(const VersionInfo& other);
    VersionInfo& operator=(const VersionInfo& other);
    ~VersionInfo();

    const Version& FileVersion() const;
    const Version& ProductVersion() const;
    const VS_FIXEDFILEINFO& getFixedInfo() const { return *fixedInfo; }

    // A text of the first language of the block's string table, e.g.
    // "ProductName"; throws when the block has no such text.
    BasicString<char> getString(const char* name) const;

private:
    Array<unsigned char> block;
    const VS_FIXEDFILEINFO* fixedInfo;
};

static_assert(sizeof(VersionInfo::Version) == 8, "a version number is two 32-bit words");

namespace detail {
// What VersionInfo reads from a block that GetFileVersionInfoA filled, each length
// checked before it is followed; damage throws WindowsError ERROR_INVALID_DATA.
// Exported for the tests, which run them on blocks followed by a no-access page.
VESK_API const VS_FIXEDFILEINFO* versionFixedInfo(const unsigned char* block, std::size_t size);
VESK_API BasicString<char> versionString(const unsigned char* block, std::size_t size, const char* name);
} // namespace detail

} // namespace vesk
