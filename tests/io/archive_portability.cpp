// One fixed object graph, so that the i686 and x86_64 builds can be held against each
// other and against golden bytes of an earlier writer (the record format is fixed):
//   archive_portability write FILE    writes the graph
//   archive_portability read FILE     reads FILE and writes what it read again: the
//                                     same bytes must come out
//   archive_portability check FILE    read, and the graph written here must give FILE
// The graph holds every encoding a record can carry (ints of both signs, a double,
// bools, 8- and 16-bit texts, an empty text), every kind of link (a ring, a shared
// child, a self-reference) and then a record without identity; a pointer, size_t or
// time_t that slipped into a record would make the widths differ.
#include <vesk/io/archive.h>
#include <vesk/io/memory_stream.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using namespace vesk;

namespace {

using Bytes = std::vector<char>;

struct Node;
std::set<Node*> nodes; // so that the cycles can be broken at the end

struct Node : Serializable {
    Node() { nodes.insert(this); }
    ~Node() override { nodes.erase(this); }
    int number = 0;
    unsigned long flags = 0;
    double weight = 0;
    bool on = false;
    std::string name;
    std::wstring title;
    ref_ptr<Node> left, right;

    void serialize(OutputStream& out) const override {
        out << number << flags << weight << on << name << title;
        Archive::of(out).writeObject(left), Archive::of(out).writeObject(right);
    }
    void deserialize(InputStream& in) override {
        in >> number >> flags >> weight >> on >> name >> title;
        Archive::of(in).readObject(left), Archive::of(in).readObject(right);
    }
};
SerializableImpl<Node> registerNode;

ref_ptr<Node> node(int number, const char* name, const wchar_t* title) {
    ref_ptr<Node> n(new Node);
    n->number = number, n->flags = 0x80000000ul | static_cast<unsigned long>(number & 0xFF);
    n->weight = number * -0.25, n->on = number % 2 != 0, n->name = name, n->title = title;
    return n;
}

void unlinkAll() {
    std::vector<ref_ptr<Node>> links;
    for (Node* n : nodes) links.push_back(std::move(n->left)), links.push_back(std::move(n->right));
}

// The graph, then one object again as a record without identity.
Bytes write(const ref_ptr<Node>& root, const Serializable* single) {
    MemoryOutputStream bytes;
    {
        MemoryInputStream nothing;
        Archive archive(nothing, bytes);
        archive.writeObject(root), archive.writeObject(single);
    }
    const char* data = reinterpret_cast<const char*>(bytes.getData());
    return Bytes(data, data + bytes.getSize());
}

// a -> b -> c -> a (ring), a and b share d, d points at itself, c.right is b.
Bytes writeGraph() {
    ref_ptr<Node> a = node(-7, "alpha", L"\x00C4pfel"), b = node(2147483647, "beta", L""),
                  c = node(-2147483647 - 1, "", L"\x20AC \x4E2D"), d = node(0, "delta", L"d");
    a->left = b, b->left = c, c->left = a, a->right = d, b->right = d, d->left = d, d->right = d, c->right = b;
    Bytes bytes = write(a, d.get());
    return unlinkAll(), bytes;
}

Bytes rewritten(const Bytes& data) {
    MemoryInputStream in(data.data(), static_cast<unsigned>(data.size()));
    MemoryOutputStream nowhere;
    Archive archive(in, nowhere);
    ref_ptr<Node> root;
    archive.readObject(root);
    std::unique_ptr<Serializable> single(archive.readObject());
    if (in.getFilePointer() != data.size()) throw std::runtime_error("bytes after the graph");
    Bytes again = write(root, single.get());
    return unlinkAll(), again;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    try {
        if (mode == "write") {
            const Bytes bytes = writeGraph();
            std::ofstream(argv[2], std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        } else if (mode == "read" || mode == "check") {
            std::ifstream file(argv[2], std::ios::binary);
            const Bytes data{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
            if (mode == "check" && writeGraph() != data) throw std::runtime_error("the writer's bytes differ");
            if (data.empty() || rewritten(data) != data) throw std::runtime_error("the graph read differs");
        } else {
            std::fprintf(stderr, "usage: archive_portability write|read|check FILE\n");
            return 2;
        }
        std::printf("%s %s: graph intact\n", argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "archive_portability: %s\n", e.what());
        return 1;
    }
    return 0;
}
