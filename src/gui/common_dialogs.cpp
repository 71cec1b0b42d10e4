// FileDialog: the set-up record, its strings and the run of the dialog.
#include <vesk/errors/exception.h>
#include <vesk/text/string_helper.h>
#include <vesk/gui/common_dialogs.h>
#include <vesk/gui/window.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace vesk {

struct FileDialog::Block {
    OPENFILENAMEA record;
    std::vector<char> file;
    std::string title;
    std::string filter;
};

FileDialog::FileDialog(HWND owner, bool isSave, unsigned long flags) : block(std::make_shared<Block>()), save(isSave) {
    OPENFILENAMEA& r = block->record;
    std::memset(&r, 0, sizeof(r));
    r.lStructSize = sizeof(r);
    r.hwndOwner = owner;
    r.Flags = flags;
    r.FlagsEx = 0;
    setMaxPath(defaultMaxPath);
}

FileDialog::FileDialog(Window* owner, bool isSave, unsigned long flags)
    : FileDialog(owner ? owner->getWindowHandle() : HWND(nullptr), isSave, flags) {}

FileDialog::~FileDialog() = default;

void FileDialog::setTitle(const char* text) {
    if (!text) {
        block->title.clear();
        block->record.lpstrTitle = nullptr;
        return;
    }
    block->title = text;
    block->record.lpstrTitle = block->title.c_str();
}

void FileDialog::setTitle(const wchar_t* text) {
    if (!text)
        return setTitle(static_cast<const char*>(nullptr));
    setTitle(BasicString<char>(text).c_str());
}

unsigned FileDialog::getFilterLength(const char* text) {
    if (!text)
        return 0;
    const char* p = text;
    while (*p)
        p += std::strlen(p) + 1;
    return unsigned(p - text + 1);
}

unsigned FileDialog::getFilterLength(const wchar_t* text) {
    if (!text)
        return 0;
    const wchar_t* p = text;
    while (*p)
        p += std::wcslen(p) + 1;
    return unsigned(p - text + 1);
}

void FileDialog::setFilter(const char* text) {
    if (!text) {
        block->filter.clear();
        block->record.lpstrFilter = nullptr;
        return;
    }
    block->filter.assign(text, getFilterLength(text));
    block->record.lpstrFilter = block->filter.c_str();
}

void FileDialog::setFilter(const wchar_t* text) {
    if (!text)
        return setFilter(static_cast<const char*>(nullptr));
    // Converted piece by piece: the inner NULs end each piece.
    std::string narrow;
    for (const wchar_t* p = text; *p; p += std::wcslen(p) + 1) {
        narrow += BasicString<char>(p);
        narrow += '\0';
    }
    narrow += '\0';
    block->filter = narrow;
    block->record.lpstrFilter = block->filter.c_str();
}

void FileDialog::setPath(const char* text) {
    std::vector<char>& file = block->file;
    std::size_t length = text ? std::min(std::strlen(text), file.size() - 1) : 0;
    if (text && text[length]) length = StringHelper<char>::wholeCharacters(text, unsigned(length));
    if (length)
        std::memcpy(file.data(), text, length);
    file[length] = '\0';
}

void FileDialog::setPath(const wchar_t* text) { setPath(text ? BasicString<char>(text).c_str() : nullptr); }

namespace {

// The 8-bit dialog counts its buffer in bytes, and a character of the ANSI code
// page may take several (up to four in UTF-8).
unsigned bytesPerCharacter() {
    CPINFO info{};
    return GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1 ? info.MaxCharSize : 1;
}

} // namespace

void FileDialog::setMaxPath(unsigned characters) {
    if (characters < 2)
        throw std::invalid_argument("A file dialog needs room for at least one character of path, not " +
                                    std::to_string(characters));
    const unsigned bytes = characters > 0xFFFFFFFFu / bytesPerCharacter() ? 0xFFFFFFFFu : characters * bytesPerCharacter();
    std::vector<char>& file = block->file;
    file.resize(bytes, '\0');
    file.back() = '\0';
    block->record.lpstrFile = file.data();
    block->record.nMaxFile = bytes;
}

unsigned FileDialog::getMaxPath() const { return unsigned(block->file.size() / bytesPerCharacter()); }

bool FileDialog::showModal() {
    OPENFILENAMEA& r = block->record;
    r.nFileOffset = 0;
    r.nFileExtension = 0;
    if (save ? GetSaveFileNameA(&r) : GetOpenFileNameA(&r))
        return true;
    const DWORD error = CommDlgExtendedError();
    if (error == 0)
        return false;
    throw CommonDialogError("Error in file dialog", error);
}

namespace {

// The buffer's text from an offset; an offset past the text gives "".
BasicString<char> from(const std::vector<char>& file, std::size_t offset) {
    const std::size_t length = strnlen(file.data(), file.size());
    return offset < length ? BasicString<char>(std::string(file.data() + offset, length - offset))
                           : BasicString<char>();
}

// Text of windows and dialogs is in the ANSI code page, not the C runtime's locale.
BasicString<wchar_t> widen(const BasicString<char>& text) { return a2w(text.data(), unsigned(text.size()), CP_ACP); }

} // namespace

BasicString<char> FileDialog::getPathA() const { return from(block->file, 0); }
BasicString<wchar_t> FileDialog::getPathW() const { return widen(getPathA()); }
BasicString<char> FileDialog::getFilenameA() const { return from(block->file, block->record.nFileOffset); }
BasicString<wchar_t> FileDialog::getFilenameW() const { return widen(getFilenameA()); }

BasicString<char> FileDialog::getExtensionA() const {
    // 0: the name has no extension, rather than "the whole path".
    return block->record.nFileExtension ? from(block->file, block->record.nFileExtension) : BasicString<char>();
}

BasicString<wchar_t> FileDialog::getExtensionW() const { return widen(getExtensionA()); }

OPENFILENAMEA& FileDialog::getStructure() { return block->record; }

} // namespace vesk
