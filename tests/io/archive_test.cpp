// Archive: golden records, shared and cyclic graphs (self-reference, ring, diamond)
// coming back with the same sharing, identities that are never 0 and never reused,
// every row of the failure table with its exact message, no object leaked when a body
// fails, bounded nesting, and misuse rejected with a clear exception.
#include <vesk/errors/exception.h>
#include <vesk/io/archive.h>
#include <vesk/io/memory_stream.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
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

// A full record's head: marker, identity, class name.
void appendHead(Bytes& bytes, std::uint32_t identity, const std::string& name) {
    appendWord(bytes, 0);
    appendWord(bytes, identity);
    appendName(bytes, name);
}

// A graph node: a name and any number of links, written with identity. Every live
// node is known, so that cycles can be broken at the end of a test and leaks counted.
struct Node : Serializable {
    static std::set<Node*>& all() {
        static std::set<Node*> nodes;
        return nodes;
    }
    static int made;

    explicit Node(std::string name = std::string()) : name(std::move(name)) {
        all().insert(this);
        ++made;
    }
    ~Node() override { all().erase(this); }

    void serialize(OutputStream& out) const override {
        Archive& archive = Archive::of(out);
        out << name << static_cast<unsigned>(links.size());
        for (const ref_ptr<Node>& link : links) archive.writeObject(link);
    }
    void deserialize(InputStream& in) override {
        Archive& archive = Archive::of(in);
        unsigned count;
        in >> name >> count;
        for (unsigned i = 0; i < count; ++i) {
            ref_ptr<Node> link;
            archive.readObject(link);
            links.push_back(link);
        }
    }

    std::string name;
    std::vector<ref_ptr<Node>> links;
};
int Node::made = 0;
SerializableImpl<Node> registerNode;

struct Empty : Serializable {
    void serialize(OutputStream&) const override {}
    void deserialize(InputStream&) override {}
};
SerializableImpl<Empty> registerEmpty;

// Holds one child by identity only when asked to; used for long chains.
struct Chain : Serializable {
    static int live;
    Chain() { ++live; }
    ~Chain() override { --live; }
    void serialize(OutputStream& out) const override {
        out << static_cast<bool>(next);
        if (next) Archive::of(out).writeObject(next);
    }
    void deserialize(InputStream& in) override {
        bool more;
        in >> more;
        if (more) Archive::of(in).readObject(next);
    }
    ref_ptr<Chain> next;
};
int Chain::live = 0;
SerializableImpl<Chain> registerChain;

ref_ptr<Node> node(const char* name) { return ref_ptr<Node>(new Node(name)); }

class ArchiveTest : public ::testing::Test {
protected:
    void SetUp() override { Node::made = 0; }
    void TearDown() override {
        // Break the cycles the test built or read, then nothing may be left.
        std::vector<ref_ptr<Node>> links;
        for (Node* n : Node::all())
            for (ref_ptr<Node>& link : n->links) links.push_back(std::move(link));
        links.clear();
        EXPECT_TRUE(Node::all().empty()) << Node::all().size() << " nodes leaked";
        EXPECT_EQ(Chain::live, 0);
    }

    MemoryInputStream noInput;
    MemoryOutputStream noOutput;
};

// Writes the given objects with one archive and returns the bytes.
template <class F> Bytes written(F writeAll) {
    MemoryInputStream none;
    MemoryOutputStream out;
    {
        Archive archive(none, out);
        writeAll(archive);
    }
    return contents(out);
}

TEST_F(ArchiveTest, SingleObjectIsAFullRecordWithIdentityZero) {
    Empty object;
    Bytes bytes = written([&](Archive& a) { a.writeObject(&object); });
    Bytes expected;
    appendHead(expected, 0, typeid(Empty).name());
    EXPECT_EQ(bytes.size(), 12 + std::strlen(typeid(Empty).name()));
    EXPECT_EQ(bytes, expected);
}

TEST_F(ArchiveTest, SharedObjectIsWrittenOnceThenAsItsIdentity) {
    ref_ptr<Node> shared = node("s");
    Bytes bytes = written([&](Archive& a) {
        a.writeObject(shared);
        a.writeObject(shared);
    });
    Bytes expected;
    appendHead(expected, 1, typeid(Node).name());
    appendName(expected, "s");
    appendWord(expected, 0); // no links
    appendWord(expected, 1); // the back-reference
    EXPECT_EQ(bytes, expected);

    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    Archive archive(in, noOutput);
    ref_ptr<Serializable> first, second;
    archive.readObject(first);
    archive.readObject(second);
    EXPECT_EQ(first.get(), second.get());
    EXPECT_EQ(first.getCount(), 3) << "two results and the archive's own reference";
    EXPECT_EQ(dynamic_cast<Node&>(*first).name, "s");
}

