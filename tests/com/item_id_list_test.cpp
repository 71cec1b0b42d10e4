// ItemIDList over real paths through the shell's folder interfaces: parsing,
// display names back, sizes and counts, the item iterator; copies keep one
// owner each and every owned list is freed with the task allocator exactly
// once (an IMallocSpy watches every allocation and free); STRRET conversions.
#include <vesk/com/item_id_list.h>
#include <vesk/errors/exception.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <string>

using namespace vesk;

namespace {

// Counts the task allocator's blocks: which are live, and frees of blocks it
// does not know (a second free of the same list).
class Spy : public IMallocSpy {
public:
    std::map<void*, SIZE_T> live;
    int strangeFrees = 0;
    void* pendingFree = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** o) override {
        *o = iid == IID_IUnknown || iid == IID_IMallocSpy ? this : nullptr;
        return *o ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cb) override { return cb; }
    void* STDMETHODCALLTYPE PostAlloc(void* p) override {
        if (p)
            live[p] = 1;
        return p;
    }
    void* STDMETHODCALLTYPE PreFree(void* p, BOOL spyed) override {
        if (p && spyed && !live.erase(p))
            ++strangeFrees;
        return p;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* p, SIZE_T cb, void** out, BOOL spyed) override {
        if (p && spyed)
            live.erase(p);
        *out = p;
        return cb;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* p, BOOL) override {
        if (p)
            live[p] = 1;
        return p;
    }
    void* STDMETHODCALLTYPE PreGetSize(void* p, BOOL) override { return p; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T cb, BOOL) override { return cb; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* p, BOOL) override { return p; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}
};

std::wstring wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::string lower(std::string s) {
    for (char& c : s)
        c = char(tolower(static_cast<unsigned char>(c)));
    return s;
}

struct Com {
    Com() { CoInitialize(nullptr); }
    ~Com() { CoUninitialize(); }
};

} // namespace

TEST(ItemIDList, RealPathsThroughTheShellsFolders) {
    Com com;
    vesk_test::ScratchDir dir;
    std::ofstream(dir.file("item.txt")) << "x";
    COMInterfacePointer<IShellFolder> desktop = ItemIDList::getDesktopFolder();
    const std::string path = dir.file("item.txt");

    ItemIDList item(wide(path).c_str(), desktop.get(), nullptr);
    EXPECT_TRUE(item.isOwner());
    EXPECT_EQ(lower(item.getDisplayNameA(desktop.get(), SHGDN_FORPARSING)), lower(path));
    EXPECT_EQ(lower(std::string(item.getDisplayNameW(desktop.get(), SHGDN_FORPARSING).size(), 'x')),
              std::string(path.size(), 'x'));
    // One item per level below the desktop: the drive, the folders, the file.
    std::size_t separators = 0;
    for (char c : path)
        separators += c == '\\';
    EXPECT_GE(item.getCount(), separators + 1);
    unsigned size = 2, count = 0;
    for (const SHITEMID& i : item) {
        size += i.cb;
        ++count;
    }
    EXPECT_EQ(count, item.getCount());
    EXPECT_EQ(size, item.getSize());

    // Made again from the parsing name of an item relative to the desktop.
    ItemIDList again(desktop.get(), item);
    EXPECT_EQ(again.getDisplayNameA(desktop.get(), SHGDN_FORPARSING), item.getDisplayNameA(desktop.get(), SHGDN_FORPARSING));
    EXPECT_NE(again.get(), item.get());

    ItemIDList special(nullptr, CSIDL_DESKTOPDIRECTORY);
    EXPECT_GT(special.getCount(), 0u);

    EXPECT_THROW(ItemIDList(L"Q:\\no\\such\\place", desktop.get(), nullptr), std::exception);
    EXPECT_THROW(ItemIDList(L"x", nullptr, nullptr), std::exception);
}

