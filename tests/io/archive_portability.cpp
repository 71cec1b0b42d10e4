// Writes or reads one fixed object graph, so that scripts can check that the i686
// and x86_64 builds write the same archive bytes and read each other's archives.
//   archive_portability write FILE    writes the graph
//   archive_portability read FILE     reads it back and checks every value and link
//   archive_portability check FILE    writes the graph, compares the bytes with FILE
//                                     (golden bytes of an earlier writer), reads FILE back
// The graph holds every encoding a record can carry (ints of both signs, a double,
// bools, 8- and 16-bit texts, an empty text), every kind of link (a ring, a shared
// child, a self-reference) and a record without identity; a pointer, size_t or time_t
// that slipped into a record would make the widths differ.
#include <vesk/io/archive.h>
#include <vesk/io/memory_stream.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace vesk;

namespace {

class Node : public Serializable {
public:
    int number = 0;
    unsigned long flags = 0;
    double weight = 0;
    bool on = false;
    std::string name;
    std::wstring title;
    ref_ptr<Node> left, right;

    void serialize(OutputStream& out) const override {
        out << number << flags << weight << on << name << title;
        Archive::of(out).writeObject(left);
        Archive::of(out).writeObject(right);
    }
    void deserialize(InputStream& in) override {
        in >> number >> flags >> weight >> on >> name >> title;
        Archive::of(in).readObject(left);
        Archive::of(in).readObject(right);
    }
};
SerializableImpl<Node> registerNode;

ref_ptr<Node> node(int number, const char* name, const wchar_t* title) {
    ref_ptr<Node> n(new Node);
    n->number = number;
    n->flags = 0x80000000ul | static_cast<unsigned long>(number & 0xFF);
    n->weight = number * -0.25;
    n->on = number % 2 != 0;
    n->name = name;
    n->title = title;
    return n;
}

// a -> b -> c -> a (ring), a and b share d, d points at itself, c.right is b.
ref_ptr<Node> build() {
    ref_ptr<Node> a = node(-7, "alpha", L"\x00C4pfel"), b = node(2147483647, "beta", L""),
                  c = node(-2147483647 - 1, "", L"\x20AC \x4E2D"), d = node(0, "delta", L"d");
    a->left = b;
    b->left = c;
    c->left = a;
    a->right = d;
    b->right = d;
    d->left = d;
    d->right = d;
    c->right = b;
    return a;
}

void unlink(const ref_ptr<Node>& a) {
    a->left->left->left = ref_ptr<Node>();
    a->left->left->right = ref_ptr<Node>();
    a->right->left = ref_ptr<Node>();
    a->right->right = ref_ptr<Node>();
}

void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("graph differs: ") + what);
}

void checkNode(const Node& n, const Node& expected) {
    check(n.number == expected.number && n.flags == expected.flags && n.weight == expected.weight &&
              n.on == expected.on && n.name == expected.name && n.title == expected.title,
          "a value");
}

void verify(const ref_ptr<Node>& a) {
    ref_ptr<Node> want = build();
    check(a.get() != nullptr, "no root");
    const Node *b = a->left.get(), *c = b ? b->left.get() : nullptr, *d = a->right.get();
    check(b && c && d, "a missing link");
    checkNode(*a, *want);
    checkNode(*b, *want->left);
    checkNode(*c, *want->left->left);
    checkNode(*d, *want->right);
    check(c->left.get() == a.get(), "the ring is not closed");
    check(b->right.get() == d, "the shared child was copied");
    check(d->left.get() == d && d->right.get() == d, "the self-reference");
    check(c->right.get() == b, "the link back up the ring");
    unlink(want);
}

std::vector<char> writeGraph() {
    ref_ptr<Node> root = build();
    MemoryOutputStream bytes;
    {
        MemoryInputStream nothing;
        Archive archive(nothing, bytes);
        archive.writeObject(root);
        archive.writeObject(static_cast<const Serializable*>(root->right.get())); // d again, without identity
    }
    unlink(root); // break the cycles so the graph is freed
    const char* data = reinterpret_cast<const char*>(bytes.getData());
    return std::vector<char>(data, data + bytes.getSize());
}

void readGraph(const std::vector<char>& data) {
    MemoryInputStream in(data.data(), static_cast<unsigned>(data.size()));
    MemoryOutputStream nowhere;
    Archive archive(in, nowhere);
    ref_ptr<Node> root;
    archive.readObject(root);
    verify(root);
    std::unique_ptr<Serializable> single(archive.readObject());
    const Node* copy = dynamic_cast<const Node*>(single.get());
    check(copy && copy != root->right.get() && copy->left == root->right, "the record without identity");
    check(in.getFilePointer() == data.size(), "bytes after the graph");
    unlink(root);
}

std::vector<char> load(const char* path) {
    std::vector<char> data;
    FILE* f = std::fopen(path, "rb");
    if (!f) throw std::runtime_error(std::string("can't read ") + path);
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) data.insert(data.end(), chunk, chunk + n);
    std::fclose(f);
    return data;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    if (mode != "write" && mode != "read" && mode != "check") {
        std::fprintf(stderr, "usage: archive_portability write|read|check FILE\n");
        return 2;
    }
    try {
        if (mode == "write") {
            const std::vector<char> bytes = writeGraph();
            FILE* f = std::fopen(argv[2], "wb");
            if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
                throw std::runtime_error(std::string("can't write ") + argv[2]);
            std::fclose(f);
            std::printf("wrote %u bytes\n", static_cast<unsigned>(bytes.size()));
        } else {
            const std::vector<char> data = load(argv[2]);
            if (mode == "check") {
                const std::vector<char> bytes = writeGraph();
                const auto differ = std::mismatch(bytes.begin(), bytes.end(), data.begin(), data.end());
                if (differ.first != bytes.end() || differ.second != data.end())
                    throw std::runtime_error("the writer's bytes differ from the golden ones from byte " +
                                             std::to_string(differ.first - bytes.begin()));
            }
            readGraph(data);
            std::printf("%s %u bytes: graph intact\n", argv[1], static_cast<unsigned>(data.size()));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "archive_portability: %s\n", e.what());
        return 1;
    }
    return 0;
}
