// List views, tree views and image lists with real controls: hundreds of items
// in both widths, image lists of drawn bitmaps handed to the controls, indices
// out of range, and tree-view notifications reflected to the tree view's own
// object in both widths (and ignored once it is gone).
#include <vesk/gui/image_list.h>
#include <vesk/gui/list_view.h>
#include <vesk/gui/tree_view.h>

#include "../../examples/tour/control_form.h"
#include "gui_driver.h"

using namespace vesk;
using namespace vesk_test;

namespace {

vesk_test::Watchdog watchdog(120);

// A parent that records the tree-view notifications its own handlers receive.
struct Parent : Window {
    std::vector<UINT> narrow, wide;
    void onNotification(const NMTREEVIEWA& n) override { narrow.push_back(n.hdr.code), Window::onNotification(n); }
    void onNotification(const NMTREEVIEWW& n) override { wide.push_back(n.hdr.code), Window::onNotification(n); }
};

std::string label(unsigned i) { return "item " + std::to_string(i) + std::string(i % 7, '+'); }

// An image list of n 16x16 bitmaps.
void fillImages(ImageList& list, unsigned n) {
    list.create(16, 16, ILC_COLOR24, int(n), 4);
    for (unsigned i = 0; i < n; ++i)
        EXPECT_EQ(i, list.add(Bitmap(16, 16, 1, 32, nullptr), nullptr));
}

// A tree view that records what reaches its own handlers.
struct Tree : TreeView {
    struct Seen { UINT code; bool wide; std::wstring text; };
    std::vector<Seen> seen;
    bool handle = false;

    template <class N> bool note(const N& n, bool wide) {
        const bool text = (n.itemNew.mask & TVIF_TEXT) && n.itemNew.pszText;
        return seen.push_back({n.hdr.code, wide, text ? std::wstring(BasicString<wchar_t>(n.itemNew.pszText)) : L""}), handle;
    }
    bool onReflectedNotification(const NMTREEVIEWA& n) override { return note(n, false); }
    bool onReflectedNotification(const NMTREEVIEWW& n) override { return note(n, true); }
};

struct ViewsTest : ::testing::Test {
    void SetUp() override {
        form::ControlForm::initCommonControls();
        vesk_test::open(parent);
        vesk_test::rawChild(parent, WC_LISTVIEWA, 1, LVS_REPORT), vesk_test::rawChild(parent, WC_TREEVIEWA, 2, TVS_HASBUTTONS);
        list.attach(parent, 1), tree.attach(parent, 2);
        list.insertColumn(0, "Name", 120, LVCFMT_LEFT, unsigned(-1)), list.insertColumn(1, L"Detail", unsigned(-1), LVCFMT_LEFT, 1);
    }
    void TearDown() override { parent.destroy(); }
    Parent parent;
    ListView list;
    Tree tree;
};

TEST_F(ViewsTest, ListAndTreeViewItemsInBothWidths) {
    std::vector<int> data(300);
    for (unsigned i = 0; i < 300; ++i)
        ASSERT_EQ(i, i % 2 ? list.insertItem(label(i).c_str(), &data[i], i)
                           : list.insertItem(BasicString<wchar_t>(label(i).c_str()).c_str(), &data[i], i));
    for (unsigned i = 0; i < 300; i += 13) {
        list.setItemText(i, ("detail " + std::to_string(i)).c_str(), 1);
        EXPECT_TEXT((text{label(i), "detail", i, 1}), list.getItemTextW(i, 0), list.getItemTextA(i, 1), list.getItemData(i) == &data[i]);
    }
    // An index past the end appends.
    list.setSelection(3, true), list.setSelection(250, true);
    EXPECT_TEXT("300 2 250 -1", list.insertItem("last", 5000), list.getSlectedItemCount(), list.getNextSelectedItem(3),
                int(list.getNextSelectedItem(250)));
    EXPECT_TEXT("300 120 0 1", (list.deleteItem(0), list.getItemCount()), list.getColumnWidth(0),
                list.setExtendedListViewStyle(LVS_EX_GRIDLINES) & LVS_EX_GRIDLINES,
                list.setExtendedListViewStyle(LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT) == LVS_EX_GRIDLINES);
    list.deleteAllItems();
    vesk_test::expectFailures({
        {"Can't get item text: no item 0 in a list view of 0", [&] { list.getItemTextA(0, 0); }},
        {"Can't get listview item: no item 9 in a list view of 0", [&] { list.getItemData(9); }},
        {"Can't set item text: no item 3 in a list view of 0", [&] { list.setItemText(3, "x", 0); }},
        {"Can't set item: no item 4 in a list view of 0", [&] { list.setItemImage(4, 0, 0); }},
        {"Can't delete listview item", [&] { list.deleteItem(3); }},
    });

    // Tree view items in both widths.
    std::vector<HTREEITEM> branches;
    static int leaves[300];
    for (unsigned b = 0, i = 0; b < 30; ++b) {
        branches.push_back(tree.insertItem(("branch " + std::to_string(29 - b)).c_str(), TVI_ROOT, TVI_LAST));
        for (unsigned l = 0; l < 9; ++l, ++i)
            l % 2 ? tree.insertItem(L"leaf", &leaves[i], branches.back(), TVI_FIRST)
                  : tree.insertItem(&leaves[i], label(i).c_str(), unsigned(-1), unsigned(-1), branches.back(), TVI_LAST);
    }
    HTREEITEM child = tree.getChild(branches[3]);  // TVI_FIRST puts it first
    EXPECT_TEXT("300 leaf 1 1", tree.getCount(), tree.getItemTextA(child), tree.getItemData(child) == &leaves[3 * 9 + 7],
                tree.getParentItem(child) == branches[3]);
    tree.sortChildren(TVI_ROOT, false);
    EXPECT_TEXT("branch 0 branch 1", tree.getItemTextA(tree.getRoot()), tree.getItemTextW(tree.getNextSibling(tree.getRoot())));
    EXPECT_TEXT("1 0", (tree.expand(branches[0], TVE_EXPAND), tree.isExpanded(branches[0])),
                (tree.expand(branches[0], TVE_COLLAPSE), tree.isExpanded(branches[0])));
    tree.ensureVisible(child), tree.selectItem(child), tree.deleteItem(branches[5]);
    EXPECT_TEXT("1 290", tree.getSelectedItem() == child, tree.getCount());
}

TEST_F(ViewsTest, ImageListsHandedToTheControls) {
    ImageList first, second, images;
    fillImages(first, 3), fillImages(second, 5), fillImages(images, 4);
    const HIMAGELIST a = first.getHandle(), b = second.getHandle();
    // The control takes the list over; the object holds what the control had. Twice
    // with one object: the object has its list back.
    list.swapImageList(ListView::small, first);
    EXPECT_TEXT("16 1", images.getIconSize().cx, first.getHandle() == nullptr);
    list.swapImageList(ListView::small, second);
    EXPECT_TEXT("1 1", second.getHandle() == a, second.ownsHandle());
    list.swapImageList(ListView::small, second);
    EXPECT_TEXT("1 1", second.getHandle() == b, HIMAGELIST(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0)) == a);
    // Image indices are checked against the list the control shows.
    list.insertItem(0, 2, "two", 0);
    EXPECT_TEXT("2 1", list.getItemImage(0), (list.setItemImage(0, 1, 0), list.getItemImage(0)));
    EXPECT_TEXT("1 1", tree.setImageList(images, TreeView::normal) == nullptr, tree.getImageList(TreeView::normal) == images.getHandle());
    TVITEMA record{TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE, tree.insertItem("pic", 3, 0, TVI_ROOT, TVI_LAST), 0, 0, nullptr, 0, 0, 0, 0, 0};
    SendMessageA(tree, TVM_GETITEMA, 0, LPARAM(&record));
    EXPECT_TEXT("3 0", record.iImage, record.iSelectedImage);
    vesk_test::expectFailures({
        {"No image 3 in the list view's image list of 3", [&] { list.setItemImage(0, 3, 0); }},
        {"No image 7 in the list view's image list of 3", [&] { list.insertItem(1, 7, "seven", nullptr, 1); }},
        {"No image 5 in an image list of 5", [&] { second.checkIndex(5); }},
        {"No image 4 in the tree view's image list of 4", [&] { tree.insertItem("bad", 4, 0, TVI_ROOT, TVI_LAST); }},
        {"No image 9 in the tree view's image list of 4", [&] { tree.insertItem("bad", 0, 9, TVI_ROOT, TVI_LAST); }},
    });
    EXPECT_EQ(1u, list.getItemCount() * tree.getCount()) << "nothing was added";
    tree.setImageList(nullptr, TreeView::normal);
}

