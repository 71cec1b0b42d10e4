// Hamming 8/4 decoding as teletext uses it. The byte carries P1 D1 P2 D2 P3 D3 P4 D4
// in bit positions 0 to 7; four odd-parity checks cover it:
//   A = P1 D1 D3 D4, B = D1 P2 D2 D4, C = D1 D2 P3 D3, D = all eight bits.
// Every check odd: no error. D even: one bit is wrong, and the checks among A, B, C
// that fail name it. D odd while another check fails: two bits are wrong.
#include <vesk/i2c/hamming.h>

#include <array>

namespace vesk {

namespace {

constexpr bool bitOf(unsigned byte, int position) { return (byte >> position) & 1; }

constexpr bool oddParity(unsigned byte) {
    bool odd = false;
    for (int i = 0; i < 8; ++i) odd ^= bitOf(byte, i);
    return odd;
}

constexpr signed char decode(unsigned byte) {
    const bool a = bitOf(byte, 0) ^ bitOf(byte, 1) ^ bitOf(byte, 5) ^ bitOf(byte, 7);
    const bool b = bitOf(byte, 1) ^ bitOf(byte, 2) ^ bitOf(byte, 3) ^ bitOf(byte, 7);
    const bool c = bitOf(byte, 1) ^ bitOf(byte, 3) ^ bitOf(byte, 4) ^ bitOf(byte, 5);
    int data = bitOf(byte, 1) | bitOf(byte, 3) << 1 | bitOf(byte, 5) << 2 | bitOf(byte, 7) << 3;
    const int failed = (a ? 0 : 1) | (b ? 0 : 2) | (c ? 0 : 4);
    if (failed == 0) return static_cast<signed char>(data); // right, or only P4 wrong
    if (oddParity(byte)) return -1;
    // One wrong bit: a data bit is in two or three checks, a protection bit in one.
    switch (failed) {
    case 7: data ^= 1; break; // D1
    case 6: data ^= 2; break; // D2
    case 5: data ^= 4; break; // D3
    case 3: data ^= 8; break; // D4
    default: break;           // P1, P2 or P3
    }
    return static_cast<signed char>(data);
}

constexpr std::array<signed char, 256> makeTable() {
    std::array<signed char, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) table[byte] = decode(byte);
    return table;
}

// Built by the compiler: no first-call race, nothing to initialise at load time.
constexpr std::array<signed char, 256> table = makeTable();

} // namespace

signed char DeHam48(unsigned char byte) { return table[byte]; }

} // namespace vesk
