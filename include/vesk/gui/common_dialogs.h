// FileDialog: the system's open and save file dialogs.
//
// A failing dialog throws CommonDialogError with the dialog's own error code;
// a cancelled one is no error (showModal returns false). Copies share one set-up.
#pragma once

#include <vesk/config.h>
#include <vesk/text/string.h>

#include <windows.h>
#include <commdlg.h>

#include <memory>

namespace vesk {

class Window;

class VESK_API FileDialog {
public:
    // The room for the chosen path unless setMaxPath says otherwise.
    static const unsigned defaultMaxPath = 512;

    FileDialog(HWND owner, bool save, unsigned long flags);
    FileDialog(Window* owner, bool save, unsigned long flags);
    FileDialog(const FileDialog& other) = default;
    FileDialog& operator=(const FileDialog& other) = default;
    virtual ~FileDialog();

    void setTitle(const char* text);
    void setTitle(const wchar_t* text);
    // Pairs of NUL-terminated strings (description, pattern) ended by an empty one.
    void setFilter(const char* text);
    void setFilter(const wchar_t* text);
    static unsigned getFilterLength(const char* text);
    static unsigned getFilterLength(const wchar_t* text);
    // The initial name; cut to the room for the path.
    void setPath(const char* text);
    void setPath(const wchar_t* text);
    // The room for the chosen path, its terminating NUL included (at least 2).
    void setMaxPath(unsigned characters);
    unsigned getMaxPath() const;

    bool showModal();

    BasicString<char> getPathA() const;
    BasicString<wchar_t> getPathW() const;
    BasicString<char> getPathT() const { return getPathA(); }
    BasicString<char> getFilenameA() const;
    BasicString<wchar_t> getFilenameW() const;
    BasicString<char> getFilenameT() const { return getFilenameA(); }
    BasicString<char> getExtensionA() const;
    BasicString<wchar_t> getExtensionW() const;
    BasicString<char> getExtensionT() const { return getExtensionA(); }

    // The record the dialog runs on, for what the members above do not set
    // (an initial folder, a hook, a default extension).
    OPENFILENAMEA& getStructure();
    bool isSave() const { return save; }

private:
    struct Block;
    std::shared_ptr<Block> block;
    bool save;
};

} // namespace vesk
