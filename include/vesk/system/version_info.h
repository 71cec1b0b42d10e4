// VersionInfo: the version resource of a file, its fixed numbers and its texts.
#pragma once

#include <vesk/config.h>
#include <vesk/io/array.h>
#include <vesk/text/string.h>

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
    // Checks that [data, data + length) lies in the block.
    bool inBlock(const void* data, UINT length) const;

    Array<unsigned char> block;
    const VS_FIXEDFILEINFO* fixedInfo;
};

static_assert(sizeof(VersionInfo::Version) == 8, "a version number is two 32-bit words");

} // namespace vesk
