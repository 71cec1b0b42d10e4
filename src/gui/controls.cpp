// The simple controls: each operation is one message to the control, with the
// control's error answers turned into exceptions.
#include <vesk/errors/exception.h>
#include <vesk/text/string_helper.h>
#include <vesk/gui/controls.h>

#include <new>
#include <stdexcept>
#include <string>

namespace vesk {

namespace {

// An index the control refused: the operation and the index in the text.
[[noreturn]] void badIndex(const char* what, unsigned index) {
    throw WindowsError(ERROR_INVALID_INDEX, std::string(what) + " " + std::to_string(index));
}

// Reads an item text whose length the control reports first; the text is
// asked for with room for that length, so no item is ever cut.
template <class Length, class Read>
BasicString<char> readItem(Length length, Read read, LRESULT error, const char* what, unsigned index) {
    const LRESULT n = length();
    if (n == error || n < 0)
        badIndex(what, index);
    // A double-byte text may report more than it holds, never less.
    std::string buffer(std::size_t(n) + 1, '\0');
    const LRESULT copied = read(&buffer[0]);
    if (copied == error || copied < 0)
        badIndex(what, index);
    buffer.resize(std::size_t(copied) <= std::size_t(n) ? std::size_t(copied) : std::size_t(n));
    return BasicString<char>(buffer);
}

// Text of windows and dialogs is in the ANSI code page, not the C runtime's locale.
BasicString<wchar_t> widen(const BasicString<char>& text) { return a2w(text.data(), unsigned(text.size()), CP_ACP); }

} // namespace

// ---- Button ---------------------------------------------------------------------

Button::~Button() = default;

void Button::setCheck(check state) const { sendMessageA(BM_SETCHECK, WPARAM(state), 0); }

Window::check Button::getCheck() const {
    switch (sendMessageA(BM_GETCHECK, 0, 0)) {
    case BST_CHECKED: return checked;
    case BST_INDETERMINATE: return indeterminate;
    default: return unchecked;
    }
}

Bitmap Button::setImage(const Bitmap& bitmap) {
    const LRESULT previous = sendMessageA(BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.getHandle()));
    return Bitmap(reinterpret_cast<HBITMAP>(previous), false);
}

// ---- RadioButtonGroup -------------------------------------------------------------

void RadioButtonGroup::create(const Window& dialog, int id) {
    HWND h = GetDlgItem(dialog.getWindowHandle(), id);
    if (!h)
        throw WindowsError("Can't retrieve radio button handle for group");
    first = h;
}

template <class Visit> void RadioButtonGroup::walk(Visit visit) const {
    int index = 0;
    for (HWND h = first; h; h = GetWindow(h, GW_HWNDNEXT)) {
        if (h != first && (GetWindowLongPtrA(h, GWL_STYLE) & WS_GROUP))
            break;
        if (SendMessageA(h, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)
            visit(h, index++);
    }
}

int RadioButtonGroup::getSelection() const {
    int selection = -1;
    walk([&](HWND h, int index) {
        if (SendMessageA(h, BM_GETCHECK, 0, 0))
            selection = index;
    });
    return selection;
}

void RadioButtonGroup::setSelection(int n) const {
    walk([n](HWND h, int index) { SendMessageA(h, BM_SETCHECK, index == n ? BST_CHECKED : BST_UNCHECKED, 0); });
}

unsigned RadioButtonGroup::getCount() const {
    unsigned count = 0;
    walk([&](HWND, int) { ++count; });
    return count;
}

// ---- ComboBox ---------------------------------------------------------------------

ComboBox::~ComboBox() = default;

bool ComboBox::hasStrings() const { return (getStyle() & CBS_HASSTRINGS) != 0; }
bool ComboBox::isOwnerDrawFixed() const { return (getStyle() & CBS_OWNERDRAWFIXED) != 0; }
bool ComboBox::isOwnerDrawVariable() const { return (getStyle() & CBS_OWNERDRAWVARIABLE) != 0; }
bool ComboBox::isOwnerDraw() const { return (getStyle() & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) != 0; }
unsigned ComboBox::getCount() const { return unsigned(sendMessageA(CB_GETCOUNT, 0, 0)); }
unsigned ComboBox::getCurrentSelection() const { return unsigned(sendMessageA(CB_GETCURSEL, 0, 0)); }
unsigned ComboBox::setCurrentSelection(unsigned index) const {
    return unsigned(sendMessageA(CB_SETCURSEL, WPARAM(int(index)), 0));
}

namespace {

unsigned checkedAdd(LRESULT result, const char* failure) {
    if (result == CB_ERRSPACE)
        throw std::bad_alloc();
    if (result == CB_ERR)
        throw std::runtime_error(failure);
    return unsigned(result);
}

const char addStringFailure[] = "Unspecified error in adding a string to a combo box";

} // namespace

unsigned ComboBox::addString(const char* text) const {
    return checkedAdd(sendMessageA(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)), addStringFailure);
}

