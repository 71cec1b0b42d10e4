// Atom: adding, naming and deleting local and global atoms.
#include <vesk/errors/exception.h>
#include <vesk/gui/atom.h>

#include <string>
#include <utility>

namespace vesk {

Atom::Atom(const char* text, bool global) : Atom() { create(text, global); }
Atom::Atom(const wchar_t* text, bool global) : Atom() { create(text, global); }

Atom& Atom::operator=(Atom other) {
    adopt(other);
    return *this;
}

void Atom::swap(Atom& other) noexcept {
    std::swap(handle, other.handle);
    std::swap(how, other.how);
    std::swap(view, other.view);
}

// As Menu::adopt: the same atom (the same number in the same table) only merges
// ownership; another one is swapped in and the old one deleted afterwards.
void Atom::adopt(Atom& from) {
    if (from.handle == handle && from.how == how) {
        view = view && from.view;
        from.view = true;
        return;
    }
    swap(from);
    from.close();
}

Atom::~Atom() {
    try {
        close();
    } catch (...) {
    }
}

void Atom::setHandle(ATOM a, mode m) {
    close();
    handle = a;
    how = m;
    view = false;
}

void Atom::create(const char* text, bool global) {
    close();
    const ATOM a = global ? GlobalAddAtomA(text) : AddAtomA(text);
    if (!a)
        throw WindowsError("Can't create atom");
    setHandle(a, global ? Atom::global : local);
}

void Atom::create(const wchar_t* text, bool global) { create(BasicString<char>(text).c_str(), global); }

void Atom::close() {
    if (handle && !view && how != not_owned) {
        SetLastError(0);
        // Both calls give 0 on success and the atom back on failure.
        const ATOM left = how == global ? GlobalDeleteAtom(handle) : DeleteAtom(handle);
        if (left)
            throw WindowsError("Can't delete atom");
    }
    handle = 0;
    how = not_owned;
    view = false;
}

BasicString<char> Atom::getNameA() const {
    // 255 characters at most, but up to three bytes each in a UTF-8 process.
    char buffer[256 * 3];
    const UINT length = how == global ? GlobalGetAtomNameA(handle, buffer, sizeof(buffer))
                                      : GetAtomNameA(handle, buffer, sizeof(buffer));
    if (!length)
        throw WindowsError("Can't retrieve atom name");
    return BasicString<char>(buffer, length);
}

BasicString<wchar_t> Atom::getNameW() const {
    const BasicString<char> name = getNameA();
    return BasicString<wchar_t>(name.data(), unsigned(name.size()));
}

} // namespace vesk
