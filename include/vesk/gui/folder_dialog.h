// FolderDialog: the shell's folder browser as a Dialog.
//
// While the browser runs, the object answers for its window: the browse
// callback hands the browser's events to the virtual handlers, and the
// protected members address the browser. Every item list the object holds
// (root, selection, the list the browser returns) has exactly one owner and is
// freed once with the shell's allocator. A cancelled browser is no error
// (showModal returns false); nothing a handler throws leaves the callback.
//
// The constructor enters a single-threaded COM apartment for its thread; the
// destructor leaves it.
#pragma once

#include <vesk/com/item_id_list.h>
#include <vesk/com/malloc.h>
#include <vesk/gui/dialog.h>
#include <vesk/text/string.h>

#include <shlobj.h>

namespace vesk {

class VESK_API FolderDialog : public Dialog {
public:
    FolderDialog(Window& owner, const char* title, unsigned flags);
    FolderDialog(Window& owner, const wchar_t* title, unsigned flags);
    FolderDialog(HWND owner, const char* title, unsigned flags);
    FolderDialog(HWND owner, const wchar_t* title, unsigned flags);
    ~FolderDialog() override;

    // The folder the browser starts from (CSIDL_...).
    void setRoot(int folder);
    // While the browser is open it moves there; before, the folder is kept and
    // shown when the browser opens.
    void setSelection(const char* path);
    void setSelection(const wchar_t* path);
    void setSelection(const ITEMIDLIST* list);

    // Runs the browser; true when a folder was chosen (it is the selection).
    bool showModal();

    const ItemIDList& getSelection() const { return selection; }
    const ItemIDList& getRoot() const { return root; }
    // The display name of the chosen folder, as the browser wrote it.
    BasicString<char> getDisplayName() const { return BasicString<char>(displayName); }

protected:
    void setStatusText(const char* text) const;
    void setStatusText(const wchar_t* text) const;
    void enableOk(bool enable) const;

    // The default shows the stored selection.
    virtual void onInitialized();
    virtual void onSelectionChanged(const ItemIDList& list);
    // True keeps the browser open.
    virtual bool onValidateFailed(const wchar_t* text);
    virtual bool onValidateFailed(const char* text);

    static int CALLBACK callback(HWND hwnd, UINT message, LPARAM lParam, LPARAM data);

    BROWSEINFOA browseInfo;
    ItemIDList selection;
    IMallocRef malloc;
    unsigned flags;
    BasicString<char> title;
    char displayName[MAX_PATH];

private:
    void initialize(HWND owner, unsigned flags);
    ItemIDList root;
};

} // namespace vesk