unsigned ComboBox::addString(const wchar_t* text) const { return addString(BasicString<char>(text).c_str()); }

unsigned ComboBox::addItem(const void* data) const {
    return checkedAdd(sendMessageA(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(data)),
                      "Unspecified error in adding an owner draw item to a combo box");
}

unsigned ComboBox::addString(unsigned short stringId, HINSTANCE instance) {
    // The resource is read in place: no buffer to guess the size of.
    const wchar_t* resource = nullptr;
    const int length = LoadStringW(instance, stringId, reinterpret_cast<LPWSTR>(&resource), 0);
    const BasicString<char> text(length > 0 ? BasicString<char>(resource, unsigned(length)) : BasicString<char>());
    unsigned last = unsigned(-1);
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            last = addString(std::string(text, start, end - start).c_str());
        start = end + 1;
    }
    return last;
}

unsigned ComboBox::deleteString(unsigned index) const {
    const LRESULT result = sendMessageA(CB_DELETESTRING, WPARAM(index), 0);
    if (result == CB_ERR)
        throw WindowsError("Error when deleting a combo box item");
    return unsigned(result);
}

unsigned ComboBox::findString(const char* text, unsigned start) const {
    return unsigned(sendMessageA(CB_FINDSTRING, WPARAM(int(start)), reinterpret_cast<LPARAM>(text)));
}

void ComboBox::resetContent() const { sendMessageA(CB_RESETCONTENT, 0, 0); }

void ComboBox::setItemData(unsigned index, const void* data) const {
    if (sendMessageA(CB_SETITEMDATA, WPARAM(index), reinterpret_cast<LPARAM>(data)) == CB_ERR)
        throw WindowsError("Can't set combo box item data");
}

void* ComboBox::getItemData(unsigned index) const {
    if (index >= getCount())
        badIndex("Can't get combo box item data of item", index);
    return reinterpret_cast<void*>(sendMessageA(CB_GETITEMDATA, WPARAM(index), 0));
}

BasicString<char> ComboBox::getStringA(unsigned index) const {
    return readItem([&] { return sendMessageA(CB_GETLBTEXTLEN, WPARAM(index), 0); },
                    [&](char* buffer) { return sendMessageA(CB_GETLBTEXT, WPARAM(index), LPARAM(buffer)); },
                    CB_ERR, "Can't get the text of combo box item", index);
}

BasicString<wchar_t> ComboBox::getStringW(unsigned index) const { return widen(getStringA(index)); }

// ---- EditControl ------------------------------------------------------------------

EditControl::~EditControl() = default;

void EditControl::setSelection(unsigned start, unsigned end) const {
    sendMessageA(EM_SETSEL, WPARAM(start), LPARAM(int(end)));
}
void EditControl::selectAll() const { sendMessageA(EM_SETSEL, 0, -1); }
void EditControl::clearSelection() const { sendMessageA(EM_SETSEL, WPARAM(-1), -1); }

