// RegistryKey: an owned or borrowed registry key handle with typed values,
// existence tests, snapshots of subkeys and values, and the tree operations
// (recursive delete, pruning of empty subtrees, merging one tree into another).
//
// Every operation that takes or returns a name comes in a char and a wchar_t
// form. The char form calls the ANSI registry functions; the wchar_t form
// converts names through the ANSI code page and back. An empty name (or a
// null pointer) names a key's default value.
#pragma once

#include <vesk/config.h>
#include <vesk/text/string.h>

#include <list>
#include <string>
#include <vector>

namespace vesk {

// "Software\{3C5E91A7-2B48-4F0D-9D61-85E2A7C04B19}": the library's own key,
// used under HKEY_LOCAL_MACHINE. It holds "IsDevelopmentSystem" and "Files".
VESK_API extern const char* const software_key_name_a;
VESK_API extern const wchar_t* const software_key_name_w;

// One 32-bit field and a name.
template <class C> struct RegistryValue {
    unsigned long value = 0;
    std::basic_string<C> name;
};

class VESK_API RegistryKey {
public:
    // Bits of the mask of getInfo: which members of Info to fill.
    enum InfoMask : unsigned short {
        infoClassName = 0x001,
        infoSubKeyCount = 0x002,
        infoMaxSubKeyLength = 0x004,
        infoMaxClassLength = 0x008,
        infoValueCount = 0x010,
        infoMaxValueNameLength = 0x020,
        infoSecurityDescriptorSize = 0x040,
        infoLastWriteTime = 0x080,
        infoMaxValueDataSize = 0x100,
        infoAll = 0x1FF
    };

    // What RegQueryInfoKey tells about a key; members whose mask bit is clear
    // keep what they held.
    template <class C> struct Info {
        std::basic_string<C> className;
        DWORD subKeyCount = 0;
        DWORD maxSubKeyLength = 0;
        DWORD maxClassLength = 0;
        DWORD valueCount = 0;
        DWORD maxValueNameLength = 0;
        DWORD securityDescriptorSize = 0;
        DWORD maxValueDataSize = 0;
        FILETIME lastWriteTime = {0, 0};
    };

    // A snapshot of a key's direct subkeys in the registry's own order. The
    // handle is only read, never owned.
    template <class C> class KeyEnumeration {
    public:
        struct Info {
            std::basic_string<C> name;
            std::basic_string<C> className;
            FILETIME lastWriteTime;
        };
        explicit KeyEnumeration(HKEY key);
        const Info* begin() const;
        const Info* end() const;
        std::size_t size() const;

    private:
        std::vector<Info> entries;
    };

    // A snapshot of a key's values: name, REG_* type and data size in bytes.
    template <class C> class ValueEnumeration {
    public:
        struct Info {
            std::basic_string<C> name;
            DWORD type;
            DWORD dataSize;
        };
        explicit ValueEnumeration(HKEY key);
        const Info* begin() const;
        const Info* end() const;
        std::size_t size() const;

    private:
        std::vector<Info> entries;
    };

    // ---- construction, ownership, lifetime -----------------------------

    RegistryKey();
    // Wraps a handle; with owns false the handle is never closed here.
    RegistryKey(HKEY key, bool owns);
    // Opens name under parent and owns the result; an absent key throws
    // WindowsError 2, "Registry key not found".
    RegistryKey(HKEY parent, const char* name, unsigned long access = KEY_READ);
    RegistryKey(HKEY parent, const wchar_t* name, unsigned long access = KEY_READ);
    // The copy owns a duplicate of the handle; a null key copies as null. A
    // predefined root (HKEY_CURRENT_USER, ...) copies as the same unowned root.
    RegistryKey(const RegistryKey& other);
    RegistryKey(RegistryKey&& other) noexcept;
    // Gives up what this key held (closing it when owned) and takes a copy made
    // as by the copy constructor: every handle keeps exactly one owner.
    RegistryKey& operator=(const RegistryKey& other);
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    virtual ~RegistryKey();

    // False (and nothing thrown) when the key is absent.
    bool open(HKEY parent, const char* name, unsigned long access = KEY_READ);
    bool open(HKEY parent, const wchar_t* name, unsigned long access = KEY_READ);
    // Creates the key, or opens it when it exists.
    void create(HKEY parent, const char* name, unsigned long access = KEY_ALL_ACCESS);
    void create(HKEY parent, const wchar_t* name, unsigned long access = KEY_ALL_ACCESS);
    void create(HKEY parent, const char* name, const char* className, unsigned long options, unsigned long access,
                SECURITY_ATTRIBUTES* security, unsigned long* disposition);
    void create(HKEY parent, const wchar_t* name, const wchar_t* className, unsigned long options,
                unsigned long access, SECURITY_ATTRIBUTES* security, unsigned long* disposition);
    // Closes an owned key; a borrowed one is left as it is.
    void close();
    void attach(HKEY key, bool owns);
    HKEY detach();
    void flush() const;

    bool isOpen() const { return key != nullptr; }
    bool isNull() const { return key == nullptr; }
    bool ownsKey() const { return owns; }
    explicit operator bool() const { return key != nullptr; }
    bool operator!() const { return key == nullptr; }
    operator HKEY() const { return key; }

    // ---- values --------------------------------------------------------

