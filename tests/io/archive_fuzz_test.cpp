// Archives under hostile input: thousands of mutated and truncated archives (fixed
// seed) must each give a well-formed graph or a library exception (vesk::Exception,
// Serializable::Exception or EndOfFile): never a crash, a hang, another exception or
// a leaked object. A graph read from a mutant must itself write and read back alike.
#include <vesk/errors/exception.h>
#include <vesk/io/archive.h>
#include <vesk/io/memory_stream.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <typeinfo>
#include <vector>

using namespace vesk;

namespace {

using Bytes = std::vector<unsigned char>;

// A plain record's object as the class the field needs, or Serializable::Exception.
template <class T> std::unique_ptr<T> readAs(InputStream& in) {
    std::unique_ptr<Serializable> object(in.readObject());
    if (!dynamic_cast<T*>(object.get())) throw Serializable::Exception("not the class of the field");
    return std::unique_ptr<T>(static_cast<T*>(object.release()));
}

Bytes contents(MemoryOutputStream& out) {
    return out.getSize() ? Bytes(out.getData(), out.getData() + out.getSize()) : Bytes();
}

// A plain record (no identity), nested through the plain stream form.
struct Leaf : Serializable {
    static int live;
    Leaf() { ++live; }
    ~Leaf() override { --live; }
    void serialize(OutputStream& out) const override {
        out << number << wide << static_cast<bool>(inner);
        if (inner) out.writeObject(inner.get());
    }
    void deserialize(InputStream& in) override {
        bool more;
        in >> number >> wide >> more;
        if (more) inner = readAs<Leaf>(in);
    }
    double number = 0;
    std::wstring wide;
    std::unique_ptr<Leaf> inner;
};
int Leaf::live = 0;
SerializableImpl<Leaf> registerLeaf;

struct Node : Serializable {
    static std::set<Node*>& all() {
        static std::set<Node*> nodes;
        return nodes;
    }
    Node() { all().insert(this); }
    ~Node() override { all().erase(this); }

    void serialize(OutputStream& out) const override {
        Archive& archive = Archive::of(out);
        out << name << value << static_cast<unsigned>(links.size());
        for (const ref_ptr<Node>& link : links) archive.writeObject(link);
        out << static_cast<bool>(leaf);
        if (leaf) out.writeObject(leaf.get());
    }
    void deserialize(InputStream& in) override {
        Archive& archive = Archive::of(in);
        unsigned count;
        in >> name >> value >> count;
        for (unsigned i = 0; i < count; ++i) {
            ref_ptr<Node> link;
            archive.readObject(link);
            links.push_back(link);
        }
        bool hasLeaf;
        in >> hasLeaf;
        if (hasLeaf) leaf = readAs<Leaf>(in);
    }

