// A small module for the module suites: one export, and the resources of
// resources.rc (strings, a version block, a message table, raw data).
#include <windows.h>

extern "C" __declspec(dllexport) int veskTestAnswer() { return 42; }