    // Raw read into the caller's buffer: true with size and type set, false
    // when the value is absent.
    bool getValue(const char* name, unsigned char* data, unsigned long& size, unsigned long& type) const;
    bool getValue(const wchar_t* name, unsigned char* data, unsigned long& size, unsigned long& type) const;
    bool getValue(const char* name, unsigned char* data, unsigned long size) const;
    bool getValue(const wchar_t* name, unsigned char* data, unsigned long size) const;
    // A value of up to 4 bytes as a little-endian number (shorter data is
    // zero-extended); false when absent. The type is not examined.
    bool getValue(const char* name, unsigned long& value) const;
    bool getValue(const wchar_t* name, unsigned long& value) const;
    // Appends the strings of a multi-string value; false when absent.
    bool getValue(const char* name, std::list<BasicString<char>>& strings) const;
    bool getValue(const wchar_t* name, std::list<BasicString<wchar_t>>& strings) const;
    // The whole data of a value, whatever its size (false when absent).
    bool getValue(const char* name, std::vector<unsigned char>& data, unsigned long& type) const;
    bool getValue(const wchar_t* name, std::vector<unsigned char>& data, unsigned long& type) const;

    unsigned long getDWordValue(const char* name) const;
    unsigned long getDWordValue(const wchar_t* name) const;
    // REG_SZ or REG_EXPAND_SZ text without its trailing zeros, not expanded.
    BasicString<char> getStringValue(const char* name) const;
    BasicString<wchar_t> getStringValue(const wchar_t* name) const;
    unsigned long getValueSize(const char* name) const;
    unsigned long getValueSize(const wchar_t* name) const;
    unsigned long GetValueType(const char* name) const;
    unsigned long GetValueType(const wchar_t* name) const;
    bool existsValue(const char* name) const;
    bool existsValue(const wchar_t* name) const;

    void setValue(const char* name, const unsigned char* data, unsigned long size, unsigned long type) const;
    void setValue(const wchar_t* name, const unsigned char* data, unsigned long size, unsigned long type) const;
    void setValue(const char* name, unsigned long value) const;
    void setValue(const wchar_t* name, unsigned long value) const;
    // REG_SZ with its terminating zero.
    void setValue(const char* name, const char* text) const;
    void setValue(const wchar_t* name, const wchar_t* text) const;
    void deleteValue(const char* name) const;
    void deleteValue(const wchar_t* name) const;
    void deleteAllValues() const;

    // ---- keys and information ------------------------------------------

    void getInfo(Info<char>& info, unsigned short mask) const;
    void getInfo(Info<wchar_t>& info, unsigned short mask) const;
    unsigned int getSubkeyCount() const;
    bool hasSubkeys() const;
    unsigned int getValueCount() const;
    FILETIME GetLastWriteTime() const;

    // True when name opens for full access under parent, false when absent.
    static bool existsKey(HKEY parent, const char* name);
    static bool existsKey(HKEY parent, const wchar_t* name);
    bool existsKey(const char* name) const;
    bool existsKey(const wchar_t* name) const;

    // Deletes a subkey that has no subkeys.
    void deleteKey(const char* name) const;
    void deleteKey(const wchar_t* name) const;
    // The tree operations below stop at the first failure (what was done stays
    // done) and name the failing key by its path from this key. They stay in
    // the registry view this key was opened in, and never follow a symbolic
    // link out of the tree: a link is handled as the link itself.
    //
    // Deletes the named subkey with everything below it. The name must not be
    // empty: this key itself is never deleted.
    void deleteKeyRecursive(const char* name) const;
    void deleteKeyRecursive(const wchar_t* name) const;
    // Removes the empty keys of the named subtree, depth first. A key is empty
    // when it has no subkeys and no value other than an empty default value.
    void cleanEmptyTree(const char* name) const;
    void cleanEmptyTree(const wchar_t* name) const;
    // Copies source's subkeys (with their classes) and values into this key,
    // overwriting values of the same name and deleting nothing. Links are
    // copied as links; nothing is written through a link under this key.
    void AddContentFrom(const RegistryKey& source);
    RegistryKey& operator+=(const RegistryKey& source);

private:
    // options: 0, or REG_OPTION_OPEN_LINK to open a symbolic link itself;
    // shownName, when given, is the name a failure reports.
    bool openNarrow(HKEY parent, const char* name, unsigned long access, unsigned long options = 0,
                    const char* shownName = nullptr);
    // The tree operations below a name; path is the name as seen from the key
    // the operation was called on, for the messages.
    void deleteTree(const char* name, const std::string& path) const;
    void cleanTree(const char* name, const std::string& path) const;
    // True when this key, opened with REG_OPTION_OPEN_LINK, is a symbolic link.
    bool isLink() const;
    void createNarrow(HKEY parent, const char* name, const char* className, unsigned long options,
                      unsigned long access, SECURITY_ATTRIBUTES* security, unsigned long* disposition);
    // The registry view (KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0) the key was
    // opened in, so that the tree operations stay in that view.
    unsigned long view() const { return viewFlags; }

    bool owns;
    HKEY key;
    unsigned long viewFlags;
};

extern template class VESK_API RegistryKey::KeyEnumeration<char>;
extern template class VESK_API RegistryKey::KeyEnumeration<wchar_t>;
extern template class VESK_API RegistryKey::ValueEnumeration<char>;
extern template class VESK_API RegistryKey::ValueEnumeration<wchar_t>;

// True when HKEY_LOCAL_MACHINE\<software_key_name_a> holds a non-zero
// "IsDevelopmentSystem"; read afresh on every call, false on any failure.
VESK_API bool isDevelopmentSystem();

} // namespace vesk

#include <vesk/system/ini.h>
#include <vesk/system/os_version.h>