TEST(ItemIDList, EveryOwnedListFreedExactlyOnce) {
    Com com;
    Spy spy;
    ASSERT_EQ(CoRegisterMallocSpy(&spy), S_OK);
    std::vector<const ITEMIDLIST*> seen;
    {
        COMInterfacePointer<IShellFolder> desktop = ItemIDList::getDesktopFolder();
        vesk_test::ScratchDir dir;
        ItemIDList parsed(wide(dir.path()).c_str(), desktop.get(), nullptr);
        ItemIDList copy(parsed);                 // a second owner of its own bytes
        ItemIDList assigned;
        assigned = copy;
        assigned = assigned;                     // self-assignment keeps the list
        ItemIDList moved(std::move(copy));       // the source gives its list up
        ItemIDList view(parsed.get());           // not an owner
        ItemIDList single(parsed.begin().operator*());
        ItemIDList reassigned(parsed);
        reassigned.assign(reassigned.get());     // a copy of itself
        ItemIDList attached;
        attached.attach(parsed.get());
        attached.attach(attached.get());         // the same list again
        for (const ItemIDList* l : {&parsed, &assigned, &moved, &single, &reassigned})
            seen.push_back(l->get());
        EXPECT_EQ(copy.get(), nullptr);
        EXPECT_FALSE(view.isOwner());
        EXPECT_EQ(assigned.getSize(), parsed.getSize());
        EXPECT_EQ(std::memcmp(assigned.get(), parsed.get(), parsed.getSize()), 0);
        EXPECT_EQ(reassigned.getSize(), parsed.getSize());
        EXPECT_EQ(single.getCount(), 1u);
        for (std::size_t i = 0; i < seen.size(); ++i)
            for (std::size_t j = i + 1; j < seen.size(); ++j)
                EXPECT_NE(seen[i], seen[j]) << "lists " << i << " and " << j << " share one block";
        for (const ITEMIDLIST* l : seen)
            EXPECT_EQ(spy.live.count(const_cast<ITEMIDLIST*>(l)), 1u) << "owned lists come from the task allocator";
    }
    for (const ITEMIDLIST* l : seen)
        EXPECT_EQ(spy.live.count(const_cast<ITEMIDLIST*>(l)), 0u) << "an owned list was never freed";
    EXPECT_EQ(spy.strangeFrees, 0) << "a block was freed twice";
    EXPECT_EQ(CoRevokeMallocSpy(), S_OK);
}

TEST(ItemIDList, SizesAndStrretConversions) {
    Com com;
    SHITEMID twenty[11] = {};  // one item of 20 bytes
    twenty[0].cb = 20;
    std::memcpy(reinterpret_cast<BYTE*>(twenty) + 2, "\x01\x02\x03", 3);
    ItemIDList one(*twenty);
    EXPECT_EQ(one.getSize(), 22u);
    EXPECT_EQ(one.getCount(), 1u);
    EXPECT_EQ(std::memcmp(one.get(), twenty, 20), 0);
    EXPECT_EQ(reinterpret_cast<const BYTE*>(one.get())[20], 0);
    ItemIDList empty;
    EXPECT_EQ(empty.getSize(), 0u);
    EXPECT_EQ(empty.getCount(), 0u);
    EXPECT_TRUE(empty.begin() == empty.end());
    ItemIDList zeroed(8u);
    EXPECT_EQ(zeroed.getSize(), 2u) << "a zero-filled block is an empty list";

    // A list whose bytes hold a text four bytes in.
    BYTE bytes[32] = {};
    bytes[0] = 16;
    std::memcpy(bytes + 4, "offset text", 12);
    const auto* list = reinterpret_cast<const ITEMIDLIST*>(bytes);
    STRRET offset{};
    offset.uType = STRRET_OFFSET;
    offset.uOffset = 4;
    EXPECT_EQ(ItemIDList::toAString(offset, list), "offset text");
    EXPECT_EQ(ItemIDList::toWString(offset, list), L"offset text");
    EXPECT_EQ(ItemIDList::toAString(offset, nullptr), "") << "an offset into no list";
    STRRET cstr{};
    cstr.uType = STRRET_CSTR;
    std::memcpy(cstr.cStr, "narrow", 7);
    EXPECT_EQ(ItemIDList::toWString(cstr, nullptr), L"narrow");
    std::memset(cstr.cStr, 'z', sizeof(cstr.cStr));  // no terminator at all
    EXPECT_EQ(ItemIDList::toAString(cstr, nullptr), std::string(sizeof(cstr.cStr), 'z'));
    STRRET wstr{};
    wstr.uType = STRRET_WSTR;
    wstr.pOleStr = static_cast<LPWSTR>(CoTaskMemAlloc(16));
    std::memcpy(wstr.pOleStr, L"wide", 10);
    EXPECT_EQ(ItemIDList::toAString(wstr, nullptr), "wide");
    EXPECT_EQ(wstr.pOleStr, nullptr) << "freed and forgotten";
    STRRET other{};
    other.uType = 7;
    EXPECT_EQ(ItemIDList::toAString(other, list), "");
}
