// The creator registry and the plain object records of streams (class name and body,
// no identity): registration rules, the unknown-class message byte for byte (its
// 8-bit text is in code page 1252), golden records, bounded name lengths and nesting,
// and no object leaked when its body fails.
#include <vesk/errors/exception.h>
#include <vesk/io/memory_stream.h>
#include <vesk/io/serializable.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

using namespace vesk;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes contents(MemoryOutputStream& out) {
    return out.getSize() ? Bytes(out.getData(), out.getData() + out.getSize()) : Bytes();
}

void appendWord(Bytes& bytes, std::uint32_t word) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(word >> (8 * i)));
}

void appendName(Bytes& bytes, const std::string& name) {
    appendWord(bytes, static_cast<std::uint32_t>(name.size()));
    bytes.insert(bytes.end(), name.begin(), name.end());
}

// The unknown-class text, written here with octal escapes for its one non-ASCII
// character (0374 is u-umlaut in code page 1252).
std::string unknownClassText(const std::string& name) {
    return "Klassendefinition nicht gefunden - ein Objekt vom Typ SerializableImpl sollte f\374r die Klasse \"" +
           name + "\" angelegt werden";
}

struct Counted : Serializable {
    static int live;
    Counted() { ++live; }
    ~Counted() override { --live; }
    void serialize(OutputStream& out) const override { out << value << text; }
    void deserialize(InputStream& in) override { in >> value >> text; }
    int value = 0;
    std::string text;
};
int Counted::live = 0;
SerializableImpl<Counted> registerCounted;

struct Empty : Serializable {
    void serialize(OutputStream&) const override {}
    void deserialize(InputStream&) override {}
};
SerializableImpl<Empty> registerEmpty;

// A linked chain of plain records, each body holding the next record.
struct Link : Serializable {
    static int live;
    Link() { ++live; }
    ~Link() override { --live; }
    void serialize(OutputStream& out) const override {
        out << static_cast<bool>(next);
        if (next) out.writeObject(next.get());
    }
    void deserialize(InputStream& in) override {
        bool more;
        in >> more;
        if (more) next.reset(static_cast<Link*>(in.readObject()));
    }
    std::unique_ptr<Link> next;

    // Unlinks iteratively, so a long chain does not recurse in its destructors.
    static void drop(std::unique_ptr<Link> head) {
        while (head) head = std::move(head->next);
    }
};
int Link::live = 0;
SerializableImpl<Link> registerLink;

Serializable* makeA() { return new Empty; }
Serializable* makeAB() { return new Counted; }
Serializable* makeNothing() { return nullptr; }

class Registry : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(Counted::live, 0);
        EXPECT_EQ(Link::live, 0);
    }
};

TEST_F(Registry, FirstRegistrationStaysAndPrefixesAreOtherNames) {
    Serializable::addCreator("vesk.test.A", &makeA);
    Serializable::addCreator("vesk.test.A", &makeAB); // no effect
    Serializable::addCreator("vesk.test.AB", &makeAB);
    std::unique_ptr<Serializable> a(Serializable::create("vesk.test.A"));
    std::unique_ptr<Serializable> ab(Serializable::create("vesk.test.AB"));
    EXPECT_NE(dynamic_cast<Empty*>(a.get()), nullptr);
    EXPECT_NE(dynamic_cast<Counted*>(ab.get()), nullptr);
    // A name held in another buffer finds the same entry: keys compare by content.
    std::string copy = "vesk.test.AB";
    std::unique_ptr<Serializable> again(Serializable::create(copy.c_str()));
    EXPECT_NE(dynamic_cast<Counted*>(again.get()), nullptr);
}

TEST_F(Registry, UnknownNameNamesTheClassInCodePage1252) {
    try {
        Serializable::create("vesk.test.Missing");
        FAIL() << "no exception";
    } catch (const Serializable::Exception& e) {
        EXPECT_EQ(std::string(e.what()), unknownClassText("vesk.test.Missing"));
    }
}

TEST_F(Registry, NamesWithLengthMatchOnlyWhole) {
    Serializable::addCreator("vesk.test.A", &makeA);
    std::unique_ptr<Serializable> a(Serializable::create("vesk.test.AB", 11)); // "vesk.test.A"
    EXPECT_NE(dynamic_cast<Empty*>(a.get()), nullptr);
    EXPECT_THROW(Serializable::create("vesk.test.A\0junk", 16), Serializable::Exception)
        << "a NUL inside a name read from a stream does not cut it short";
    EXPECT_THROW(Serializable::create("vesk.test.", 10), Serializable::Exception);
}

TEST_F(Registry, MisuseIsAnExceptionNotACrash) {
    EXPECT_THROW(Serializable::create(nullptr), Serializable::Exception);
    EXPECT_THROW(Serializable::addCreator(nullptr, &makeA), Serializable::Exception);
    EXPECT_THROW(Serializable::addCreator("vesk.test.NoCreator", nullptr), Serializable::Exception);
    Serializable::addCreator("vesk.test.Nothing", &makeNothing);
    try {
        Serializable::create("vesk.test.Nothing");
        FAIL() << "no exception";
    } catch (const Serializable::Exception& e) {
        EXPECT_STREQ(e.what(), "Can't create an object of the class \"vesk.test.Nothing\": its creator returned none");
    }
}

