// Object serialisation: the creator registry, plain records and Archive records with
// identity. Graphs come back with their sharing; every refused read or write throws
// its exact text (8-bit texts in code page 1252); nesting is bounded on both sides; a
// failure keeps what was read; truncated and mutated archives (fixed seed) give a
// graph or a library exception and never leak a node.
#include <vesk/errors/exception.h>
#include <vesk/io/archive.h>
#include <vesk/io/memory_stream.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <typeinfo>
#include <vector>

using namespace vesk;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes operator+(Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; }
Bytes word(std::uint32_t w) { return {Bytes::value_type(w), Bytes::value_type(w >> 8), Bytes::value_type(w >> 16), Bytes::value_type(w >> 24)}; }
// An 8-bit text that announces `length` characters; a full record's head.
Bytes text(const std::string& s, std::size_t length) { return word(std::uint32_t(length)) + Bytes(s.begin(), s.end()); }
Bytes text(const std::string& s) { return text(s, s.size()); }
Bytes head(std::uint32_t identity, const std::string& name) { return word(0) + word(identity) + text(name); }

struct Node;
std::set<Node*> liveNodes; // so that a test can break cycles and count leaks

// A graph node: links written with identity, then an inner object as a plain record.
struct Node : Serializable {
    explicit Node(std::string name = std::string()) : name(std::move(name)) { liveNodes.insert(this); }
    ~Node() override {
        liveNodes.erase(this);
        while (Node* next = dynamic_cast<Node*>(inner.get())) inner = std::move(next->inner); // no deep recursion
    }
    void serialize(OutputStream& out) const override {
        out << name << static_cast<unsigned>(links.size());
        for (const ref_ptr<Node>& link : links) Archive::of(out).writeObject(link);
        out << static_cast<bool>(inner);
        if (inner) out.writeObject(inner.get());
    }
    void deserialize(InputStream& in) override {
        unsigned count;
        bool hasInner;
        for (in >> name >> count; count > 0; --count) Archive::of(in).readObject(*links.emplace(links.end()));
        if (in >> hasInner, hasInner) inner.reset(in.readObject());
    }
    std::string name;
    std::vector<ref_ptr<Node>> links;
    std::unique_ptr<Serializable> inner;
};
SerializableImpl<Node> registerNode;

struct Empty : Serializable {
    void serialize(OutputStream&) const override {}
    void deserialize(InputStream&) override {}
};
SerializableImpl<Empty> registerEmpty;

ref_ptr<Node> node(const char* name, std::vector<ref_ptr<Node>> links = {}) {
    ref_ptr<Node> n(new Node(name));
    return n->links = std::move(links), n;
}

// Lets every node go, cycles and long chains included, without recursion.
void breakAll() {
    std::vector<ref_ptr<Node>> links;
    for (Node* n : liveNodes) links.insert(links.end(), n->links.begin(), n->links.end());
    for (Node* n : liveNodes) n->links.clear();
}

template <class F> Bytes written(F writeAll) {
    MemoryInputStream none;
    MemoryOutputStream out;
    writeAll(*std::make_unique<Archive>(none, out));
    return Bytes(out.getData(), out.getData() + out.getSize());
}

// The kind and text of what f threw.
template <class F> std::string failure(F f) try {
    return f(), "(nothing thrown)";
} catch (const Serializable::Exception& e) {
    return std::string("Serializable::Exception: ") + e.what();
} catch (const vesk::Exception& e) {
    return std::string("Exception: ") + e.what();
} catch (const EndOfFile& e) {
    return std::string(e.what()).rfind("EOF in readFully(", 0) == 0 ? "EndOfFile" : e.what();
}

class Serialization : public ::testing::Test {
protected:
    void TearDown() override {
        breakAll();
        EXPECT_TRUE(liveNodes.empty()) << liveNodes.size() << " nodes leaked";
    }
    MemoryInputStream noInput;
    MemoryOutputStream noOutput;
};

TEST_F(Serialization, FirstRegistrationStaysAndNamesMatchOnlyWhole) {
    Serializable::addCreator("vesk.test.A", &SerializableImpl<Empty>::create);
    Serializable::addCreator("vesk.test.A", &SerializableImpl<Node>::create); // no effect
    Serializable::addCreator("vesk.test.AB", &SerializableImpl<Node>::create);
    const std::string copy = "vesk.test.AB"; // keys compare by content, not by address
    std::unique_ptr<Serializable> a(Serializable::create("vesk.test.A")), ab(Serializable::create(copy.c_str())),
        prefix(Serializable::create("vesk.test.AB", 11));
    EXPECT_TRUE(dynamic_cast<Empty*>(a.get()) && dynamic_cast<Node*>(ab.get()) && dynamic_cast<Empty*>(prefix.get()));
    EXPECT_THROW(Serializable::create("vesk.test.A\0junk", 16), Serializable::Exception) << "a NUL does not cut it";
    EXPECT_THROW(Serializable::create("vesk.test.", 10), Serializable::Exception);
}

