// Lines the debug-output child writes and its suite expects back.
#pragma once

#include <string>

namespace debug_lines {

constexpr int threadCount = 4, lineCount = 40;

// Line i of thread t (without its line feed); every tenth one is longer than a
// piece of wide debug output.
inline std::string line(int t, int i) {
    const std::size_t length = i % 10 == 3 ? 2100 + 37 * t : std::size_t(i * 53 + t * 11) % 300;
    std::string text = "t" + std::to_string(t) + " i" + std::to_string(i) + " ";
    for (std::size_t j = 0; j < length; ++j) text += char('a' + (j + std::size_t(i)) % 26);
    return text;
}

// A wide line of 2500 characters, ending in a mark so that a cut shows.
inline std::wstring longWide() {
    std::wstring text;
    for (int j = 0; j < 2500; ++j) text += wchar_t(L'A' + j % 26);
    return text + L"<end>";
}

} // namespace debug_lines
