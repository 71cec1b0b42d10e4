// BasicString<C> for char and wchar_t; every member lives here so that users
// of the DLL get one implementation.
#include <vesk/text/string.h>

#include <vesk/errors/exception.h>
#include <vesk/system/module.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <locale>
#include <vector>

namespace vesk {

namespace {

template <class C> std::size_t textLength(const C* text) { return text ? std::char_traits<C>::length(text) : 0; }

template <class C> using Helper = StringHelper<C>;

// Case change goes through the narrow runtime functions for both widths, so
// only ASCII letters move in the default locale. Units outside 0..255 are left
// as they are: the runtime's tables cover 8-bit values only.
template <class C> C narrowCase(C c, bool upper) {
    using U = std::make_unsigned_t<C>;
    const unsigned value = U(c);
    if (value > 0xFF) return c;
    const int changed = upper ? ::toupper(int(value)) : ::tolower(int(value));
    return C(U(changed & (sizeof(C) == 1 ? 0xFF : 0xFFFF)));
}

template <class C> bool trimmed(C c) {
    if (c == C(0)) return true;
    return std::use_facet<std::ctype<C>>(std::locale()).is(std::ctype_base::space | std::ctype_base::blank, c);
}

std::string fromOther(const wchar_t* text, unsigned count) { return StringHelper<char>::convert(text, count, 0); }
std::wstring fromOther(const char* text, unsigned count) {
    return count == ConstString<char>::unknownLength ? StringHelper<wchar_t>::convert(text)
                                                     : StringHelper<wchar_t>::convert(text, count);
}

} // namespace

template <class C> BasicString<C>::BasicString(const Base& s) : Base(s) {}

template <class C> BasicString<C>::BasicString(Base&& s) noexcept : Base(std::move(s)) {}

template <class C> BasicString<C>& BasicString<C>::operator=(const ConstString<C>& view) { return assign(view); }

template <class C> BasicString<C>::operator const C*() const { return this->c_str(); }

template <class C> BasicString<C>::BasicString(const C* text) : Base(text ? text : Base()) {}

template <class C> BasicString<C>::BasicString(const C* text, unsigned count) {
    assign(text, count);
}

template <class C> BasicString<C>::BasicString(const Other* text) : Base(fromOther(text, 0xFFFFFFFFu)) {}

template <class C> BasicString<C>::BasicString(const Other* text, unsigned count) : Base(fromOther(text, count)) {}

template <class C> BasicString<C>::BasicString(int value, int radix) {
    // _itoa has no way to report a bad radix; 2..36 are the ones it knows.
    if (radix < 2 || radix > 36)
        throw CRTError(EINVAL, BasicString<char>::fromFormat("Can't format a number in radix %d", radix));
    C buffer[72];
    Base::assign(Helper<C>::itos(value, buffer, radix));
}

template <class C> BasicString<C>& BasicString<C>::assign(const C* text) {
    if (text)
        Base::assign(text);
    else
        Base::clear();
    return *this;
}

template <class C> BasicString<C>& BasicString<C>::assign(const C* text, unsigned count) {
    if (!text)
        Base::clear();
    else if (count == ConstString<C>::unknownLength)
        Base::assign(text);
    else
        Base::assign(text, count);
    return *this;
}

template <class C> BasicString<C>& BasicString<C>::assign(const Other* text, unsigned count) {
    Base::operator=(fromOther(text, count));
    return *this;
}

template <class C> BasicString<C>& BasicString<C>::assign(const Base& s) {
    Base::assign(s);
    return *this;
}

template <class C> BasicString<C>& BasicString<C>::assign(const ConstString<C>& view) {
    return assign(view.text, view.length);
}

template <class C> BasicString<C> BasicString<C>::Time() {
    C buffer[32] = {};
    return BasicString(Helper<C>::time(buffer));
}

template <class C> BasicString<C> BasicString<C>::Date() {
    C buffer[32] = {};
    return BasicString(Helper<C>::date(buffer));
}

template <class C> BasicString<C> BasicString<C>::fromResource(unsigned id, HINSTANCE instance) {
    std::vector<C> buffer;
    const unsigned n = loadStringResource(buffer, id, instance);
    return BasicString(buffer.data(), n);
}

template <class C> BasicString<C> BasicString<C>::fromFormatV(const C* format, va_list args) {
    // The runtime does not terminate a truncated result: the last unit is
    // reserved for the NUL, so at most 1999 characters come back, cut before
    // a character that would not fit whole.
    constexpr unsigned size = 2000;
    C buffer[size];
    int written = Helper<C>::vsnprintf(buffer, size, format ? format : BasicString().c_str(), args);
    unsigned length = written < 0 || unsigned(written) >= size ? Helper<C>::wholeCharacters(buffer, size - 1) : unsigned(written);
    buffer[length] = C(0);
    return BasicString(buffer, unsigned(std::char_traits<C>::length(buffer)));
}

template <class C> BasicString<C> BasicString<C>::fromFormat(const C* format, ...) {
    va_list args;
    va_start(args, format);
    try {
        BasicString result = fromFormatV(format, args);
        va_end(args);
        return result;
    } catch (...) {
        va_end(args);
        throw;
    }
}

template <class C> BasicString<C> BasicString<C>::fromInt(int value, int radix) { return BasicString(value, radix); }

template <class C> BasicString<C> BasicString<C>::operator+(const C* text) const {
    BasicString result(*this);
    if (text) result.append(text);
    return result;
}

template <class C> BasicString<C> BasicString<C>::operator+(const Base& s) const {
    BasicString result(*this);
    result.append(s);
    return result;
}

template <class C> BasicString<C> BasicString<C>::operator+(const BasicString& s) const {
    return operator+(static_cast<const Base&>(s));
}

template <class C> BasicString<C> BasicString<C>::operator+(C c) const {
    BasicString result(*this);
    result.push_back(c);
    return result;
}

template <class C> BasicString<C> BasicString<C>::left(unsigned n) const { return BasicString(Base::substr(0, n)); }

template <class C> BasicString<C> BasicString<C>::mid(unsigned start, unsigned n) const {
    return BasicString(Base::substr(start, n == 0xFFFFFFFFu ? npos : n));
}

template <class C> BasicString<C> BasicString<C>::right(unsigned n) const {
    if (n >= Base::size()) return *this;
    return BasicString(Base::substr(Base::size() - n));
}

template <class C> BasicString<C> BasicString<C>::trimLeft() const {
    size_type first = 0;
    while (first < Base::size() && trimmed((*this)[first])) ++first;
    return BasicString(Base::substr(first));
}

template <class C> BasicString<C> BasicString<C>::trimRight() const {
    size_type kept = Base::size();
    while (kept > 0 && trimmed((*this)[kept - 1])) --kept;
    return BasicString(Base::substr(0, kept));
}

template <class C> BasicString<C> BasicString<C>::trim() const { return trimRight().trimLeft(); }

template <class C> BasicString<C> BasicString<C>::toLower() const { return BasicString(*this).makeLower(); }

template <class C> BasicString<C> BasicString<C>::toUpper() const { return BasicString(*this).makeUpper(); }

template <class C> BasicString<C>& BasicString<C>::makeLower() {
    for (C& c : *this) c = narrowCase(c, false);
    return *this;
}

template <class C> BasicString<C>& BasicString<C>::makeUpper() {
    for (C& c : *this) c = narrowCase(c, true);
    return *this;
}

template <class C> BasicString<C> BasicString<C>::substring(const C* separator, int index) const {
    const size_type sepLength = textLength(separator);
    static const C none[1] = {C(0)};
    const C* sep = separator ? separator : none;
    size_type start = 0;
    for (int i = 0; i < index; ++i) {
        size_type p = Base::find(sep, start, sepLength);
        if (p == npos) return BasicString();
        start = p + sepLength;
    }
    size_type end = Base::find(sep, start, sepLength);
    return BasicString(Base::substr(start, end == npos ? npos : end - start));
}

template <class C> BasicString<C> BasicString<C>::replaceAll(const C* search, const C* replacement) const {
    BasicString copy(*this);
    const size_type searchLength = textLength(search);
    // An empty search text matches everywhere and would never end: leave the
    // string as it is.
    if (searchLength == 0) return copy;
    const size_type replacementLength = textLength(replacement);
    size_type pos = 0;
    while ((pos = copy.find(search, pos, searchLength)) != npos) {
        if (replacement)
            copy.replace(pos, searchLength, replacement, replacementLength);
        else
            copy.erase(pos, searchLength);
        pos += replacementLength;
    }
    return copy;
}

template <class C>
BasicString<C> BasicString<C>::format(const C* a1, const C* a2, const C* a3, const C* a4, const C* a5, const C* a6,
                                      const C* a7, const C* a8, const C* a9) const {
    const C* args[9] = {a1, a2, a3, a4, a5, a6, a7, a8, a9};
    BasicString result;
    result.reserve(Base::size() + 32);
    const size_type n = Base::size();
    size_type i = 0;
    while (i < n) {
        size_type p = Base::find(C('%'), i);
        // Text up to the next placeholder, or the rest; a '%' at the very end is
        // copied as it is.
        if (p == npos || p + 1 == n) {
            result.append(*this, i, npos);
            break;
        }
        result.append(*this, i, p - i);
        const C x = Base::operator[](p + 1);
        if (x == C('%')) {
            result.push_back(C('%'));
        } else if (x >= C('1') && x <= C('9')) {
            if (const C* arg = args[x - C('1')]) result.append(arg);
        } else {
            result.push_back(C('%'));
            result.push_back(x);
        }
        i = p + 2;
    }
    return result;
}

template <class C> BasicString<C> BasicString<C>::getPathElement(int index) const {
    const C sep = *Helper<C>::Separator();
    const C device = *Helper<C>::Device();
    BasicString rest(*this);
    if (!rest.empty() && rest.back() == sep) rest.pop_back();

    BasicString element;
    if (index >= 0) {
        for (;;) {
            size_type p = rest.find(sep);
            if (index == 0) {
                if (p == 0)
                    element = BasicString(Helper<C>::Separator());
                else if (p == npos)
                    element = rest;
                else
                    element = BasicString(rest.substr(0, p));
                break;
            }
            if (p != npos) rest.erase(0, p + 1);
            --index;
            if (rest.empty()) break;
            // Past the last element: the last one is the answer.
            if (p == npos) index = 0;
        }
    } else {
        while (!rest.empty()) {
            ++index;
            size_type p = rest.rfind(sep);
            if (index == 0) {
                element = p == npos ? rest : BasicString(rest.substr(p + 1));
                break;
            }
            // Before the first element: the first one is the answer, and a
            // leading separator (the root) is an element of its own.
            if (p == npos) {
                element = rest;
                break;
            }
            if (p == 0) {
                element = BasicString(Helper<C>::Separator());
                break;
            }
            rest.erase(p);
        }
    }
    if (!element.empty() && element.back() == device) element.push_back(sep);
    return element;
}

template <class C> BasicString<C> BasicString<C>::getDirectory() const {
    const BasicString last = getPathElement(-1);
    BasicString d = left(unsigned(Base::size() - last.size()));
    const C root[] = {*Helper<C>::Device(), *Helper<C>::Separator(), C(0)};
    if (d.endsWith(root) || d == Helper<C>::Separator()) return d;
    if (!d.empty()) d.pop_back();
    return d;
}

template <class C> BasicString<C> BasicString<C>::mergePath(BasicString base, BasicString relative) {
    const C sep = *Helper<C>::Separator();
    const C device = *Helper<C>::Device();
    const BasicString upper(Helper<C>::UpperDir());

    const BasicString first = relative.getPathElement(0);
    if ((!first.empty() && first.back() == sep) || base.empty()) return relative;
    if (!relative.empty() && (relative.back() == sep || relative.back() == device)) return BasicString();
    // The root "\\" is kept: it cannot be left, and the merged path stays rooted.
    const auto isRoot = [sep](const BasicString& s) { return s.size() == 1 && s[0] == sep; };
    if (base.back() == sep && !isRoot(base)) base.pop_back();
    if (base.empty()) return relative;

    while (relative.getPathElement(0) == upper) {
        relative.erase(0, relative.size() < 3 ? relative.size() : 3);
        const BasicString last = base.getPathElement(-1);
        if (!isRoot(base) && (last.empty() || (last.back() != device && last.back() != sep))) {
            size_type p = base.rfind(sep);
            if (p == npos)
                base.clear();
            else
                base.erase(p == 0 ? 1 : p);
        }
        if (base.empty()) return relative;
    }
    BasicString result(base);
    if ((base.back() == device || !relative.empty()) && base.back() != sep) result.push_back(sep);
    result.append(relative);
    return result;
}

template <class C> bool BasicString<C>::startsWith(const C* text) const {
    const size_type n = textLength(text);
    return n <= Base::size() && Base::compare(0, n, text, n) == 0;
}

template <class C> bool BasicString<C>::endsWith(const C* text) const {
    const size_type n = textLength(text);
    return n <= Base::size() && Base::compare(Base::size() - n, n, text, n) == 0;
}

template <class C> bool BasicString<C>::contains(const C* text) const {
    return Base::find(text ? text : BasicString().c_str()) != npos;
}

template <class C> typename BasicString<C>::size_type BasicString<C>::findOneOf(const C* characters, unsigned start) const {
    if (textLength(characters) == 0) return npos;
    return Base::find_first_of(characters, start);
}

template <class C> int BasicString<C>::toInt() const { return Helper<C>::atoi(this->c_str()); }

template class BasicString<char>;
template class BasicString<wchar_t>;

} // namespace vesk
