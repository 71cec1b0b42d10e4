// Atom: the owner of a local or global atom.
#pragma once

#include <vesk/config.h>
#include <vesk/text/string.h>

#include <windows.h>

namespace vesk {

// Copies refer to the atom without owning it: each created atom is deleted once.
// A move hands ownership over and leaves the source referring; assigning an atom
// this object already names (itself, a copy of itself) keeps its one owner.
class VESK_API Atom {
public:
    enum mode { not_owned = 0, local = 1, global = 2 };

    Atom() : handle(0), how(not_owned) {}
    explicit Atom(ATOM a) : handle(a), how(not_owned) {}
    Atom(const char* text, bool global);
    Atom(const wchar_t* text, bool global);
    Atom(const Atom& other) : handle(other.handle), how(other.how), view(true) {}
    Atom(Atom&& other) noexcept : handle(other.handle), how(other.how), view(other.view) { other.view = true; }
    // A copy or a move, made first and then taken over.
    Atom& operator=(Atom other);
    ~Atom();
    void swap(Atom& other) noexcept;

    void create(const char* text, bool global);
    void create(const wchar_t* text, bool global);
    void close();

    // The whole name (an atom name has at most 255 characters).
    BasicString<char> getNameA() const;
    BasicString<char> getNameT() const { return getNameA(); }
    BasicString<wchar_t> getNameW() const;

    ATOM getHandle() const { return handle; }
    mode getMode() const { return how; }
    bool isOwned() const { return how != not_owned && !view; }
    explicit operator bool() const { return handle != 0; }
    bool operator!() const { return handle == 0; }

protected:
    void setHandle(ATOM a, mode m);

private:
    void adopt(Atom& from);

    ATOM handle;
    mode how;
    // A copy: knows where the atom lives, never deletes it.
    bool view = false;
};

} // namespace vesk