TEST_F(Registry, PlainRecordIsNameThenBody) {
    Counted object;
    object.value = 0x01020304;
    object.text = "hi";
    MemoryOutputStream out;
    out.writeObject(&object);
    Bytes expected;
    appendName(expected, typeid(Counted).name());
    appendWord(expected, 0x01020304);
    appendName(expected, "hi");
    EXPECT_EQ(contents(out), expected);

    MemoryInputStream in(out.getData(), static_cast<unsigned>(out.getSize()));
    std::unique_ptr<Serializable> back(in.readObject());
    Counted* counted = dynamic_cast<Counted*>(back.get());
    ASSERT_NE(counted, nullptr);
    EXPECT_EQ(counted->value, 0x01020304);
    EXPECT_EQ(counted->text, "hi");
    EXPECT_EQ(in.getFilePointer(), in.getSize());
}

TEST_F(Registry, NullObjectIsNotWritten) {
    MemoryOutputStream out;
    EXPECT_THROW(out.writeObject(nullptr), Serializable::Exception);
    EXPECT_EQ(out.getSize(), 0u);
}

TEST_F(Registry, EmptyNameIsLookedUpLikeAnyOther) {
    Bytes bytes;
    appendWord(bytes, 0);
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    try {
        in.readObject();
        FAIL() << "no exception";
    } catch (const Serializable::Exception& e) {
        EXPECT_EQ(std::string(e.what()), unknownClassText(""));
    }
}

TEST_F(Registry, HostileNameLengthIsRefusedAndTheStreamStaysUsable) {
    Counted object;
    object.value = 5;
    MemoryOutputStream out;
    out << 0xFFFFFFF0u;
    out.writeObject(&object);
    Bytes bytes = contents(out);
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    try {
        in.readObject();
        FAIL() << "no exception";
    } catch (const Serializable::Exception& e) {
        EXPECT_STREQ(e.what(), "Can't read an object: its class name of 4294967280 bytes is longer than 4096 bytes");
    }
    EXPECT_EQ(in.getFilePointer(), 4u);
    std::unique_ptr<Serializable> next(in.readObject());
    EXPECT_EQ(dynamic_cast<Counted&>(*next).value, 5);
}

TEST_F(Registry, NameCutShortIsEndOfFile) {
    Bytes bytes;
    appendWord(bytes, 40);
    bytes.insert(bytes.end(), 10, 'x');
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    EXPECT_THROW(in.readObject(), EndOfFile);
}

TEST_F(Registry, ObjectIsDeletedWhenItsBodyFails) {
    Counted object;
    object.text = "long enough";
    MemoryOutputStream out;
    out.writeObject(&object);
    for (unsigned cut = 0; cut < out.getSize(); ++cut) {
        MemoryInputStream in(out.getData(), cut);
        EXPECT_THROW(in.readObject(), EndOfFile) << cut;
        EXPECT_EQ(Counted::live, 1) << "cut at " << cut;
    }
}

std::unique_ptr<Link> chainOf(unsigned length) {
    std::unique_ptr<Link> head;
    for (unsigned i = 0; i < length; ++i) {
        std::unique_ptr<Link> link(new Link);
        link->next = std::move(head);
        head = std::move(link);
    }
    return head;
}

Bytes chainBytes(unsigned length) {
    Bytes bytes;
    for (unsigned i = 0; i < length; ++i) {
        appendName(bytes, typeid(Link).name());
        bytes.push_back(i + 1 < length ? 1 : 0);
    }
    return bytes;
}

TEST_F(Registry, NestingUpToTheBoundWorksBothWays) {
    const unsigned depth = Serializable::defaultMaxDepth;
    std::unique_ptr<Link> chain = chainOf(depth);
    MemoryOutputStream out;
    out.writeObject(chain.get());
    EXPECT_EQ(contents(out), chainBytes(depth));
    MemoryInputStream in(out.getData(), static_cast<unsigned>(out.getSize()));
    std::unique_ptr<Link> back(static_cast<Link*>(in.readObject()));
    EXPECT_EQ(Link::live, int(2 * depth));
    Link::drop(std::move(back));
    Link::drop(std::move(chain));
}

TEST_F(Registry, NestingPastTheBoundIsRefused) {
    const unsigned depth = Serializable::defaultMaxDepth + 1;
    std::unique_ptr<Link> chain = chainOf(depth);
    MemoryOutputStream out;
    try {
        out.writeObject(chain.get());
        FAIL() << "no exception";
    } catch (const Serializable::Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Can't write an object nested deeper than " +
                                             std::to_string(Serializable::defaultMaxDepth) + " records");
    }
    Link::drop(std::move(chain));

    Bytes bytes = chainBytes(depth);
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    try {
        in.readObject();
        FAIL() << "no exception";
    } catch (const Serializable::Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Can't read an object nested deeper than " +
                                             std::to_string(Serializable::defaultMaxDepth) + " records");
    }
    EXPECT_EQ(Link::live, 0) << "every partly read link was deleted";

    // The bound counts nesting, not records: the stream can go on with a short chain.
    Bytes shortChain = chainBytes(3);
    in.setBuffer(shortChain.data(), static_cast<unsigned>(shortChain.size()));
    std::unique_ptr<Link> back(static_cast<Link*>(in.readObject()));
    EXPECT_EQ(Link::live, 3);
    back.reset();
}

} // namespace
