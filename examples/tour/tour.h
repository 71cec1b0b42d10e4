// The tour's stops register themselves; main() runs them in order.
#pragma once
#include <cstdio>
#include <string>

namespace tour {

using StopFunction = void (*)();

struct Stop {
    Stop(int order, const char* title, StopFunction run);
};

// A file name in the tour's own folder (screenshots are saved there).
std::string besideProgram(const char* name);

} // namespace tour

#define TOUR_STOP(order, title, fn) static ::tour::Stop tour_stop_##fn(order, title, fn)
