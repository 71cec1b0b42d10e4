// A form with one of every control of the library, built from raw child
// windows and bound to the control objects with attach(parent, id). The tour
// shows it (and saves its screenshot); the control suites fill and read it.
#pragma once

#include <vesk/gui/controls.h>
#include <vesk/gui/image_list.h>
#include <vesk/gui/list_view.h>
#include <vesk/gui/tree_view.h>
#include <vesk/gui/window.h>
#include <vesk/gui/window_class.h>

#include <commctrl.h>

namespace form {

enum id : unsigned short {
    idOk = 100, idCheck, idRadio1, idRadio2, idRadio3, idCombo, idEdit, idList, idProgress, idScroll, idTrack,
    idListView, idTree, idLabel
};

struct ControlForm {
    vesk::Window parent;
    vesk::Button ok, check;
    vesk::RadioButtonGroup radios;
    vesk::ComboBox combo;
    vesk::EditControl edit;
    vesk::ListBox list;
    vesk::ProgressBar progress;
    vesk::ScrollBar scroll;
    vesk::TrackBar track;
    vesk::ListView listView;
    vesk::TreeView tree;
    vesk::ImageList images;

    static void initCommonControls() {
        // The library already loaded comctl32; its entry is taken from there, so
        // programs need not link the import library themselves.
        using Init = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
        INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES |
                                                    ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
        HMODULE comctl = GetModuleHandleA("comctl32.dll");
        if (Init initialise = comctl ? reinterpret_cast<Init>(reinterpret_cast<void (*)()>(
                                           GetProcAddress(comctl, "InitCommonControlsEx")))
                                     : nullptr)
            initialise(&init);
    }

    HWND child(const char* cls, const char* text, DWORD style, int x, int y, int cx, int cy, unsigned short id,
               DWORD exStyle = 0) {
        HWND h = CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, cx, cy, parent,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleA(nullptr),
                                 nullptr);
        SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
        return h;
    }

