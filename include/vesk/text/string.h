// BasicString<C>: the string of every interface of the library. It is the
// standard string, plus construction from the other width and from numbers,
// printf-style and positional %1..%9 formatting, trimming, case change,
// field splitting and operations on Windows paths.
#pragma once

#include <vesk/config.h>
#include <vesk/text/string_helper.h>

#include <string>
#include <type_traits>

namespace vesk {

// Every member is defined inside the DLL (an inline member of an imported
// template instance would be neither emitted here nor exported there).
template <class C> class BasicString : public std::basic_string<C> {
public:
    using Base = std::basic_string<C>;
    using Other = std::conditional_t<std::is_same<C, char>::value, wchar_t, char>;
    using size_type = typename Base::size_type;
    static constexpr size_type npos = Base::npos;

    BasicString() = default;
    BasicString(const BasicString&) = default;
    BasicString(BasicString&&) noexcept = default;
    BasicString(const Base& s);
    BasicString(Base&& s) noexcept;
    // A null pointer gives the empty string.
    BasicString(const C* text);
    BasicString(const C* text, unsigned count);
    BasicString(const Other* text);
    BasicString(const Other* text, unsigned count);
    BasicString(int value, int radix);
    template <class It, class = typename std::iterator_traits<It>::iterator_category>
    BasicString(It first, It last) : Base(first, last) {}

    BasicString& operator=(const BasicString&) = default;
    BasicString& operator=(BasicString&&) noexcept = default;
    using Base::operator=;
    BasicString& operator=(const ConstString<C>& view);

    // A null pointer gives the empty string; count 0xFFFFFFFF means NUL-terminated.
    BasicString& assign(const C* text);
    BasicString& assign(const C* text, unsigned count);
    BasicString& assign(const Other* text, unsigned count);
    BasicString& assign(const Base& s);
    BasicString& assign(const ConstString<C>& view);

    operator const C*() const;

    // With the conversion to const C* above, s[0] (an int index) would be
    // ambiguous where size_type is 32 bits; these take int indices exactly.
    // Member templates are instantiated in the caller, so they stay inline.
    using Base::operator[];
    template <class I, std::enable_if_t<std::is_same<I, int>::value, int> = 0> C& operator[](I i) {
        return Base::operator[](size_type(i));
    }
    template <class I, std::enable_if_t<std::is_same<I, int>::value, int> = 0> const C& operator[](I i) const {
        return Base::operator[](size_type(i));
    }

    static BasicString Time();
    static BasicString Date();
    static BasicString fromFormat(const C* format, ...);
    static BasicString fromFormatV(const C* format, va_list args);
    static BasicString fromInt(int value, int radix);
    static BasicString mergePath(BasicString base, BasicString relative);
    // The string-table entry id of the module instance (loadStringResource).
    static BasicString fromResource(unsigned id, HINSTANCE instance);

    BasicString operator+(const C* text) const;
    BasicString operator+(const Base& s) const;
    BasicString operator+(const BasicString& s) const;
    BasicString operator+(C c) const;

    BasicString left(unsigned n) const;
    BasicString mid(unsigned start, unsigned n = 0xFFFFFFFFu) const;
    BasicString right(unsigned n) const;
    BasicString trimLeft() const;
    BasicString trimRight() const;
    BasicString trim() const;
    BasicString toLower() const;
    BasicString toUpper() const;
    BasicString& makeLower();
    BasicString& makeUpper();

    BasicString substring(const C* separator, int index) const;
    BasicString replaceAll(const C* search, const C* replacement) const;
    BasicString format(const C* a1 = nullptr, const C* a2 = nullptr, const C* a3 = nullptr,
                       const C* a4 = nullptr, const C* a5 = nullptr, const C* a6 = nullptr,
                       const C* a7 = nullptr, const C* a8 = nullptr, const C* a9 = nullptr) const;

    BasicString getPathElement(int index) const;
    BasicString getDirectory() const;

    bool startsWith(const C* text) const;
    bool endsWith(const C* text) const;
    bool contains(const C* text) const;
    size_type findOneOf(const C* characters, unsigned start = 0) const;
    int toInt() const;
};

extern template class VESK_API BasicString<char>;
extern template class VESK_API BasicString<wchar_t>;

using String = BasicString<char>;
using WString = BasicString<wchar_t>;

} // namespace vesk