TEST_F(ArchiveTest, RefPtrsSharingACountBlockAreOneObject) {
    ref_ptr<Node> typed = node("one");
    ref_ptr<Serializable> general(typed);
    Bytes bytes = written([&](Archive& a) {
        a.writeObject(typed);
        a.writeObject(general);
    });
    Bytes tail(bytes.end() - 4, bytes.end());
    EXPECT_EQ(tail, (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(Node::made, 1);
}

TEST_F(ArchiveTest, SelfReferenceComesBackAsItself) {
    ref_ptr<Node> self = node("me");
    self->links.push_back(self);
    Bytes bytes = written([&](Archive& a) { a.writeObject(self); });
    Bytes expected;
    appendHead(expected, 1, typeid(Node).name());
    appendName(expected, "me");
    appendWord(expected, 1);
    appendWord(expected, 1); // the link: a back-reference to the object being written
    EXPECT_EQ(bytes, expected);

    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    Archive archive(in, noOutput);
    ref_ptr<Node> back;
    archive.readObject(back);
    ASSERT_EQ(back->links.size(), 1u);
    EXPECT_EQ(back->links[0].get(), back.get());
}

TEST_F(ArchiveTest, RingComesBackClosed) {
    ref_ptr<Node> a = node("a"), b = node("b"), c = node("c");
    a->links.push_back(b);
    b->links.push_back(c);
    c->links.push_back(a);
    Bytes bytes = written([&](Archive& archive) {
        archive.writeObject(b); // enter the ring anywhere
        archive.writeObject(a);
    });
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    Archive archive(in, noOutput);
    ref_ptr<Node> b2, a2;
    archive.readObject(b2);
    archive.readObject(a2);
    EXPECT_EQ(Node::made, 6);
    EXPECT_EQ(b2->name, "b");
    EXPECT_EQ(a2->name, "a");
    Node* c2 = b2->links.at(0).get();
    EXPECT_EQ(c2->name, "c");
    EXPECT_EQ(c2->links.at(0).get(), a2.get());
    EXPECT_EQ(a2->links.at(0).get(), b2.get());
}

TEST_F(ArchiveTest, DiamondKeepsItsSharedBottom) {
    ref_ptr<Node> top = node("top"), left = node("left"), right = node("right"), bottom = node("bottom");
    top->links = {left, right};
    left->links = {bottom};
    right->links = {bottom, bottom};
    Bytes bytes = written([&](Archive& a) { a.writeObject(top); });
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    ref_ptr<Node> back;
    {
        Archive archive(in, noOutput);
        archive.readObject(back);
    }
    EXPECT_EQ(Node::made, 8);
    Node* l = back->links.at(0).get();
    Node* r = back->links.at(1).get();
    EXPECT_EQ(l->name, "left");
    EXPECT_EQ(r->name, "right");
    EXPECT_EQ(l->links.at(0).get(), r->links.at(0).get());
    EXPECT_EQ(r->links.at(0).get(), r->links.at(1).get());
    EXPECT_EQ(l->links[0]->name, "bottom");
    EXPECT_EQ(l->links[0].getCount(), 3) << "held by left once and by right twice; the archive is gone";
}

TEST_F(ArchiveTest, IdentitiesAreSequenceNumbersNeverReused) {
    // Objects that die while the archive writes would free count blocks that a new
    // object could get again; the archive keeps them alive so that cannot happen.
    MemoryOutputStream out;
    {
        Archive archive(noInput, out);
        for (int i = 0; i < 3; ++i) {
            ref_ptr<Node> temporary = node("t");
            archive.writeObject(temporary);
        }
        EXPECT_EQ(Node::all().size(), 3u) << "written objects live as long as the archive";
    }
    EXPECT_TRUE(Node::all().empty());
    Bytes bytes = contents(out);
    const std::size_t record = 12 + std::strlen(typeid(Node).name()) + 4 + 1 + 4;
    ASSERT_EQ(bytes.size(), 3 * record);
    for (std::uint32_t i = 0; i < 3; ++i) {
        std::uint32_t identity;
        std::memcpy(&identity, bytes.data() + i * record + 4, 4);
        EXPECT_EQ(identity, i + 1);
    }
}

TEST_F(ArchiveTest, EmptyRefPtrAndNullObjectAreRejected) {
    MemoryOutputStream out;
    Archive archive(noInput, out);
    try {
        archive.writeObject(ref_ptr<Serializable>());
        FAIL() << "no exception";
    } catch (const Serializable::Exception& e) {
        EXPECT_STREQ(e.what(), "Can't write an empty ref_ptr to an archive");
    }
    try {
        archive.writeObject(static_cast<const Serializable*>(nullptr));
        FAIL() << "no exception";
    } catch (const Serializable::Exception& e) {
        EXPECT_STREQ(e.what(), "Can't write a null object to an archive");
    }
    EXPECT_EQ(out.getSize(), 0u);
}

TEST_F(ArchiveTest, ObjectWithoutIdentityWrittenTwiceReadsBackAsTwo) {
    Node single("x");
    Bytes bytes = written([&](Archive& a) {
        a.writeObject(&single);
        a.writeObject(&single);
    });
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    Archive archive(in, noOutput);
    std::unique_ptr<Serializable> one(archive.readObject());
    ref_ptr<Serializable> two;
    EXPECT_THROW(archive.readObject(two), vesk::Exception) << "identity 0 was read as a single already";
    EXPECT_EQ(dynamic_cast<Node&>(*one).name, "x");
}

TEST_F(ArchiveTest, SingleRecordsAreNotTouchedByTheArchive) {
    Node single("keep");
    Bytes bytes = written([&](Archive& a) { a.writeObject(&single); });
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    std::unique_ptr<Serializable> mine;
    {
        Archive archive(in, noOutput);
        mine.reset(archive.readObject());
    }
    EXPECT_EQ(dynamic_cast<Node&>(*mine).name, "keep");
}

// ---- the failure table ------------------------------------------------------------

std::string cookieText() {
    return "In Archive::ReadObject war das eingelesene Cookie != 0.\nDies deutet auf einen Fehler im Bin\344rstream hin!";
}
std::string missingText() { return "Der Stream enth\344lt eine Objektreferenz, nicht jedoch das Objekt selbst!"; }
std::string singleText() {
    return "Das Objekt wurde zuvor als Single-Objekt gelesen und kann daher nicht als Referenz zur\374ckgegeben "
           "werden.\nM\366glicherweise liegt ein Fehler im Format des Bin\344streams vor!";
}
std::string unknownText(const std::string& name) {
    return "Klassendefinition nicht gefunden - ein Objekt vom Typ SerializableImpl sollte f\374r die Klasse \"" +
           name + "\" angelegt werden";
}

enum class Thrown { base, serializable, endOfFile };

struct FailureRow {
    const char* situation;
    Bytes bytes;
    // Reads the bytes with the archive: the last read is the one that must fail.
    void (*readAll)(Archive&);
    Thrown kind;
    std::string message; // for EndOfFile: the text before the address
};

void readSingle(Archive& a) { delete a.readObject(); }
void readShared(Archive& a) {
    ref_ptr<Serializable> result;
    a.readObject(result);
}
void readSingleThenShared(Archive& a) {
    readSingle(a);
    readShared(a);
}

TEST_F(ArchiveTest, EveryFailureRowThrowsItsExceptionAndText) {
    const std::string emptyName = typeid(Empty).name();
    Bytes backReference;
    appendWord(backReference, 7);
    Bytes twoSingles;
    appendHead(twoSingles, 0, emptyName);
    appendHead(twoSingles, 0, emptyName);
    Bytes singleThenSameIdentity;
    appendHead(singleThenSameIdentity, 9, emptyName);
    appendHead(singleThenSameIdentity, 9, emptyName);
    Bytes unknown;
    appendHead(unknown, 1, "vesk.test.NoSuchClass");
    Bytes cut;
    appendHead(cut, 1, emptyName);
    cut.resize(cut.size() - 1);
    Bytes cutHead{0, 0, 0, 0, 1, 0};

    const FailureRow rows[] = {
        {"back-reference read as single", backReference, readSingle, Thrown::base, cookieText()},
        {"back-reference never read", backReference, readShared, Thrown::serializable, missingText()},
        {"identity 0 read as single before", twoSingles, readSingleThenShared, Thrown::base, singleText()},
        {"identity 9 read as single before", singleThenSameIdentity, readSingleThenShared, Thrown::base,
         singleText()},
        {"unknown class, shared", unknown, readShared, Thrown::serializable, unknownText("vesk.test.NoSuchClass")},
        {"unknown class, single", unknown, readSingle, Thrown::serializable, unknownText("vesk.test.NoSuchClass")},
        {"ends inside the class name", cut, readShared, Thrown::endOfFile, "EOF in readFully("},
        {"ends inside the identity", cutHead, readSingle, Thrown::endOfFile, "EOF in readFully("},
        {"ends before the first word", Bytes{}, readShared, Thrown::endOfFile, "EOF in readFully("},
    };
    for (const FailureRow& row : rows) {
        MemoryInputStream in(row.bytes.data(), static_cast<unsigned>(row.bytes.size()));
        Archive archive(in, noOutput);
        try {
            row.readAll(archive);
            ADD_FAILURE() << row.situation << ": nothing thrown";
        } catch (const Serializable::Exception& e) {
            EXPECT_EQ(row.kind, Thrown::serializable) << row.situation;
            EXPECT_EQ(std::string(e.what()), row.message) << row.situation;
        } catch (const vesk::Exception& e) {
            EXPECT_EQ(row.kind, Thrown::base) << row.situation;
            EXPECT_EQ(std::string(e.what()), row.message) << row.situation;
        } catch (const EndOfFile& e) {
            EXPECT_EQ(row.kind, Thrown::endOfFile) << row.situation;
            std::string text = e.what();
            EXPECT_EQ(text.compare(0, row.message.size(), row.message), 0) << row.situation << ": " << text;
            EXPECT_EQ(text.back(), '\n') << row.situation;
        }
    }
}

TEST_F(ArchiveTest, MapsKeepWhatWasEnteredBeforeAFailure) {
    ref_ptr<Node> shared = node("early");
    Bytes bytes = written([&](Archive& a) { a.writeObject(shared); });
    appendWord(bytes, 0x55); // a reference to an identity never written
    appendWord(bytes, 1);    // and one to the object written first
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    Archive archive(in, noOutput);
    ref_ptr<Node> first, broken, later;
    archive.readObject(first);
    EXPECT_THROW(archive.readObject(broken), Serializable::Exception);
    EXPECT_FALSE(broken) << "a failed read leaves the result alone";
    archive.readObject(later);
    EXPECT_EQ(later.get(), first.get());
}

TEST_F(ArchiveTest, ObjectsAreNotLeakedWhenABodyFails) {
    ref_ptr<Node> root = node("root");
    root->links = {node("child"), node("other")};
    Bytes bytes = written([&](Archive& a) { a.writeObject(root); });
    Node single("single");
    single.links = {node("inner")};
    Bytes singleBytes = written([&](Archive& a) { a.writeObject(&single); });
    const int before = static_cast<int>(Node::all().size());

    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        MemoryInputStream in(bytes.data(), static_cast<unsigned>(cut));
        {
            Archive archive(in, noOutput);
            ref_ptr<Node> result;
            EXPECT_THROW(archive.readObject(result), EndOfFile) << cut;
            EXPECT_FALSE(result);
        }
        EXPECT_EQ(static_cast<int>(Node::all().size()), before) << "shared read cut at " << cut;
    }
    for (std::size_t cut = 0; cut < singleBytes.size(); ++cut) {
        MemoryInputStream in(singleBytes.data(), static_cast<unsigned>(cut));
        {
            Archive archive(in, noOutput);
            EXPECT_THROW(delete archive.readObject(), EndOfFile) << cut;
        }
        EXPECT_EQ(static_cast<int>(Node::all().size()), before) << "single read cut at " << cut;
    }
}

TEST_F(ArchiveTest, FailedSharedBodyStaysHeldOnlyWithAnIdentity) {
    // A record with identity 5 whose body ends early: the half-read object stays with
    // the archive (later references to 5 resolve) until the archive ends.
    const std::string name = typeid(Node).name();
    Bytes bytes;
    appendHead(bytes, 5, name);
    appendName(bytes, "half");
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    {
        Archive archive(in, noOutput);
        ref_ptr<Node> result;
        EXPECT_THROW(archive.readObject(result), EndOfFile);
        EXPECT_EQ(Node::all().size(), 1u);
        Bytes reference;
        appendWord(reference, 5);
        in.setBuffer(reference.data(), 4);
        archive.readObject(result);
        EXPECT_EQ(result->name, "half");
    }
    EXPECT_EQ(Node::all().size(), 0u);

    Bytes anonymous;
    appendHead(anonymous, 0, name);
    appendName(anonymous, "gone");
    in.setBuffer(anonymous.data(), static_cast<unsigned>(anonymous.size()));
    Archive archive(in, noOutput);
    ref_ptr<Node> result;
    EXPECT_THROW(archive.readObject(result), EndOfFile);
    EXPECT_EQ(Node::all().size(), 0u) << "without identity the object is deleted at once";
}

TEST_F(ArchiveTest, DestroyingTheArchiveReleasesWhatItHeld) {
    ref_ptr<Node> shared = node("s");
    Bytes bytes = written([&](Archive& a) { a.writeObject(shared); });
    shared.reset();
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    ref_ptr<Node> result;
    {
        Archive archive(in, noOutput);
        archive.readObject(result);
        EXPECT_EQ(result.getCount(), 2);
    }
    EXPECT_EQ(result.getCount(), 1);
    result.reset();
    EXPECT_TRUE(Node::all().empty());
}

TEST_F(ArchiveTest, HostileNameLengthIsRefusedAndTheArchiveGoesOn) {
    Bytes bytes;
    appendWord(bytes, 0);
    appendWord(bytes, 3);
    appendWord(bytes, 0x7FFFFFFFu);
    const std::size_t next = bytes.size();
    ref_ptr<Node> good = node("good");
    Bytes goodBytes = written([&](Archive& a) { a.writeObject(good); });
    bytes.insert(bytes.end(), goodBytes.begin(), goodBytes.end());
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    Archive archive(in, noOutput);
    ref_ptr<Node> result;
    try {
        archive.readObject(result);
        FAIL() << "no exception";
    } catch (const Serializable::Exception& e) {
        EXPECT_STREQ(e.what(), "Can't read an object: its class name of 2147483647 bytes is longer than 4096 bytes");
    }
    in.setFilePointer(static_cast<long long>(next), Seekable::begin);
    archive.readObject(result);
    EXPECT_EQ(result->name, "good");
}

TEST_F(ArchiveTest, TypedReadRefusesAnotherClass) {
    ref_ptr<Serializable> empty(new Empty);
    Bytes bytes = written([&](Archive& a) {
        a.writeObject(empty);
        a.writeObject(empty);
    });
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    Archive archive(in, noOutput);
    ref_ptr<Node> wrong;
    try {
        archive.readObject(wrong);
        FAIL() << "no exception";
    } catch (const Serializable::Exception& e) {
        EXPECT_EQ(std::string(e.what()), std::string("Can't read an object of the class \"") + typeid(Empty).name() +
                                             "\" into a reference to \"" + typeid(Node).name() + "\"");
    }
    EXPECT_FALSE(wrong);
    ref_ptr<Serializable> right;
    archive.readObject(right);
    EXPECT_NE(dynamic_cast<Empty*>(right.get()), nullptr) << "the object stayed with the archive";
}

TEST_F(ArchiveTest, PlainStreamsAreNotArchives) {
    EXPECT_THROW(Archive::of(static_cast<InputStream&>(noInput)), Serializable::Exception);
    EXPECT_THROW(Archive::of(static_cast<OutputStream&>(noOutput)), Serializable::Exception);
    ref_ptr<Node> n = node("n");
    n->links.push_back(node("m"));
    EXPECT_THROW(noOutput.writeObject(n.get()), Serializable::Exception)
        << "a node needs an archive for its links";
}

TEST_F(ArchiveTest, OutputOfTwoArchivesReadsBackWithOne) {
    ref_ptr<Node> first = node("first"), second = node("second");
    Bytes bytes = written([&](Archive& a) {
        a.writeObject(first);
        a.writeObject(first);
    });
    Bytes more = written([&](Archive& a) {
        a.writeObject(second);
        a.writeObject(second);
    });
    bytes.insert(bytes.end(), more.begin(), more.end());
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    Archive archive(in, noOutput);
    ref_ptr<Node> r[4];
    for (ref_ptr<Node>& result : r) archive.readObject(result);
    EXPECT_EQ(r[0]->name, "first");
    EXPECT_EQ(r[1].get(), r[0].get());
    EXPECT_EQ(r[2]->name, "second");
    EXPECT_EQ(r[3].get(), r[2].get()) << "identity 1 now stands for the later record";
}

TEST_F(ArchiveTest, CopiedArchiveSharesWhatWasWritten) {
    ref_ptr<Node> shared = node("s");
    MemoryOutputStream out;
    Archive archive(noInput, out);
    archive.writeObject(shared);
    Archive copy(archive);
    copy.writeObject(shared);
    Bytes bytes = contents(out);
    EXPECT_EQ(Bytes(bytes.end() - 4, bytes.end()), (Bytes{1, 0, 0, 0}));
}

// ---- nesting ---------------------------------------------------------------------

ref_ptr<Chain> chainOf(unsigned length) {
    ref_ptr<Chain> head;
    for (unsigned i = 0; i < length; ++i) {
        ref_ptr<Chain> link(new Chain);
        link->next = head;
        head = link;
    }
    return head;
}

// Lets go of a chain link by link, so that its destructors do not recurse.
void drop(ref_ptr<Chain>& head) {
    while (head) {
        ref_ptr<Chain> next = head->next;
        head->next.reset();
        head = next;
    }
}

Bytes chainBytes(unsigned length) {
    Bytes bytes;
    for (unsigned i = 0; i < length; ++i) {
        appendHead(bytes, i + 1, typeid(Chain).name());
        bytes.push_back(i + 1 < length ? 1 : 0);
    }
    return bytes;
}

TEST_F(ArchiveTest, ChainAsLongAsTheBoundWritesAndReads) {
    const unsigned length = Serializable::defaultMaxDepth;
    ref_ptr<Chain> chain = chainOf(length);
    Bytes bytes = written([&](Archive& a) {
        EXPECT_EQ(a.getMaxDepth(), length);
        a.writeObject(chain);
    });
    EXPECT_EQ(bytes, chainBytes(length));
    drop(chain);
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    ref_ptr<Chain> back;
    {
        Archive archive(in, noOutput);
        archive.readObject(back);
    }
    EXPECT_EQ(Chain::live, int(length));
    drop(back);
}

TEST_F(ArchiveTest, NestingPastTheBoundIsRefusedOnBothSides) {
    const std::string limit = std::to_string(Serializable::defaultMaxDepth);
    ref_ptr<Chain> chain = chainOf(Serializable::defaultMaxDepth + 1);
    {
        MemoryOutputStream out;
        Archive archive(noInput, out);
        try {
            archive.writeObject(chain);
            FAIL() << "no exception";
        } catch (const Serializable::Exception& e) {
            EXPECT_EQ(std::string(e.what()), "Can't write an object nested deeper than " + limit + " records in an archive");
        }
    }
    drop(chain);
    Bytes bytes = chainBytes(Serializable::defaultMaxDepth + 1);
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    {
        Archive archive(in, noOutput);
        ref_ptr<Chain> back;
        try {
            archive.readObject(back);
            FAIL() << "no exception";
        } catch (const Serializable::Exception& e) {
            EXPECT_EQ(std::string(e.what()), "Can't read an object nested deeper than " + limit + " records in an archive");
        }
    }
    EXPECT_EQ(Chain::live, 0);
}

TEST_F(ArchiveTest, EachArchiveCanSetItsOwnBound) {
    Bytes ten = chainBytes(10), eleven = chainBytes(11);
    MemoryInputStream in(ten.data(), static_cast<unsigned>(ten.size()));
    Archive archive(in, noOutput);
    archive.setMaxDepth(10);
    ref_ptr<Chain> back;
    archive.readObject(back);
    EXPECT_EQ(Chain::live, 10);
    drop(back);
    Archive other(in, noOutput);
    other.setMaxDepth(10);
    in.setBuffer(eleven.data(), static_cast<unsigned>(eleven.size()));
    EXPECT_THROW(other.readObject(back), Serializable::Exception);
    // The depth is counted back after the failure: a short chain still reads.
    Bytes three = chainBytes(3);
    for (Bytes::size_type i = 0; i < 3; ++i) three[4 + i * (13 + std::strlen(typeid(Chain).name()))] = 100 + i;
    in.setBuffer(three.data(), static_cast<unsigned>(three.size()));
    other.readObject(back);
    drop(back);

    ref_ptr<Chain> chain = chainOf(4);
    MemoryOutputStream out;
    Archive writer(noInput, out);
    writer.setMaxDepth(3);
    EXPECT_THROW(writer.writeObject(chain), Serializable::Exception);
    writer.setMaxDepth(4);
    ref_ptr<Chain> fresh = chainOf(4);
    EXPECT_NO_THROW(writer.writeObject(fresh));
    drop(chain);
    drop(fresh);
}

} // namespace
