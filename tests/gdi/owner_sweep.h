// The ownership sweep shared by the GDI and window suites: every owner kind runs
// the same scripts of copies, moves and assignments (self-assignment, assignment
// of a copy of itself, chains of copies) and must keep its resource alive with
// exactly as many owners as the resource counts, then release it once all of
// its objects are gone. A kind K gives:
//   using type;  static type make();  static Handle handleOf(const type&);
//   static bool alive(Handle);  static bool owns(const type&, Handle);
//   static int counted(Handle)  (owners the resource itself counts: 1 for sole owners).
#pragma once

#include <gtest/gtest.h>

#include <typeinfo>
#include <utility>

namespace vesk_test {

template <class K> void sweepOwnership() {
    using T = typename K::type;
    using Script = void (*)(T&, T&, T&);
    const Script scripts[] = {
        [](T& a, T&, T&) { a = a; },
        [](T& a, T& b, T&) { b = a, a = b; },
        [](T& a, T& b, T& c) { b = a, c = b, a = c, b = c, c = c; },
        [](T& a, T& b, T&) { b = std::move(a), a = std::move(b), a = std::move(a); },
        [](T& a, T&, T&) { a = T(a); },
        [](T& a, T& b, T& c) { b = a, c = std::move(b), b = c, a = b, c = std::move(a), a = c; },
        [](T& a, T& b, T& c) {
            T copy(a);
            b = copy, c = std::move(copy), copy = b, a = copy;
        },
    };
    for (std::size_t i = 0; i < sizeof(scripts) / sizeof(scripts[0]); ++i) {
        SCOPED_TRACE(std::string(typeid(T).name()) + ", script " + std::to_string(i));
        auto handle = K::handleOf(T());
        {
            T a = K::make(), b, c;
            handle = K::handleOf(a);
            ASSERT_TRUE(K::alive(handle));
            scripts[i](a, b, c);
            EXPECT_TRUE(K::alive(handle)) << "released while an owner holds it";
            EXPECT_EQ(K::counted(handle), K::owns(a, handle) + K::owns(b, handle) + K::owns(c, handle));
        }
        EXPECT_FALSE(K::alive(handle)) << "not released once all objects are gone";
    }
}

} // namespace vesk_test
