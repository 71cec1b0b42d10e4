// Tour stop: files and threads. An object graph is written through an Archive to a
// TemporaryFile; a worker Thread reads it back while the main thread waits on an
// Event, and both count into one total under a CriticalSection.
#include "tour.h"

#include <vesk/io/archive.h>
#include <vesk/io/memory_stream.h>
#include <vesk/io/temporary_file.h>
#include <vesk/io/windows_file.h>
#include <vesk/system/lock.h>
#include <vesk/system/thread.h>

#include <string>

namespace {

using namespace vesk;

class Note : public Serializable {
public:
    std::string text;
    ref_ptr<Note> next;

    // The last note has no next one: a flag says whether a record follows.
    void serialize(OutputStream& out) const override {
        out << text << static_cast<bool>(next);
        if (next) Archive::of(out).writeObject(next);
    }
    void deserialize(InputStream& in) override {
        bool more = false;
        in >> text >> more;
        if (more) Archive::of(in).readObject(next);
    }
};
SerializableImpl<Note> registerNote;

// Reads the archive on a thread of its own and counts the notes into a shared total.
class Reader : public Thread {
public:
    Reader(const char* path, CriticalSection& lock, int& total, Event& done)
        : path(path), lock(lock), total(total), done(done) {}
    ~Reader() override {
        if (isOpen()) join();
    }

    ref_ptr<Note> first;

private:
    unsigned long run() override {
        WindowsFile file(path, GENERIC_READ, FILE_SHARE_READ);
        MemoryOutputStream nothing;
        Archive(file, nothing).readObject(first);
        int notes = 0;
        for (const Note* n = first.get(); n; n = n->next.get()) ++notes;
        {
            AutoLock hold(lock);
            total += notes;
        }
        done.set();
        return static_cast<unsigned long>(notes);
    }

    const char* path;
    CriticalSection& lock;
    int& total;
    Event& done;
};

void threadStop() {
    ref_ptr<Note> list;
    for (const char* text : {"third", "second", "first"}) {
        ref_ptr<Note> n(new Note);
        n->text = text;
        n->next = list;
        list = n;
    }

    TemporaryFile temporary;
    temporary.create();
    {
        WindowsFile file(temporary.getPathA().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS);
        MemoryInputStream nothing;
        Archive(nothing, file).writeObject(list);
        std::printf("wrote three notes to %s: %u bytes\n", temporary.getPathA().c_str(),
                    static_cast<unsigned>(file.getSize()));
    }

    CriticalSection lock;
    int total = 0;
    Event done;
    Reader reader(temporary.getPathA().c_str(), lock, total, done);
    reader.start(true);
    std::printf("worker started suspended: running %s\n", reader.isRunning() ? "yes" : "no");
    reader.resume();
    const bool signalled = done.wait(10000) == WindowsHandle::signaled;
    const unsigned long exitCode = reader.join();
    {
        AutoLock hold(lock);
        total += 100;
    }
    std::printf("worker %lu signalled %s, exit code %lu, running now %s\n", reader.getID(), signalled ? "yes" : "no",
                exitCode, reader.isRunning() ? "yes" : "no");
    std::printf("read back:");
    for (const Note* n = reader.first.get(); n; n = n->next.get()) std::printf(" %s", n->text.c_str());
    std::printf("\nshared total under the lock: %d (the worker's 3 and the main thread's 100)\n", total);
    const std::string path = temporary.getPathA();
    temporary.remove();
    std::printf("temporary file removed: %s\n",
                GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? "yes" : "no");
}

} // namespace

TOUR_STOP(60, "Files and threads: an archive in a temporary file, read by a worker", threadStop);
