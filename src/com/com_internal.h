// Helpers shared by the COM sources of the library (not exported).
#pragma once

#include <new>

namespace vesk {
namespace com_internal {

// std::bad_alloc with the library's text "bad allocation".
class BadAllocation : public std::bad_alloc {
public:
    const char* what() const noexcept override { return "bad allocation"; }
};

[[noreturn]] inline void throwBadAllocation() { throw BadAllocation(); }

} // namespace com_internal
} // namespace vesk