// The roots' sharing as text: each distinct node gets a number in the order met, then
// every node lists its name and the numbers of its links.
std::string shape(const std::vector<ref_ptr<Node>>& roots) {
    std::map<const Node*, std::size_t> numbers;
    std::vector<const Node*> order;
    auto number = [&](const Node* n) {
        if (numbers.emplace(n, numbers.size()).second) order.push_back(n);
        return std::to_string(numbers[n]);
    };
    std::string text;
    for (const ref_ptr<Node>& root : roots) text += number(root.get()) + " ";
    for (std::size_t i = 0; i < order.size(); ++i) {
        text += "|" + order[i]->name;
        for (const ref_ptr<Node>& link : order[i]->links) text += " " + number(link.get());
    }
    return text;
}

TEST_F(Serialization, GraphsComeBackWithTheirSharing) {
    const struct {
        unsigned roots;
        std::function<void(Archive&)> write;
        const char* shape;
    } rows[] = {
        {2, [](Archive& a) { // a ring entered anywhere
             ref_ptr<Node> x = node("a"), b = node("b", {node("c", {x})});
             a.writeObject(x->links.emplace_back(b)), a.writeObject(x);
         }, "0 1 |b 2|a 0|c 1"},
        {2, [](Archive& a) { ref_ptr<Node> x = node("x"); a.writeObject(x), a.writeObject(ref_ptr<Serializable>(x)); },
         "0 0 |x"}, // two ref_ptrs of one count block
        {3, [](Archive& a) { for (int i = 0; i < 3; ++i) a.writeObject(node("t")); },
         "0 1 2 |t|t|t"}, // objects dying while written are kept alive: no count block is used again
        {2, [](Archive& a) { ref_ptr<Node> s = node("s"); a.writeObject(s), Archive(a).writeObject(s); }, "0 0 |s"},
        {4, [](Archive& a) { // output of two archives, the same identities
             ref_ptr<Node> first = node("first"), second = node("second");
             Archive other(a, a);
             a.writeObject(first), a.writeObject(first), other.writeObject(second), other.writeObject(second);
         }, "0 0 1 1 |first|second"},
    };
    for (const auto& row : rows) {
        const Bytes bytes = written(row.write);
        breakAll();
        MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
        Archive archive(in, noOutput);
        std::vector<ref_ptr<Node>> roots(row.roots);
        for (ref_ptr<Node>& root : roots) archive.readObject(root);
        EXPECT_EQ(shape(roots), row.shape);
    }
}

void readPlain(Archive& a) { delete static_cast<InputStream&>(a).readObject(); }
void readSingle(Archive& a) { delete a.readObject(); }
void readShared(Archive& a) { a.readObject(*std::make_unique<ref_ptr<Serializable>>()); }
void readSingleThenShared(Archive& a) { readSingle(a), readShared(a); }