    // Builds the form; `visible` shows it on the screen (for a screenshot).
    void open(const vesk::WindowClass& windowClass, bool visible) {
        initCommonControls();
        parent.create(windowClass, "Vesk++ controls", WS_POPUP | WS_CAPTION | (visible ? WS_VISIBLE : 0),
                      vesk::Rect(30, 30, 30 + 600, 30 + 390), nullptr, nullptr, GetModuleHandleA(nullptr));
        child("STATIC", "Name:", 0, 10, 12, 60, 18, idLabel);
        child("EDIT", "", WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 75, 10, 185, 22, idEdit, WS_EX_CLIENTEDGE);
        child("COMBOBOX", "", CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP, 10, 42, 250, 150,
              idCombo);
        child("BUTTON", "&Small", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 10, 76, 80, 20, idRadio1);
        child("BUTTON", "&Medium", BS_AUTORADIOBUTTON, 95, 76, 80, 20, idRadio2);
        child("BUTTON", "&Large", BS_AUTORADIOBUTTON, 180, 76, 80, 20, idRadio3);
        child("BUTTON", "&Gift wrap", BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, 10, 102, 120, 20, idCheck);
        child("LISTBOX", "", WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_EXTENDEDSEL, 10, 128, 250, 110, idList);
        child("msctls_progress32", "", 0, 10, 248, 250, 18, idProgress);
        child("msctls_trackbar32", "", TBS_AUTOTICKS | TBS_ENABLESELRANGE, 10, 274, 250, 32, idTrack);
        child("SCROLLBAR", "", SBS_HORZ, 10, 314, 250, 18, idScroll);
        child("BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 180, 340, 80, 26, idOk);
        child(WC_LISTVIEWA, "", LVS_REPORT | LVS_SHOWSELALWAYS | WS_BORDER, 275, 10, 310, 170, idListView);
        child(WC_TREEVIEWA, "", TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_BORDER,
              275, 190, 310, 176, idTree);
        ok.attach(parent, idOk);
        check.attach(parent, idCheck);
        radios.create(parent, idRadio1);
        combo.attach(parent, idCombo);
        edit.attach(parent, idEdit);
        list.attach(parent, idList);
        progress.attach(parent, idProgress);
        scroll.attach(parent, idScroll);
        track.attach(parent, idTrack);
        listView.attach(parent, idListView);
        tree.attach(parent, idTree);
    }

    // Fills the form with sample content, images drawn at run time included.
    void fill() {
        edit.setText("Ada Lovelace");
        for (const char* size : {"Espresso", "Flat white", "Cappuccino", "Latte"})
            combo.addString(size);
        combo.setCurrentSelection(2);
        radios.setSelection(1);
        check.setCheck(vesk::Window::checked);
        for (const char* extra : {"Oat milk", "Extra shot", "Cinnamon", "Vanilla syrup", "Cocoa"})
            list.addString(extra);
        list.setSelection(1, true);
        list.setSelection(3, true);
        progress.setRange(0, 100);
        progress.setPos(65);
        track.setRange(0, 20, false);
        track.setSelection(5, 15, false);
        track.setPosition(12, true);
        SCROLLINFO info{sizeof(info), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 100, 20, 30, 0};
        scroll.setScrollInfo(info, true);

        images.create(16, 16, ILC_COLOR24 | ILC_MASK, 4, 4);
        const COLORREF colours[] = {RGB(200, 60, 50), RGB(60, 150, 70), RGB(50, 90, 200), RGB(230, 170, 30)};
        HDC screen = GetDC(nullptr);
        for (COLORREF colour : colours) {
            HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
            HDC dc = CreateCompatibleDC(screen);
            HGDIOBJ old = SelectObject(dc, bitmap);
            RECT all{0, 0, 16, 16};
            HBRUSH back = CreateSolidBrush(RGB(255, 0, 255));
            FillRect(dc, &all, back);
            DeleteObject(back);
            HBRUSH brush = CreateSolidBrush(colour);
            HGDIOBJ oldBrush = SelectObject(dc, brush);
            Ellipse(dc, 1, 1, 15, 15);
            SelectObject(dc, oldBrush);
            DeleteObject(brush);
            SelectObject(dc, old);
            DeleteDC(dc);
            images.addMasked(bitmap, RGB(255, 0, 255));
            DeleteObject(bitmap);
        }
        ReleaseDC(nullptr, screen);

        // The list view shows the image list without owning it; the tree view the same.
        listView.setStyle(listView.getStyle() | LVS_SHAREIMAGELISTS);
        listView.setExtendedListViewStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        listView.insertColumn(0, "Order", 110, LVCFMT_LEFT, unsigned(-1));
        listView.insertColumn(1, "Size", 90, LVCFMT_LEFT, 1);
        listView.insertColumn(2, "Price", 80, LVCFMT_RIGHT, 2);
        SendMessageA(listView, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images.getHandle()));
        const char* sizes[] = {"Small", "Medium", "Large"};
        for (unsigned i = 0; i < 8; ++i) {
            char name[32], price[16];
            wsprintfA(name, "Order %u", 1001 + i);
            wsprintfA(price, "%u.%02u", 2 + i % 3, (i * 35) % 100);
            const unsigned row = listView.insertItem(0, i % 4, name, i);
            listView.setItemText(row, sizes[i % 3], 1);
            listView.setItemText(row, price, 2);
        }
        tree.setImageList(images, vesk::TreeView::normal);
        const HTREEITEM drinks = tree.insertItem("Drinks", 0, 0, TVI_ROOT, TVI_LAST);
        for (const char* d : {"Espresso", "Flat white", "Tea"})
            tree.insertItem(d, 1, 1, drinks, TVI_LAST);
        const HTREEITEM food = tree.insertItem("Food", 2, 2, TVI_ROOT, TVI_LAST);
        const HTREEITEM cakes = tree.insertItem("Cakes", 3, 3, food, TVI_LAST);
        for (const char* c : {"Carrot", "Lemon", "Chocolate"})
            tree.insertItem(c, 3, 3, cakes, TVI_LAST);
        tree.insertItem("Sandwiches", 2, 2, food, TVI_LAST);
        tree.expand(drinks, TVE_EXPAND);
        tree.expand(food, TVE_EXPAND);
        tree.expand(cakes, TVE_EXPAND);
        tree.selectItem(cakes);
    }

    // Destroys the controls with their parent; the objects are emptied.
    void close() {
        parent.destroy();
        images.destroy();
    }
};

} // namespace form
