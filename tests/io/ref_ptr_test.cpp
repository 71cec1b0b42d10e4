// ref_ptr<T>: counting, conversions and casts that share one count block, release of
// the object exactly once, assignments that alias the old object, and no leak when
// the count cannot be allocated.
#include <vesk/io/ref_ptr.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

using vesk::ref_ptr;

namespace {
bool failNextAllocation = false;
}

// The count block is allocated inline in this program, so this replacement can make
// exactly that allocation fail.
void* operator new(std::size_t size) {
    if (failNextAllocation) {
        failNextAllocation = false;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

struct Base {
    static int live;
    Base() { ++live; }
    virtual ~Base() { --live; }
    ref_ptr<Base> next;
};
int Base::live = 0;

struct Derived : Base {
    int value = 7;
};

struct Other : Base {};

class RefPtr : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(Base::live, 0) << "objects leaked or deleted twice"; }
};

TEST_F(RefPtr, EmptyHasNoCountAndNoObject) {
    ref_ptr<Base> empty, null(nullptr), fromNull(static_cast<Base*>(nullptr));
    for (const ref_ptr<Base>* p : {&empty, &null, &fromNull}) {
        EXPECT_EQ(p->get(), nullptr);
        EXPECT_EQ(p->getCount(), 0);
        EXPECT_EQ(p->getCountBlock(), nullptr);
        EXPECT_FALSE(*p);
        EXPECT_TRUE(*p == nullptr);
    }
}

TEST_F(RefPtr, CopiesCountAndTheLastOneDeletes) {
    {
        ref_ptr<Base> a(new Base);
        EXPECT_EQ(a.getCount(), 1);
        {
            ref_ptr<Base> b(a);
            ref_ptr<Base> c;
            c = b;
            EXPECT_EQ(a.getCount(), 3);
            EXPECT_EQ(c.getCountBlock(), a.getCountBlock());
            EXPECT_TRUE(c == a);
        }
        EXPECT_EQ(a.getCount(), 1);
        EXPECT_EQ(Base::live, 1);
    }
    EXPECT_EQ(Base::live, 0);
}

TEST_F(RefPtr, ConversionsAndCastsShareOneCountBlock) {
    ref_ptr<Derived> derived(new Derived);
    ref_ptr<Base> base(derived);
    EXPECT_EQ(base.getCountBlock(), derived.getCountBlock());
    EXPECT_EQ(derived.getCount(), 2);

    ref_ptr<Derived> back = base.dynamicCast<Derived>();
    EXPECT_EQ(back.getCountBlock(), derived.getCountBlock());
    EXPECT_EQ(back->value, 7);
    EXPECT_EQ(derived.getCount(), 3);

    ref_ptr<Other> wrong = base.dynamicCast<Other>();
    EXPECT_FALSE(wrong);
    EXPECT_EQ(derived.getCount(), 3) << "a failed cast takes no reference";

    ref_ptr<Base> moved(std::move(back));
    EXPECT_EQ(derived.getCount(), 3);
    derived.reset();
    base.reset();
    EXPECT_EQ(Base::live, 1);
    moved.reset();
    EXPECT_EQ(Base::live, 0) << "deleted through the base, as a whole";
}

TEST_F(RefPtr, SelfAssignmentKeepsTheObject) {
    ref_ptr<Base> a(new Base);
    ref_ptr<Base>& alias = a;
    a = alias;
    EXPECT_EQ(a.getCount(), 1);
    EXPECT_EQ(Base::live, 1);
}

TEST_F(RefPtr, AssigningAPointerOwnedByTheOldObjectIsSafe) {
    // head -> second; head = head->next drops the old head, which owned the source.
    ref_ptr<Base> head(new Base);
    head->next = ref_ptr<Base>(new Base);
    Base* second = head->next.get();
    head = head->next;
    EXPECT_EQ(head.get(), second);
    EXPECT_EQ(head.getCount(), 1);
    EXPECT_EQ(Base::live, 1);
}

TEST_F(RefPtr, AnObjectHoldingItselfIsReleasedByBreakingTheLoop) {
    ref_ptr<Base> self(new Base);
    self->next = self;
    EXPECT_EQ(self.getCount(), 2);
    Base* raw = self.get();
    self.reset();
    EXPECT_EQ(Base::live, 1) << "a cycle keeps itself alive";
    raw->next.reset(); // the object dies while its own member lets go
    EXPECT_EQ(Base::live, 0);
}

TEST_F(RefPtr, ObjectIsDeletedWhenItsCountCannotBeAllocated) {
    Base* object = new Base;
    failNextAllocation = true;
    EXPECT_THROW(ref_ptr<Base>{object}, std::bad_alloc);
    EXPECT_FALSE(failNextAllocation);
}

} // namespace