TEST_F(Serialization, EveryFailureThrowsItsExceptionAndText) {
    const std::string empty = typeid(Empty).name(), serializable = "Serializable::Exception: ";
    const std::string
        cookie = "Exception: In Archive::ReadObject war das eingelesene Cookie != 0.\n"
                 "Dies deutet auf einen Fehler im Bin\344rstream hin!",
        missing = serializable + "Der Stream enth\344lt eine Objektreferenz, nicht jedoch das Objekt selbst!",
        readAsSingle = "Exception: Das Objekt wurde zuvor als Single-Objekt gelesen und kann daher nicht als Referenz "
                       "zur\374ckgegeben werden.\nM\366glicherweise liegt ein Fehler im Format des Bin\344streams vor!",
        noClass = serializable + "Klassendefinition nicht gefunden - ein Objekt vom Typ SerializableImpl "
                                 "sollte f\374r die Klasse \"",
        tooLong = serializable + "Can't read an object: its class name of ";
    const struct {
        Bytes bytes;
        void (*read)(Archive&);
        std::string thrown;
    } rows[] = {
        {word(7), readSingle, cookie},
        {word(7), readShared, missing},
        {head(1, empty) + word(2), [](Archive& a) { readShared(a), readShared(a); }, missing},
        {head(0, empty) + head(0, empty), readSingleThenShared, readAsSingle},
        {head(1, "vesk.test.No"), readShared, noClass + "vesk.test.No\" angelegt werden"},
        {text("vesk.test.No"), readPlain, noClass + "vesk.test.No\" angelegt werden"},
        {text(""), readPlain, noClass + "\" angelegt werden"},
        {text("x", 0xFFFFFFF0u), readPlain, tooLong + "4294967280 bytes is longer than 4096 bytes"},
        {word(0) + word(3) + text("x", 0x7FFFFFFF), readShared, tooLong + "2147483647 bytes is longer than 4096 bytes"},
        {word(0) + word(1) + text(empty, 40), readShared, "EndOfFile"},
        {{0, 0, 0, 0, 1, 0}, readSingle, "EndOfFile"},
        {head(1, typeid(Node).name()) + text("n") + word(0) + Bytes{0},
         [](Archive& a) { ref_ptr<Empty> wrong; a.readObject(wrong); },
         serializable + "Can't read an object of the class \"" + typeid(Node).name() + "\" into a reference to \"" +
             empty + "\""},
        {{}, [](Archive& a) { a.writeObject(ref_ptr<Serializable>()); }, serializable + "Can't write an empty ref_ptr to an archive"},
        {{}, [](Archive& a) { a.writeObject(static_cast<const Serializable*>(nullptr)); },
         serializable + "Can't write a null object to an archive"},
        {{}, [](Archive& a) { static_cast<OutputStream&>(a).writeObject(nullptr); }, serializable + "Can't write a null object to a stream"},
        {{}, [](Archive&) { MemoryOutputStream().writeObject(node("plain", {node("link")}).get()); },
         serializable + "Can't write an object with identity: the stream is no Archive"},
        {{}, [](Archive&) {
             Serializable::addCreator("vesk.test.Nothing", [] { return static_cast<Serializable*>(nullptr); });
             Serializable::create("vesk.test.Nothing");
         }, serializable + "Can't create an object of the class \"vesk.test.Nothing\": its creator returned none"},
    };
    for (const auto& row : rows) {
        MemoryInputStream in(row.bytes.data(), static_cast<unsigned>(row.bytes.size()));
        Archive archive(in, noOutput);
        EXPECT_EQ(failure([&] { row.read(archive); }), row.thrown) << &row - rows;
    }
    EXPECT_EQ(noOutput.getSize(), 0u) << "a refused write writes nothing";
}

TEST_F(Serialization, AfterAFailureTheArchiveKeepsWhatItHadRead) {
    // "early" in full, a reference never written, one to "early", a record (out of the
    // writers' order) whose body ends before its link count
    const Bytes bytes = written([](Archive& a) { a.writeObject(node("early")); }) + word(0x55) + word(1) +
                        head(5, typeid(Node).name()) + text("half"),
                reference = word(5);
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    Archive archive(in, noOutput);
    ref_ptr<Node> first, broken, later, half;
    archive.readObject(first);
    EXPECT_THROW(archive.readObject(broken), Serializable::Exception);
    archive.readObject(later);
    EXPECT_THROW(archive.readObject(half), EndOfFile);
    in.setBuffer(reference.data(), 4);
    archive.readObject(half);
    EXPECT_FALSE(broken) << "a failed read leaves the result alone";
    EXPECT_EQ(later.get(), first.get());
    EXPECT_EQ(half->name, "half") << "a half-read object with identity stays for its references";
}

TEST_F(Serialization, NestingIsBoundedOnBothSidesAndPerArchive) {
    const unsigned bound = Serializable::defaultMaxDepth;
    const std::string deeper = " an object nested deeper than " + std::to_string(bound) + " records";
    Node chain; // bound + 1 records deep, as plain records and as links with identity
    ref_ptr<Node> linked = node("end");
    for (unsigned i = 0; i < bound; ++i) {
        Node* next = new Node;
        next->inner = std::move(chain.inner);
        chain.inner.reset(next);
        linked = node("", {linked});
    }
    MemoryOutputStream out, exact;
    EXPECT_EQ(failure([&] { out.writeObject(&chain); }), "Serializable::Exception: Can't write" + deeper);
    EXPECT_EQ(failure([&] { Archive(noInput, out).writeObject(linked); }),
              "Serializable::Exception: Can't write" + deeper + " in an archive");
    exact.writeObject(chain.inner.get()); // after the failure, exactly at the bound works
    const Bytes outer = text(typeid(Node).name()) + Bytes{0, 0, 0, 0, 0, 0, 0, 0, 1}, // no name, no links, inner
        deep = outer + Bytes(exact.getData(), exact.getData() + exact.getSize());
    MemoryInputStream in(deep.data(), static_cast<unsigned>(deep.size()));
    EXPECT_EQ(failure([&] { delete in.readObject(); }), "Serializable::Exception: Can't read" + deeper);

    const Bytes bytes = written([&](Archive& a) { a.setMaxDepth(bound + 1), a.writeObject(linked); });
    for (unsigned limit : {bound, bound + 1}) {
        MemoryInputStream input(bytes.data(), static_cast<unsigned>(bytes.size()));
        Archive reader(input, noOutput);
        reader.setMaxDepth(limit);
        EXPECT_EQ(failure([&] { readShared(reader); }),
                  limit == bound ? "Serializable::Exception: Can't read" + deeper + " in an archive" : "(nothing thrown)");
    }
    breakAll(); // before the chain goes, so that it does not go recursively
}

