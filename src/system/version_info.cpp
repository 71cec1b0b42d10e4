// VersionInfo: reading a file's version block.
#include <vesk/errors/exception.h>
#include <vesk/system/version_info.h>

#include <cstring>

namespace vesk {

String VersionInfo::Version::toString() const {
    return String::fromFormat("%u.%u.%u.%u", getMajor(), getMinor(), getBuild(), getRevision());
}

VersionInfo::VersionInfo(const char* fileName) : fixedInfo(nullptr) {
    const String name(fileName);
    DWORD dummy = 0;
    const DWORD size = GetFileVersionInfoSizeA(fileName, &dummy);
    if (size == 0) throw WindowsError("Error in GetFileVersionInfoSizeA(" + name + ",)");
    block.resize(size);
    if (!GetFileVersionInfoA(fileName, 0, size, block.getData()))
        throw WindowsError("Error in GetFileVersionInfoA(" + name + ",0," + String::fromFormat("%lu", static_cast<unsigned long>(size)) + ",)");
    void* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.getData(), "\\", &fixed, &length)) throw WindowsError("Error in VerQueryValueA");
    // The block comes from a file: a fixed part that is short, outside the block or
    // without its signature is damage, not version numbers.
    if (!fixed || length < sizeof(VS_FIXEDFILEINFO) || !inBlock(fixed, length) ||
        static_cast<const VS_FIXEDFILEINFO*>(fixed)->dwSignature != VS_FFI_SIGNATURE)
        throw WindowsError(ERROR_INVALID_DATA, "Error in VerQueryValueA: no valid fixed file information in " + name);
    fixedInfo = static_cast<const VS_FIXEDFILEINFO*>(fixed);
}

VersionInfo::VersionInfo(const VersionInfo& other)
    : block(other.block),
      fixedInfo(reinterpret_cast<const VS_FIXEDFILEINFO*>(
          block.getData() + (reinterpret_cast<const unsigned char*>(other.fixedInfo) - other.block.getData()))) {}

VersionInfo& VersionInfo::operator=(const VersionInfo& other) {
    if (this != &other) {
        Array<unsigned char> copy(other.block);
        const std::ptrdiff_t offset = reinterpret_cast<const unsigned char*>(other.fixedInfo) - other.block.getData();
        block.swap(copy);
        fixedInfo = reinterpret_cast<const VS_FIXEDFILEINFO*>(block.getData() + offset);
    }
    return *this;
}

VersionInfo::~VersionInfo() = default;

const VersionInfo::Version& VersionInfo::FileVersion() const {
    return *reinterpret_cast<const Version*>(&fixedInfo->dwFileVersionMS);
}

const VersionInfo::Version& VersionInfo::ProductVersion() const {
    return *reinterpret_cast<const Version*>(&fixedInfo->dwProductVersionMS);
}

bool VersionInfo::inBlock(const void* data, UINT length) const {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    const unsigned char* begin = block.getData();
    const unsigned char* end = begin + block.getSize();
    return p >= begin && p <= end && length <= std::size_t(end - p);
}

String VersionInfo::getString(const char* name) const {
    // VerQueryValueA may keep 8-bit copies of texts in the block's spare half: a
    // cache of the block's own content, so the query stays logically const.
    void* block0 = const_cast<unsigned char*>(block.getData());
    void* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block0, "\\VarFileInfo\\Translation", &translation, &length) || length < 4 ||
        !inBlock(translation, length))
        throw WindowsError(ERROR_RESOURCE_TYPE_NOT_FOUND, "Error in VerQueryValueA: no translation table");
    WORD language, codePage;
    std::memcpy(&language, translation, 2);
    std::memcpy(&codePage, static_cast<const char*>(translation) + 2, 2);
    const String path = String::fromFormat("\\StringFileInfo\\%04x%04x\\", language, codePage) + (name ? name : "");
    // The 16-bit text, converted here: the 8-bit copy VerQueryValueA makes has
    // room for two bytes a character, too little for UTF-8.
    void* text = nullptr;
    length = 0;
    if (!VerQueryValueW(block0, BasicString<wchar_t>(path.c_str()).c_str(), &text, &length) || !text)
        throw WindowsError(ERROR_RESOURCE_NAME_NOT_FOUND, "Error in VerQueryValueA(" + path + ")");
    if (!inBlock(text, length * 2)) throw WindowsError(ERROR_INVALID_DATA, "Error in VerQueryValueA(" + path + ")");
    // The length counts the terminating NUL when there is one; stop at the first NUL.
    const wchar_t* chars = static_cast<const wchar_t*>(text);
    UINT n = 0;
    while (n < length && chars[n]) ++n;
    return String(StringHelper<char>::convert(chars, n, CP_ACP));
}

} // namespace vesk