void EditControl::setReadonly(bool readonly) const {
    if (!sendMessageA(EM_SETREADONLY, readonly, 0))
        throw WindowsError("Can't set ES_READONLY style");
}

bool EditControl::getReadonly() const { return (getStyle() & ES_READONLY) != 0; }

// ---- ListBox ----------------------------------------------------------------------

ListBox::~ListBox() = default;

unsigned ListBox::addString(const char* text) const {
    const LRESULT result = sendMessageA(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (result == LB_ERRSPACE)
        throw std::bad_alloc();
    if (result == LB_ERR)
        throw WindowsError("Can't add string to listbox");
    return unsigned(result);
}

unsigned ListBox::addString(const wchar_t* text) const { return addString(BasicString<char>(text).c_str()); }

unsigned ListBox::getCount() const { return unsigned(sendMessageA(LB_GETCOUNT, 0, 0)); }

BasicString<char> ListBox::getStringA(unsigned index) const {
    return readItem([&] { return sendMessageA(LB_GETTEXTLEN, WPARAM(index), 0); },
                    [&](char* buffer) { return sendMessageA(LB_GETTEXT, WPARAM(index), LPARAM(buffer)); },
                    LB_ERR, "Can't get the text of list box item", index);
}

BasicString<wchar_t> ListBox::getStringW(unsigned index) const { return widen(getStringA(index)); }

void ListBox::setSelection(unsigned index, bool selected) const {
    if (index >= getCount())
        badIndex("Can't select list box item", index);
    const LRESULT result = getStyle() & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)
                               ? sendMessageA(LB_SETSEL, selected, LPARAM(index))
                               : sendMessageA(LB_SETCURSEL, selected ? WPARAM(index) : WPARAM(-1), 0);
    if (result == LB_ERR && selected)
        badIndex("Can't select list box item", index);
}

std::vector<unsigned> ListBox::getSelectedItems() const {
    if (!(getStyle() & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL))) {
        const LRESULT current = sendMessageA(LB_GETCURSEL, 0, 0);
        return current == LB_ERR ? std::vector<unsigned>() : std::vector<unsigned>(1, unsigned(current));
    }
    // The selection may grow between the two questions (another thread, a
    // handler): ask again until the answer fits the buffer with room to spare.
    for (;;) {
        const LRESULT count = sendMessageA(LB_GETSELCOUNT, 0, 0);
        if (count == LB_ERR)
            throw WindowsError("Can't get the selected items of a list box");
        std::vector<int> buffer(std::size_t(count) + 1);
        const LRESULT got = sendMessageA(LB_GETSELITEMS, WPARAM(buffer.size()), reinterpret_cast<LPARAM>(buffer.data()));
        if (got == LB_ERR)
            throw WindowsError("Can't get the selected items of a list box");
        if (std::size_t(got) < buffer.size())
            return std::vector<unsigned>(buffer.begin(), buffer.begin() + got);
    }
}

// ---- ProgressBar ------------------------------------------------------------------

ProgressBar::~ProgressBar() = default;

void ProgressBar::setRange(int min, int max) const { sendMessageA(PBM_SETRANGE32, WPARAM(min), LPARAM(max)); }

PBRANGE ProgressBar::getRange() const {
    PBRANGE range{};
    sendMessageA(PBM_GETRANGE, 0, reinterpret_cast<LPARAM>(&range));
    return range;
}

int ProgressBar::getMin() const { return int(sendMessageA(PBM_GETRANGE, TRUE, 0)); }
int ProgressBar::getMax() const { return int(sendMessageA(PBM_GETRANGE, FALSE, 0)); }
int ProgressBar::setPos(int position) const { return int(sendMessageA(PBM_SETPOS, WPARAM(position), 0)); }
int ProgressBar::getPos() const { return int(sendMessageA(PBM_GETPOS, 0, 0)); }

// ---- ScrollBar --------------------------------------------------------------------

ScrollBar::~ScrollBar() = default;