// Records read as shared, shared, single, shared, then written again by a new archive.
Bytes rewritten(const Bytes& bytes) {
    ref_ptr<Serializable> a, b, c;
    std::unique_ptr<Serializable> single;
    {
        MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
        MemoryOutputStream none;
        Archive reader(in, none);
        reader.readObject(a), reader.readObject(b), single.reset(reader.readObject()), reader.readObject(c);
    }
    return written([&](Archive& w) { w.writeObject(a), w.writeObject(b), w.writeObject(single.get()), w.writeObject(c); });
}

// A ring, a diamond, a self-reference with plain inner records, a single record.
Bytes seedGraph() {
    return written([](Archive& a) {
        ref_ptr<Node> ring = node("r0"), bottom = node("bottom"), self = node("self");
        ring->links = {node("r1", {node("r2", {ring})})};
        self->links = {self, bottom};
        self->inner.reset(new Node("inner"));
        static_cast<Node&>(*self->inner).inner.reset(new Empty);
        a.writeObject(ring), a.writeObject(node("top", {node("left", {bottom}), node("right", {bottom, self})}));
        Node lone("single");
        lone.links = {ring, bottom};
        a.writeObject(&lone), a.writeObject(self);
    });
}

// The graph written now must give the bytes an earlier writer gave, in both widths
// (the record format is fixed), and those bytes read and written again must not change.
TEST_F(Serialization, TheSeedGraphGivesTheGoldenBytesOfAnEarlierWriter) {
    std::ifstream file(VESK_GOLDEN_ARCHIVE, std::ios::binary);
    const Bytes golden{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()}, seed = seedGraph();
    if (seed != golden) // kept for a look at the difference
        std::ofstream("archive_golden.actual", std::ios::binary).write(reinterpret_cast<const char*>(seed.data()), 1 + seed.size() - 1);
    EXPECT_EQ(seed, golden);
    EXPECT_EQ(rewritten(golden), golden);
}

TEST_F(Serialization, TruncatedAndMutatedArchivesGiveAGraphOrALibraryException) {
    const Bytes seed = seedGraph();
    breakAll();
    EXPECT_EQ(rewritten(seed), seed);
    for (std::size_t cut = 0; cut < seed.size(); ++cut) {
        EXPECT_THROW(rewritten(Bytes(seed.begin(), seed.begin() + cut)), EndOfFile) << cut;
        breakAll();
        ASSERT_TRUE(liveNodes.empty()) << "cut " << cut;
    }
    std::mt19937 random(0x5EED1234u);
    const std::uint32_t words[] = {0, 1, 2, 3, 5, 0xFF, 0x1000, 0x7FFFFFFF, 0xFFFFFFF0, 0xFFFFFFFF};
    int graphs = 0;
    for (int round = 0; round < 6000; ++round) {
        Bytes bytes = seed;
        for (unsigned n = 1 + random() % 3; n > 0 && bytes.size() >= 4; --n) {
            const std::size_t at = random() % bytes.size();
            const Bytes slice(bytes.begin() + at, bytes.begin() + std::min(bytes.size(), at + 1 + random() % 24));
            switch (random() % 5) {
            case 0: bytes[at] ^= static_cast<unsigned char>(1u << random() % 8); break;
            case 1: std::memcpy(&bytes[std::min(at, bytes.size() - 4)], &words[random() % 10], 4); break;
            case 2: bytes.resize(at); break;
            case 3: bytes.erase(bytes.begin() + at, bytes.begin() + at + slice.size()); break;
            default: bytes.insert(bytes.begin() + random() % bytes.size(), slice.begin(), slice.end());
            }
        }
        Bytes again;
        if (failure([&] { again = rewritten(bytes); }) == "(nothing thrown)") {
            // A graph read from a mutant, however odd, writes out and reads back alike.
            ASSERT_EQ(rewritten(again), again) << "round " << round;
            ++graphs;
        }
        breakAll();
        ASSERT_TRUE(liveNodes.empty()) << "round " << round << " leaked nodes";
    }
    EXPECT_TRUE(graphs > 50 && graphs < 5000) << graphs << " of 6000 mutants gave a graph";
}

} // namespace