    std::string name;
    int value = 0;
    std::vector<ref_ptr<Node>> links;
    std::unique_ptr<Leaf> leaf;
};
SerializableImpl<Node> registerNode;

// Top-level records of every archive here: shared, shared, single, shared.
struct Graph {
    ref_ptr<Serializable> shared[3];
    std::unique_ptr<Serializable> single;
};

ref_ptr<Node> makeNode(const std::string& name, int value) {
    ref_ptr<Node> n(new Node);
    n->name = name;
    n->value = value;
    return n;
}

Graph seedGraph(std::mt19937& random) {
    // A ring, a diamond, a self-reference and a random mesh, sharing some nodes.
    std::vector<ref_ptr<Node>> nodes;
    for (int i = 0; i < 24; ++i) nodes.push_back(makeNode("n" + std::to_string(i), i * 1000 - 7));
    for (int i = 0; i < 3; ++i) nodes[i]->links.push_back(nodes[(i + 1) % 3]);
    nodes[3]->links = {nodes[4], nodes[5]};
    nodes[4]->links = {nodes[6]};
    nodes[5]->links = {nodes[6]};
    nodes[7]->links = {nodes[7]};
    for (int i = 8; i < 24; ++i)
        for (int k = 0; k < 3; ++k)
            if (random() % 2) nodes[i]->links.push_back(nodes[random() % 24]);
    for (int i = 0; i < 24; i += 5) {
        nodes[i]->leaf.reset(new Leaf);
        nodes[i]->leaf->number = i / 4.0;
        nodes[i]->leaf->wide = L"leaf\u00E4";
        if (i % 10 == 0) {
            nodes[i]->leaf->inner.reset(new Leaf);
            nodes[i]->leaf->inner->wide = L"inner";
        }
    }
    Graph graph;
    graph.shared[0] = nodes[0];
    graph.shared[1] = nodes[3];
    graph.shared[2] = nodes[8 + random() % 16];
    std::unique_ptr<Node> single(new Node);
    single->name = "single";
    single->links = {nodes[7], nodes[1]};
    graph.single = std::move(single);
    return graph;
}

Bytes writeGraph(const Graph& graph) {
    MemoryInputStream none;
    MemoryOutputStream out;
    {
        Archive archive(none, out);
        archive.writeObject(graph.shared[0]);
        archive.writeObject(graph.shared[1]);
        archive.writeObject(graph.single.get());
        archive.writeObject(graph.shared[2]);
    }
    return contents(out);
}

Graph readGraph(const Bytes& bytes) {
    MemoryInputStream in(bytes.data(), static_cast<unsigned>(bytes.size()));
    MemoryOutputStream none;
    Archive archive(in, none);
    Graph graph;
    archive.readObject(graph.shared[0]);
    archive.readObject(graph.shared[1]);
    graph.single.reset(archive.readObject());
    archive.readObject(graph.shared[2]);
    return graph;
}

// Lets every node go, cycles included; afterwards nothing may be alive.
void breakAll() {
    std::vector<ref_ptr<Node>> links;
    for (Node* n : Node::all())
        for (ref_ptr<Node>& link : n->links) links.push_back(std::move(link));
    links.clear();
}

void mutate(Bytes& bytes, std::mt19937& random) {
    static const std::uint32_t words[] = {0, 1, 2, 3, 4, 0x7F, 0xFF, 0x1000, 0xFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE,
                                          0xFFFFFFFF};
    if (bytes.empty()) return;
    switch (random() % 7) {
    case 0: // flip one bit
        bytes[random() % bytes.size()] ^= static_cast<unsigned char>(1u << (random() % 8));
        break;
    case 1: // a random byte
        bytes[random() % bytes.size()] = static_cast<unsigned char>(random());
        break;
    case 2: // an interesting 32-bit word, aligned to a word of the records
        if (bytes.size() >= 4) {
            std::size_t at = (random() % (bytes.size() - 3)) & ~std::size_t(3);
            std::uint32_t word = words[random() % (sizeof(words) / sizeof(words[0]))];
            std::memcpy(bytes.data() + at, &word, 4);
        }
        break;
    case 3: // truncate
        bytes.resize(random() % bytes.size());
        break;
    case 4: { // remove a slice
        std::size_t at = random() % bytes.size();
        std::size_t n = std::min<std::size_t>(1 + random() % 16, bytes.size() - at);
        bytes.erase(bytes.begin() + at, bytes.begin() + at + n);
        break;
    }
    case 5: { // repeat a slice
        std::size_t at = random() % bytes.size();
        std::size_t n = std::min<std::size_t>(1 + random() % 32, bytes.size() - at);
        Bytes slice(bytes.begin() + at, bytes.begin() + at + n);
        bytes.insert(bytes.begin() + random() % bytes.size(), slice.begin(), slice.end());
        break;
    }
    default: // a small number anywhere, unaligned
        if (bytes.size() >= 4) {
            std::uint32_t word = random() % 40;
            std::memcpy(bytes.data() + random() % (bytes.size() - 3), &word, 4);
        }
        break;
    }
}

class ArchiveFuzz : public ::testing::Test {
protected:
    void TearDown() override {
        breakAll();
        EXPECT_TRUE(Node::all().empty()) << Node::all().size() << " nodes leaked";
        EXPECT_EQ(Leaf::live, 0) << "leaves leaked";
    }
};

TEST_F(ArchiveFuzz, SeedGraphsComeBackAsWritten) {
    std::mt19937 random(20240611u);
    for (int i = 0; i < 20; ++i) {
        Graph graph = seedGraph(random);
        Bytes bytes = writeGraph(graph);
        Graph back = readGraph(bytes);
        EXPECT_EQ(writeGraph(back), bytes);
        Node& ring = dynamic_cast<Node&>(*back.shared[0]);
        EXPECT_EQ(ring.links.at(0)->links.at(0)->links.at(0).get(), &ring);
        Node& single = dynamic_cast<Node&>(*back.single);
        EXPECT_EQ(single.links.at(1).get(), ring.links.at(0).get());
        breakAll();
    }
}

TEST_F(ArchiveFuzz, MutantsGiveAGraphOrALibraryException) {
    std::mt19937 random(0x5EED1234u);
    int graphs = 0, refused = 0;
    std::vector<Bytes> seeds;
    for (int i = 0; i < 8; ++i) {
        Graph graph = seedGraph(random);
        seeds.push_back(writeGraph(graph));
        breakAll();
    }
    for (int round = 0; round < 6000; ++round) {
        Bytes bytes = seeds[round % seeds.size()];
        for (unsigned n = 1 + random() % 4; n > 0; --n) mutate(bytes, random);
        try {
            Graph back = readGraph(bytes);
            // A graph, however odd: it writes out and reads back to the same bytes.
            Bytes again = writeGraph(back);
            Graph twice = readGraph(again);
            ASSERT_EQ(writeGraph(twice), again) << "round " << round;
            ++graphs;
        } catch (const EndOfFile&) {
            ++refused;
        } catch (const vesk::Exception&) {
            ++refused;
        } catch (const std::exception& e) {
            FAIL() << "round " << round << ": not a library exception: " << typeid(e).name() << ": " << e.what();
        }
        breakAll();
        ASSERT_TRUE(Node::all().empty()) << "round " << round << " leaked nodes";
        ASSERT_EQ(Leaf::live, 0) << "round " << round << " leaked leaves";
    }
    EXPECT_GT(graphs, 100) << "mutants that still make graphs";
    EXPECT_GT(refused, 1000);
}

TEST_F(ArchiveFuzz, EveryTruncationIsEndOfFile) {
    std::mt19937 random(7u);
    Graph graph = seedGraph(random);
    Bytes bytes = writeGraph(graph);
    graph = Graph();
    breakAll();
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        Bytes part(bytes.begin(), bytes.begin() + cut);
        EXPECT_THROW(readGraph(part), EndOfFile) << cut;
        breakAll();
        ASSERT_TRUE(Node::all().empty()) << "cut " << cut;
    }
}