void ScrollBar::showScrollBar(bool visible) const {
    if (!ShowScrollBar(handle, SB_CTL, visible))
        throw WindowsError("Can't show/hide scrollbar");
}

bool ScrollBar::enableScrollBar(unsigned arrows) { return Window::enableScrollBar(SB_CTL, arrows); }
void ScrollBar::getScrollInfo(SCROLLINFO& info) const { Window::getScrollInfo(SB_CTL, info); }
SCROLLINFO ScrollBar::getScrollInfo(unsigned mask) const { return Window::getScrollInfo(SB_CTL, mask); }
int ScrollBar::setScrollInfo(const SCROLLINFO& info, bool redraw) const {
    return Window::setScrollInfo(SB_CTL, info, redraw);
}

// ---- TrackBar ---------------------------------------------------------------------

TrackBar::~TrackBar() = default;

int TrackBar::getPosition() const { return int(sendMessageA(TBM_GETPOS, 0, 0)); }
void TrackBar::setPosition(int position, bool redraw) const { sendMessageA(TBM_SETPOS, redraw, LPARAM(position)); }
void TrackBar::setRange(short min, short max, bool redraw) const {
    sendMessageA(TBM_SETRANGE, redraw, MAKELPARAM(static_cast<WORD>(min), static_cast<WORD>(max)));
}
void TrackBar::setRangeMin(int min, bool redraw) const { sendMessageA(TBM_SETRANGEMIN, redraw, LPARAM(min)); }
void TrackBar::setRangeMax(int max, bool redraw) const { sendMessageA(TBM_SETRANGEMAX, redraw, LPARAM(max)); }
int TrackBar::getRangeMin() const { return int(sendMessageA(TBM_GETRANGEMIN, 0, 0)); }
int TrackBar::getRangeMax() const { return int(sendMessageA(TBM_GETRANGEMAX, 0, 0)); }
void TrackBar::setSelection(short start, short end, bool redraw) const {
    sendMessageA(TBM_SETSEL, redraw, MAKELPARAM(static_cast<WORD>(start), static_cast<WORD>(end)));
}
void TrackBar::setSelectionStart(int start, bool redraw) const {
    sendMessageA(TBM_SETSELSTART, redraw, LPARAM(start));
}
void TrackBar::setSelectionEnd(int end, bool redraw) const { sendMessageA(TBM_SETSELEND, redraw, LPARAM(end)); }
int TrackBar::getSelectionStart() const { return int(sendMessageA(TBM_GETSELSTART, 0, 0)); }
int TrackBar::getSelectionEnd() const { return int(sendMessageA(TBM_GETSELEND, 0, 0)); }
void TrackBar::clearSelection(bool redraw) const { sendMessageA(TBM_CLEARSEL, redraw, 0); }
void TrackBar::clearTicks(bool redraw) const { sendMessageA(TBM_CLEARTICS, redraw, 0); }
void TrackBar::addTick(int position) const { sendMessageA(TBM_SETTIC, 0, LPARAM(position)); }

unsigned TrackBar::getTickCount() const {
    const LRESULT n = sendMessageA(TBM_GETNUMTICS, 0, 0);
    return n >= 2 ? unsigned(n - 2) : 0;
}

bool TrackBar::hasTicks() const { return sendMessageA(TBM_GETNUMTICS, 0, 0) != 0; }

int TrackBar::getTick(unsigned index) const {
    if (index >= getTickCount())
        badIndex("Can't get track bar tick", index);
    return int(sendMessageA(TBM_GETTIC, WPARAM(index), 0));
}

int TrackBar::getTickPosition(unsigned index) const {
    if (index >= getTickCount())
        badIndex("Can't get the position of track bar tick", index);
    return int(sendMessageA(TBM_GETTICPOS, WPARAM(index), 0));
}

const int* TrackBar::getTicks() const {
    return reinterpret_cast<const int*>(sendMessageA(TBM_GETPTICS, 0, 0));
}

} // namespace vesk
