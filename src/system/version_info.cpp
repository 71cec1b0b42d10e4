// VersionInfo: reading a file's version block.
//
// Both the resource and the block come from a file and may state any length. The
// resource is checked against the file before the system copies it, and the block is
// walked here with every length checked against its parent: VerQueryValueA follows
// a damaged length out of the block, and writes its 8-bit copies of texts at an
// offset taken from the root's length.
#include <vesk/errors/exception.h>
#include <vesk/system/module.h>
#include <vesk/system/version_info.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <memory>
#include <string>

namespace vesk {

namespace {

[[noreturn]] void damaged() { throw WindowsError(ERROR_INVALID_DATA, "Error in VerQueryValueA: damaged version block"); }

std::size_t align4(std::size_t offset) { return (offset + 3) & ~std::size_t(3); }

WORD word(const unsigned char* p) {
    WORD w;
    std::memcpy(&w, p, 2);
    return w;
}

// One node: wLength, wValueLength, wType (only in 32-bit blocks), the key, then the
// value and the children, each on a 4-byte boundary of the node. 32-bit blocks keep
// UTF-16 keys and texts; 16-bit blocks (of 16-bit files) 8-bit ones.
struct Node {
    const unsigned char* begin;
    std::size_t length, keyChars, valueOffset, valueBytes, childrenOffset;
    bool wide;

    // The node at begin, which has room bytes up to its parent's end.
    Node(const unsigned char* at, std::size_t room, bool isWide) : begin(at), wide(isWide) {
        const std::size_t header = wide ? 6 : 4, unit = wide ? 2 : 1;
        if (room < header) damaged();
        length = word(begin);
        if (length < header || length > room) damaged();
        std::size_t end = header;
        for (;; end += unit) {
            if (end + unit > length) damaged(); // the key has no end inside the node
            if (wide ? word(begin + end) == 0 : begin[end] == 0) break;
        }
        keyChars = (end - header) / unit;
        valueOffset = align4(end + unit);
        valueBytes = std::size_t(word(begin + 2)) * (wide && word(begin + 4) == 1 ? 2 : 1);
        if (valueBytes && valueOffset + valueBytes > length) damaged();
        childrenOffset = std::min(align4(valueOffset + valueBytes), length);
    }

    wchar_t keyAt(std::size_t i) const { return wide ? word(begin + 6 + 2 * i) : begin[4 + i]; }

    // Keys compare without case, as the system compares them.
    bool hasKey(const std::wstring& key) const {
        if (key.size() != keyChars) return false;
        for (std::size_t i = 0; i < keyChars; ++i)
            if (std::towlower(keyAt(i)) != std::towlower(key[i])) return false;
        return true;
    }

    bool findChild(const std::wstring& key, Node& found) const {
        for (std::size_t at = childrenOffset; at < length;) {
            const Node child(begin + at, length - at, wide);
            if (child.hasKey(key)) return found = child, true;
            at += align4(child.length);
        }
        return false;
    }

    const unsigned char* value() const { return begin + valueOffset; }
};

Node rootOf(const unsigned char* block, std::size_t size) {
    // A 16-bit block has its key where a 32-bit one has its type (0 or 1).
    return Node(block, size, size <= 4 || block[4] < ' ');
}

std::wstring wideText(const char* text) {
    std::wstring wide;
    for (const char* p = text ? text : ""; *p; ++p) wide += wchar_t(static_cast<unsigned char>(*p));
    return wide;
}

String text(const Node& node) {
    if (!node.wide) {
        const char* chars = reinterpret_cast<const char*>(node.value());
        return String(chars, std::find(chars, chars + node.valueBytes, '\0') - chars);
    }
    std::wstring wide(node.valueBytes / 2, L'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) wide[i] = wchar_t(word(node.value() + 2 * i));
    wide.resize(std::min(wide.size(), wide.find(L'\0')));
    if (wide.empty()) return String();
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(std::size_t(n > 0 ? n : 0), '\0');
    if (n <= 0 || !WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), &narrow[0], n, nullptr, nullptr))
        throw WindowsError("Can't convert version text to the ANSI code page");
    return String(narrow);
}

// GetFileVersionInfo* copy the version resource by the size its entry states: an
// entry reaching past the file makes them read past its mapping. The resource is
// found as they find it, and checked first.
void checkVersionResource(const char* fileName) {
    std::unique_ptr<HINSTANCE__, BOOL(WINAPI*)(HMODULE)> data(LoadLibraryExA(fileName, nullptr, LOAD_LIBRARY_AS_DATAFILE),
                                                              &FreeLibrary);
    if (!data) return; // not an image: the size query answers for it
    HRSRC resource = FindResourceExA(data.get(), RT_VERSION, MAKEINTRESOURCEA(VS_VERSION_INFO),
                                     MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT));
    if (!resource) resource = FindResourceA(data.get(), MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    if (resource && SizeofResource(data.get(), resource)) WindowsModule(data.get()).getResourceSize(resource);
}

} // namespace

namespace detail {

const VS_FIXEDFILEINFO* versionFixedInfo(const unsigned char* block, std::size_t size) {
    const Node root = rootOf(block, size);
    const VS_FIXEDFILEINFO* fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(root.value());
    if (root.valueBytes < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != VS_FFI_SIGNATURE)
        throw WindowsError(ERROR_INVALID_DATA, "Error in VerQueryValueA: no valid fixed file information");
    return fixed;
}

String versionString(const unsigned char* block, std::size_t size, const char* name) {
    const Node root = rootOf(block, size);
    Node var = root, translation = root, strings = root, table = root, entry = root;
    if (!root.findChild(L"VarFileInfo", var) || !var.findChild(L"Translation", translation) ||
        translation.valueBytes < 4)
        throw WindowsError(ERROR_RESOURCE_TYPE_NOT_FOUND, "Error in VerQueryValueA: no translation table");
    const String tableName = String::fromFormat("%04x%04x", word(translation.value()), word(translation.value() + 2));
    const String path = "\\StringFileInfo\\" + tableName + "\\" + (name ? name : "");
    if (!root.findChild(L"StringFileInfo", strings) || !strings.findChild(wideText(tableName.c_str()), table) ||
        !table.findChild(wideText(name), entry))
        throw WindowsError(ERROR_RESOURCE_NAME_NOT_FOUND, "Error in VerQueryValueA(" + path + ")");
    return text(entry);
}

} // namespace detail

String VersionInfo::Version::toString() const {
    return String::fromFormat("%u.%u.%u.%u", getMajor(), getMinor(), getBuild(), getRevision());
}

VersionInfo::VersionInfo(const char* fileName) : fixedInfo(nullptr) {
    const String name(fileName);
    checkVersionResource(fileName);
    DWORD dummy = 0;
    const DWORD size = GetFileVersionInfoSizeA(fileName, &dummy);
    if (size == 0) throw WindowsError("Error in GetFileVersionInfoSizeA(" + name + ",)");
    block.resize(size);
    std::fill(block.getData(), block.getData() + size, 0); // a root may claim more than the system copied
    if (!GetFileVersionInfoA(fileName, 0, size, block.getData()))
        throw WindowsError("Error in GetFileVersionInfoA(" + name + ",0," + String::fromFormat("%lu", static_cast<unsigned long>(size)) + ",)");
    fixedInfo = detail::versionFixedInfo(block.getData(), size);
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

String VersionInfo::getString(const char* name) const { return detail::versionString(block.getData(), block.getSize(), name); }

} // namespace vesk
