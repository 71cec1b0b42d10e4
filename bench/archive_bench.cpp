// Archive: write and read back 10^5 small objects referenced 1.3 * 10^5 times (30% of
// the references share an object written before), against cereal's binary archive
// with std::shared_ptr and against a hand-written loop over a std::vector<char>.
#include "harness.h"

#include <vesk/io/archive.h>
#include <vesk/io/memory_stream.h>

#include <cereal/archives/binary.hpp>
#include <cereal/types/memory.hpp>
#include <cereal/types/vector.hpp>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

namespace {

constexpr unsigned objects = 100000;
constexpr unsigned shared = 30000;

struct Fields {
    int id = 0;
    double weight = 0;
    int flags = 0;
};

struct Item : vesk::Serializable, Fields {
    void serialize(vesk::OutputStream& out) const override { out << id << weight << flags; }
    void deserialize(vesk::InputStream& in) override { in >> id >> weight >> flags; }
};
vesk::SerializableImpl<Item> registerItem;

struct CerealItem : Fields {
    template <class A> void serialize(A& archive) { archive(id, weight, flags); }
};

// Which object each reference names: every object once, in order, with the shared
// references to earlier objects mixed in.
std::vector<unsigned> referenceOrder() {
    std::mt19937 random(42);
    std::vector<unsigned> order;
    unsigned next = 0;
    while (order.size() < objects + shared) {
        bool repeat = next > 0 && (next == objects || random() % (objects + shared) < shared);
        order.push_back(repeat ? random() % next : next++);
    }
    return order;
}

void line(const char* what, double seconds, double bytes) {
    std::printf("  %-34s %8.1f ms  %6.2f M objects/s  %7.1f MB/s\n", what, seconds * 1e3,
                objects / seconds / 1e6, bytes / seconds / 1e6);
}

} // namespace

int main() {
    const std::vector<unsigned> order = referenceOrder();

    // vesk::Archive
    std::vector<vesk::ref_ptr<vesk::Serializable>> items;
    for (unsigned i = 0; i < objects; ++i) {
        Item* item = new Item;
        item->id = int(i);
        item->weight = i * 0.5;
        item->flags = int(i % 7);
        items.emplace_back(item);
    }
    auto veskWriteAll = [&](vesk::MemoryOutputStream& out) {
        vesk::MemoryInputStream none;
        vesk::Archive archive(none, out);
        for (unsigned k : order) archive.writeObject(items[k]);
    };
    auto veskWriteJob = [&] {
        vesk::MemoryOutputStream out;
        veskWriteAll(out);
        bench::keep(out.getSize());
    };
    vesk::MemoryOutputStream written;
    veskWriteAll(written);
    const unsigned veskBytes = static_cast<unsigned>(written.getSize());
    auto veskReadJob = [&] {
        vesk::MemoryInputStream in(written.getData(), veskBytes);
        vesk::MemoryOutputStream none;
        std::vector<vesk::ref_ptr<vesk::Serializable>> back(order.size());
        vesk::Archive archive(in, none);
        for (auto& ref : back) archive.readObject(ref);
        bench::keep(static_cast<Item&>(*back.back()).id);
    };

    // cereal, binary archive, std::shared_ptr
    std::vector<std::shared_ptr<CerealItem>> cerealItems, cerealRefs;
    for (unsigned i = 0; i < objects; ++i) {
        auto item = std::make_shared<CerealItem>();
        item->id = int(i);
        item->weight = i * 0.5;
        item->flags = int(i % 7);
        cerealItems.push_back(item);
    }
    for (unsigned k : order) cerealRefs.push_back(cerealItems[k]);
    auto cerealWriteAll = [&](std::ostringstream& out) {
        cereal::BinaryOutputArchive archive(out);
        archive(cerealRefs);
    };
    auto cerealWriteJob = [&] {
        std::ostringstream out;
        cerealWriteAll(out);
        bench::keep(out.tellp());
    };
    std::ostringstream cerealOut;
    cerealWriteAll(cerealOut);
    const std::string cerealData = cerealOut.str();
    auto cerealReadJob = [&] {
        std::istringstream in(cerealData);
        std::vector<std::shared_ptr<CerealItem>> back;
        {
            cereal::BinaryInputArchive archive(in);
            archive(back);
        }
        bench::keep(back.back()->id);
    };

    // Hand-written: a first reference writes 0, the index and the fields; a repeat the
    // index + 1 alone.
    std::vector<char> handData;
    auto handWriteJob = [&] {
        std::vector<char> out;
        std::vector<bool> seen(objects);
        auto put = [&](const void* p, std::size_t n) {
            out.insert(out.end(), static_cast<const char*>(p), static_cast<const char*>(p) + n);
        };
        for (unsigned k : order) {
            std::uint32_t word = seen[k] ? k + 1 : 0;
            put(&word, 4);
            if (!seen[k]) {
                seen[k] = true;
                const Fields& f = *cerealItems[k];
                put(&k, 4);
                put(&f.id, 4);
                put(&f.weight, 8);
                put(&f.flags, 4);
            }
        }
        handData.swap(out);
    };
    handWriteJob();
    auto handReadJob = [&] {
        std::vector<std::shared_ptr<Fields>> made(objects), back;
        back.reserve(order.size());
        const char* p = handData.data();
        const char* end = p + handData.size();
        auto get = [&](void* v, std::size_t n) {
            std::memcpy(v, p, n);
            p += n;
        };
        while (p < end) {
            std::uint32_t word, index;
            get(&word, 4);
            if (word != 0) {
                back.push_back(made[word - 1]);
                continue;
            }
            get(&index, 4);
            auto f = std::make_shared<Fields>();
            get(&f->id, 4);
            get(&f->weight, 8);
            get(&f->flags, 4);
            made[index] = f;
            back.push_back(f);
        }
        bench::keep(back.back()->id);
    };

    // All six take turns, so that the load of a shared machine hits each alike.
    const std::vector<double> t =
        bench::mediansInTurns({veskWriteJob, cerealWriteJob, handWriteJob, veskReadJob, cerealReadJob, handReadJob});
    const double veskWrite = t[0], cerealWrite = t[1], handWrite = t[2], veskRead = t[3], cerealRead = t[4],
                 handRead = t[5];
    std::printf("%u objects, %u references (%u shared)\n", objects, unsigned(order.size()), shared);
    std::printf("write:\n");
    line("vesk::Archive -> MemoryOutputStream", veskWrite, veskBytes);
    line("cereal binary, shared_ptr", cerealWrite, double(cerealData.size()));
    line("hand-written vector<char>", handWrite, double(handData.size()));
    std::printf("read:\n");
    line("vesk::Archive <- MemoryInputStream", veskRead, veskBytes);
    line("cereal binary, shared_ptr", cerealRead, double(cerealData.size()));
    line("hand-written vector<char>", handRead, double(handData.size()));
    std::printf("bytes: vesk %u, cereal %u, hand-written %u (vesk records carry the class name)\n", veskBytes,
                unsigned(cerealData.size()), unsigned(handData.size()));
    bench::report("vesk::Archive write", veskWrite, "cereal write", cerealWrite, objects, 1.0);
    bench::report("vesk::Archive read", veskRead, "cereal read", cerealRead, objects, 1.0);
    bench::report("vesk::Archive write", veskWrite, "hand-written write", handWrite, objects);
    bench::report("vesk::Archive read", veskRead, "hand-written read", handRead, objects);
    return 0;
}
