// Typed wrappers for the standard and common controls a form holds: buttons,
// radio-button groups, combo boxes, edit controls, list boxes, progress bars,
// scroll bars and track bars.
//
// Each control class is a Window with no state of its own. It is constructed
// empty and bound to an existing control with attach(parent, id) or
// subclass(parent, id); its operations then send the control's messages. A
// command the control sends its parent comes back to the control's own
// onReflectedCommand, so a subclass handles its own clicks and changes.
//
// Texts are read at any length. Indices the control rejects give a
// WindowsError naming the operation and the index, not a silent wrong answer.
#pragma once

#include <vesk/config.h>
#include <vesk/gdi/gdi_object.h>
#include <vesk/gui/window.h>
#include <vesk/text/string.h>

#include <vector>

namespace vesk {

class VESK_API Button : public Window, public OwnerDrawable {
public:
    Button() = default;
    ~Button() override;

    void setCheck(check state) const;
    check getCheck() const;
    // The previous image, not owned: the control still shows it until replaced.
    Bitmap setImage(const Bitmap& bitmap);
};

// The radio buttons of one group: the run of siblings from the first button up
// to the next window with WS_GROUP. Only radio buttons are counted.
class VESK_API RadioButtonGroup {
public:
    RadioButtonGroup() : first(nullptr) {}
    explicit RadioButtonGroup(HWND firstButton) : first(firstButton) {}

    void create(const Window& dialog, int id);
    // The index of the last checked button, -1 when none is.
    int getSelection() const;
    // Checks button n and unchecks the others; an n outside the group unchecks all.
    void setSelection(int n) const;
    // The number of radio buttons in the group.
    unsigned getCount() const;
    HWND getFirst() const { return first; }

private:
    template <class Visit> void walk(Visit visit) const;
    HWND first;
};

class VESK_API ComboBox : public Window {
public:
    ComboBox() = default;
    ~ComboBox() override;

    bool hasStrings() const;
    bool isOwnerDrawFixed() const;
    bool isOwnerDrawVariable() const;
    bool isOwnerDraw() const;
    unsigned getCount() const;
    unsigned getCurrentSelection() const;
    unsigned setCurrentSelection(unsigned index) const;
    unsigned addString(const char* text) const;
    unsigned addString(const wchar_t* text) const;
    unsigned addItem(const void* data) const;
    // Adds every non-empty line of a string resource; the index of the last one,
    // or unsigned(-1) when there is none.
    unsigned addString(unsigned short stringId, HINSTANCE instance);
    unsigned deleteString(unsigned index) const;
    unsigned findString(const char* text, unsigned start) const;
    void resetContent() const;
    void setItemData(unsigned index, const void* data) const;
    void* getItemData(unsigned index) const;
    // The text of one item, whole.
    BasicString<char> getStringA(unsigned index) const;
    BasicString<wchar_t> getStringW(unsigned index) const;
};

class VESK_API EditControl : public Window {
public:
    EditControl() = default;
    ~EditControl() override;

    void setSelection(unsigned start, unsigned end) const;
    void selectAll() const;
    void clearSelection() const;
    void setReadonly(bool readonly) const;
    bool getReadonly() const;
};

class VESK_API ListBox : public Window {
public:
    ListBox() = default;
    ~ListBox() override;

    unsigned addString(const char* text) const;
    unsigned addString(const wchar_t* text) const;
    unsigned getCount() const;
    // The text of one item, whole.
    BasicString<char> getStringA(unsigned index) const;
    BasicString<wchar_t> getStringW(unsigned index) const;
    void setSelection(unsigned index, bool selected) const;
    // Every selected item of a multiple-selection list, however many there are.
    std::vector<unsigned> getSelectedItems() const;
};

class VESK_API ProgressBar : public Window {
public:
    ProgressBar() = default;
    ~ProgressBar() override;

    void setRange(int min, int max) const;
    PBRANGE getRange() const;
    int getMin() const;
    int getMax() const;
    int setPos(int position) const;
    int getPos() const;
};

// A scroll-bar control: the window's scroll-bar operations on SB_CTL.
class VESK_API ScrollBar : public Window {
public:
    ScrollBar() = default;
    ~ScrollBar() override;

    void showScrollBar(bool visible) const;
    bool enableScrollBar(unsigned arrows);
    void getScrollInfo(SCROLLINFO& info) const;
    SCROLLINFO getScrollInfo(unsigned mask) const;
    int setScrollInfo(const SCROLLINFO& info, bool redraw) const;
};

class VESK_API TrackBar : public Window {
public:
    TrackBar() = default;
    ~TrackBar() override;

    int getPosition() const;
    void setPosition(int position, bool redraw) const;
    void setRange(short min, short max, bool redraw) const;
    void setRangeMin(int min, bool redraw) const;
    void setRangeMax(int max, bool redraw) const;
    int getRangeMin() const;
    int getRangeMax() const;
    void setSelection(short start, short end, bool redraw) const;
    void setSelectionStart(int start, bool redraw) const;
    void setSelectionEnd(int end, bool redraw) const;
    int getSelectionStart() const;
    int getSelectionEnd() const;
    void clearSelection(bool redraw) const;
    void clearTicks(bool redraw) const;
    void addTick(int position) const;
    // The tick marks without the first and last.
    unsigned getTickCount() const;
    bool hasTicks() const;
    // Throws for an index at or past getTickCount().
    int getTick(unsigned index) const;
    int getTickPosition(unsigned index) const;
    // The control's own array of getTickCount() positions (null when empty).
    const int* getTicks() const;
};

} // namespace vesk
