// Decoding of the Hamming 8/4 code that protects teletext control bytes.
#pragma once

#include <vesk/config.h>

namespace vesk {

// The 4 data bits of a Hamming 8/4 protected byte (data in bit positions 1, 3, 5
// and 7, odd-parity protection bits in 0, 2, 4 and 6), as 0 to 15. A single wrong
// bit is corrected; a byte with two wrong bits yields -1. One table lookup.
VESK_API signed char DeHam48(unsigned char byte);

} // namespace vesk