// The tree view's notifications reach its own object first, in the width the
// control sends them; narrow records are widened for the 16-bit handlers. The
// parent's narrow handler runs first in every case (the reflection is its
// default); its 16-bit one only when the tree view did not handle it.
TEST_F(ViewsTest, TreeNotificationsAreReflectedInBothWidths) {
    const struct { BOOL unicode; bool handled; std::vector<bool> treeWidths; std::size_t parentWide; } cases[] = {
        {FALSE, false, {false, true}, 1}, {TRUE, false, {true}, 1}, {FALSE, true, {false}, 0}, {TRUE, true, {true}, 0}};
    auto isChanged = [](UINT code) { return code == UINT(TVN_SELCHANGEDA) || code == UINT(TVN_SELCHANGEDW); };
    for (const auto& c : cases) {
        tree.deleteAllItems(), SendMessageA(tree, TVM_SETUNICODEFORMAT, c.unicode, 0);
        tree.selectItem(tree.insertItem("first", TVI_ROOT, TVI_LAST));
        const HTREEITEM second = tree.insertItem("second \xe9", TVI_ROOT, TVI_LAST);
        tree.seen.clear(), parent.narrow.clear(), parent.wide.clear(), tree.handle = c.handled;
        tree.selectItem(second);  // sends TVN_SELCHANGING and TVN_SELCHANGED
        std::vector<bool> widths;
        for (const auto& s : tree.seen)
            if (isChanged(s.code)) {
                widths.push_back(s.wide);
                EXPECT_EQ(L"second \u00e9", s.text) << "text in the width of the handler";
            }
        EXPECT_EQ(c.treeWidths, widths) << c.unicode << c.handled;
        EXPECT_TEXT((text{1, c.parentWide}), std::count_if(parent.narrow.begin(), parent.narrow.end(), isChanged),
                    std::count_if(parent.wide.begin(), parent.wide.end(), isChanged));
    }
    // The object gone, the control stays: its notifications go to the parent alone.
    SendMessageA(tree, TVM_SETUNICODEFORMAT, FALSE, 0), tree.deleteAllItems(), tree.insertItem("a", TVI_ROOT, TVI_LAST);
    std::make_unique<Tree>()->attach(parent, 2);  // takes the control over from `tree`, then goes
    parent.narrow.clear(), tree.seen.clear();
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    EXPECT_TEXT("0 1", tree.seen.size(), std::count(parent.narrow.begin(), parent.narrow.end(), UINT(TVN_SELCHANGEDA)));
}

} // namespace
