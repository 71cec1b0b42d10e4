// Readable names of GUIDs and HRESULTs: the two look-up files, read once per
// process, then fixed rules and the system's registry of interfaces and classes.
#include <vesk/com/guid.h>

#include <vesk/system/registry.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <utility>

namespace vesk {

namespace {

// The text of a value under root\path ("" names the default value); empty when
// the key or the value is absent.
BasicString<char> registryText(HKEY root, const std::string& path, const char* value) {
    RegistryKey key;
    if (!key.open(root, path.c_str(), KEY_QUERY_VALUE) || !key.existsValue(value)) return BasicString<char>();
    return key.getStringValue(value);
}

bool isSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// One white-space separated token, at most maxNameFileToken characters: a longer
// one (a damaged or foreign file) is refused rather than read into memory whole.
// Read from the stream's buffer directly: the files hold thousands of tokens.
bool readToken(std::istream& in, std::string& token) {
    token.clear();
    std::streambuf* const buffer = in.rdbuf();
    if (!in.good() || !buffer) return false;
    const int eof = std::char_traits<char>::eof();
    int c = buffer->sgetc();
    while (c != eof && isSpace(c)) c = buffer->snextc();
    for (; c != eof && !isSpace(c); c = buffer->snextc()) {
        if (token.size() == maxNameFileToken) return false;
        token.push_back(char(c));
    }
    if (c == eof) in.setstate(std::ios::eofbit);
    return !token.empty();
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Exactly the braced texts CLSIDFromString takes: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
// with ASCII hex digits of either case, and nothing after the closing brace.
bool parseGUID(const std::string& text, GUID& guid) {
    static const char pattern[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (text.size() != sizeof(pattern) - 1) return false;
    unsigned char bytes[16];
    unsigned digits = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (pattern[i] != 'X') {
            if (text[i] != pattern[i]) return false;
            continue;
        }
        const int digit = hexDigit(text[i]);
        if (digit < 0) return false;
        bytes[digits / 2] = static_cast<unsigned char>(digits % 2 ? bytes[digits / 2] << 4 | digit : digit);
        ++digits;
    }
    guid.Data1 = static_cast<unsigned long>(bytes[0]) << 24 | static_cast<unsigned long>(bytes[1]) << 16 |
                 static_cast<unsigned long>(bytes[2]) << 8 | bytes[3];
    guid.Data2 = static_cast<unsigned short>(bytes[4] << 8 | bytes[5]);
    guid.Data3 = static_cast<unsigned short>(bytes[6] << 8 | bytes[7]);
    std::memcpy(guid.Data4, bytes + 8, 8);
    return true;
}

// 1 to 8 hex digits, an optional "0x" before them.
bool parseCode(const std::string& text, unsigned long& code) {
    std::size_t i = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
    if (text.size() == i || text.size() - i > 8) return false;
    code = 0;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isxdigit(c)) return false;
        code = code * 16 + unsigned(std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
    }
    return true;
}

// The file named by the value under the library's key, open; false when any
// step fails (the tables then stay as they are).
bool openNameFile(const char* value, std::ifstream& file) {
    const BasicString<char> path = registryText(HKEY_LOCAL_MACHINE, software_key_name_a + std::string("\\Files"), value);
    if (path.empty()) return false;
    file.open(path.c_str());
    return file.is_open();
}

const GUIDNames& guidNames() {
    static const GUIDNames table = [] {
        GUIDNames names;
        try {
            std::ifstream file;
            if (openNameFile("GUIDs.txt", file)) readGUIDNames(file, names);
        } catch (...) {
            // A file that cannot be read leaves the names read until then.
        }
        return names;
    }();
    return table;
}

const HRESULTNames& hresultNames() {
    static const HRESULTNames table = [] {
        HRESULTNames names;
        try {
            std::ifstream file;
            if (openNameFile("HRESULTs.txt", file)) readHRESULTNames(file, names);
        } catch (...) {
        }
        return names;
    }();
    return table;
}

bool sameTail(const GUID& guid, unsigned short data2, unsigned short data3, const unsigned char (&data4)[8]) {
    return guid.Data2 == data2 && guid.Data3 == data3 && std::memcmp(guid.Data4, data4, 8) == 0;
}

// "IID_" or "CLSID_" and the registered name of the GUID, or empty.
std::string registeredName(const char* folder, const char* prefix, const std::string& braced) {
    try {
        const BasicString<char> name = registryText(HKEY_CLASSES_ROOT, std::string(folder) + "\\" + braced, "");
        if (!name.empty()) return prefix + name;
    } catch (const std::exception&) {
        // The next rule answers.
    }
    return std::string();
}

} // namespace

void readGUIDNames(std::istream& in, GUIDNames& names) {
    std::string text, name;
    GUID guid;
    while (readToken(in, text) && parseGUID(text, guid) && readToken(in, name))
        names.insert_or_assign(guid, BasicString<char>(std::move(name)));
}

void readHRESULTNames(std::istream& in, HRESULTNames& names) {
    std::string text, name;
    unsigned long code;
    while (readToken(in, text) && parseCode(text, code) && readToken(in, name)) {
        names.insert_or_assign(long(code), BasicString<char>(std::move(name)));
        in >> std::ws;
        if (in.peek() == '"') {
            in.get();
            in.ignore(std::numeric_limits<std::streamsize>::max(), '"');
        }
    }
}

BasicString<char> toAString(const GUID& guid, bool lookUp) {
    if (lookUp) {
        // A name in the table: one search and one copy, no text made before.
        const GUIDNames& names = guidNames();
        const auto found = names.find(guid);
        if (found != names.end()) return found->second;
    }
    const BasicString<char> braced(toWString(guid));
    if (!lookUp) return braced;

    static const unsigned char multimedia[8] = {0xA2, 0x1A, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96};
    static const unsigned char fourcc[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    const unsigned long data1 = guid.Data1;
    if (data1 >= 0xD5A47FA7UL && data1 <= 0xD5A57FA5UL && sameTail(guid, 0x6D98, 0x11D1, multimedia))
        return BasicString<char>::fromFormat("Manufacturer ID %hu", static_cast<unsigned short>(data1 - 0xD5A47FA7UL));
    if (data1 >= 0xE36DC2ACUL && data1 <= 0xE36EC2AAUL && sameTail(guid, 0x6D9A, 0x11D1, multimedia))
        return BasicString<char>::fromFormat("Product ID %hu", static_cast<unsigned short>(data1 - 0xE36DC2ACUL));
    if (sameTail(guid, 0x0000, 0x0010, fourcc)) {
        const unsigned char code[4] = {static_cast<unsigned char>(data1), static_cast<unsigned char>(data1 >> 8),
                                       static_cast<unsigned char>(data1 >> 16), static_cast<unsigned char>(data1 >> 24)};
        bool printable = true;
        for (unsigned char c : code) printable = printable && c < 0x80 && std::isprint(c);
        if (printable) return "FOURCC \"" + std::string(code, code + 4) + "\"";
        return BasicString<char>::fromFormat("FOURCC %lu", data1);
    }
    std::string name = registeredName("Interface", "IID_", braced);
    if (name.empty()) name = registeredName("CLSID", "CLSID_", braced);
    return name.empty() ? braced : BasicString<char>(name);
}

BasicString<char> getHRESULTIdentifier(long hr) {
    const HRESULTNames& names = hresultNames();
    const auto found = names.find(hr);
    if (found != names.end()) return found->second;
    return BasicString<char>::fromFormat("HRESULT value %lx", static_cast<unsigned long>(hr));
}

} // namespace vesk