TEST_F(ArchiveFuzz, EndlessNestingEndsAtTheBound) {
    // Records whose bodies each open the next one, far past the bound, and a leaf
    // chain doing the same through the plain form.
    const std::string node = typeid(Node).name(), leaf = typeid(Leaf).name();
    Bytes bytes;
    auto word = [&](std::uint32_t w) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(w >> (8 * i)));
    };
    for (std::uint32_t i = 1; i <= Serializable::defaultMaxDepth + 500; ++i) {
        word(0);
        word(i);
        word(static_cast<std::uint32_t>(node.size()));
        bytes.insert(bytes.end(), node.begin(), node.end());
        word(0); // empty name
        word(0); // value
        word(1); // one link: the next record
    }
    EXPECT_THROW(readGraph(bytes), Serializable::Exception);
    breakAll();

    bytes.clear();
    word(0);
    word(1);
    word(static_cast<std::uint32_t>(node.size()));
    bytes.insert(bytes.end(), node.begin(), node.end());
    word(0);
    word(0);
    word(0);
    bytes.push_back(1); // a leaf
    for (unsigned i = 0; i < Serializable::defaultMaxDepth + 500; ++i) {
        word(static_cast<std::uint32_t>(leaf.size()));
        bytes.insert(bytes.end(), leaf.begin(), leaf.end());
        bytes.insert(bytes.end(), 8, 0); // number
        word(0);                         // wide text
        bytes.push_back(1);              // and another leaf inside
    }
    EXPECT_THROW(readGraph(bytes), Serializable::Exception);
}

} // namespace
