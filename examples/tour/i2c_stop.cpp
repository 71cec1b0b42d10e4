// Tour stop: an I2C bus driven bit by bit. The lines here lead to a simulated 256-byte
// EEPROM at address byte 0xA0 instead of a port: a program for real hardware derives
// its own I2CLines that sets and senses two pins, and the rest stays the same.
// Then a few teletext bytes through the Hamming 8/4 decoder.
#include "tour.h"

#include <vesk/i2c/hamming.h>
#include <vesk/i2c/i2c_bus.h>

namespace {

using namespace vesk;

// Two open-drain lines with the EEPROM on them: it watches the edges, as a chip does.
class EepromLines : public I2CLines {
public:
    unsigned char memory[256] = {};

    void setSDA(bool high) override { masterSDA = high, edges(); }
    void setSCL(bool high) override { scl = high, edges(); }
    bool getSDA() override { return sda(); }
    bool getSCL() override { return scl; }

private:
    static constexpr unsigned char address = 0xA0;
    bool masterSDA = true, chipSDA = true, scl = true, lastSDA = true, lastSCL = true;
    bool active = false, selected = false, sending = false, acking = false;
    int bit = 0, index = 0;
    unsigned char shift = 0, pointer = 0;

    bool sda() const { return masterSDA && chipSDA; }

    void edges() {
        const bool d = sda();
        if (scl && lastSCL && d != lastSDA) { // START (SDA falls) or STOP (SDA rises)
            active = !d, bit = index = 0, selected = sending = false;
        } else if (scl && !lastSCL && active) {
            clockIn(d);
        } else if (!scl && lastSCL && active) { // the chip changes SDA while SCL is low
            if (bit == 8) chipSDA = !acking, acking = false;
            else chipSDA = sending ? (memory[pointer] >> (7 - bit)) & 1 : true;
        }
        lastSDA = sda(), lastSCL = scl;
    }

    void clockIn(bool d) {
        if (bit < 8) {
            shift = static_cast<unsigned char>(shift << 1 | d);
            if (++bit < 8 || sending) return;
            if (index == 0) selected = (shift & 0xFE) == address; // answers its address only
            else if (selected && index == 1) pointer = shift;     // the first byte written sets the pointer
            else if (selected) memory[pointer++] = shift;
            acking = selected;
            return;
        }
        // The ninth clock: the acknowledge.
        if (sending) ++pointer, sending = !d;               // the master's ACK asks for more
        else if (index == 0 && selected && (shift & 1)) sending = true;
        bit = 0, ++index;
    }
};

void i2cStop() {
    EepromLines eeprom;
    I2CBusForLines bus(&eeprom);

    const unsigned char store[] = {0xA0, 0x10, 'V', 'e', 's', 'k'}; // address byte, pointer, data
    bus.writeMessage(store, sizeof store);
    std::printf("wrote \"Vesk\" at 0x10 of the EEPROM at address byte 0xA0\n");

    const unsigned char fetch[] = {0xA0, 0x10}; // write the pointer, repeated START, read
    unsigned char reply[4] = {};
    const bool acknowledged = bus.read(fetch, sizeof fetch, reply, sizeof reply);
    std::printf("read back: %s \"%.4s\"\n", acknowledged ? "acknowledged" : "refused", reinterpret_cast<char*>(reply));

    const unsigned char absent[] = {0xA4, 0x00};
    std::printf("write to address byte 0xA4: %s\n", bus.write(absent, sizeof absent) ? "acknowledged" : "refused");
    try {
        bus.writeMessage(absent, sizeof absent);
    } catch (const I2CError& e) {
        std::printf("  checked: %s\n", e.what());
    }

    std::printf("Hamming 8/4:");
    for (unsigned char byte : {0x15, 0x14, 0x16, 0xEA, 0x73})
        std::printf(" 0x%02X->%d", byte, DeHam48(byte));
    std::printf("  (0x14: one bit corrected; 0x16: two bits wrong)\n");
}

} // namespace

TOUR_STOP(50, "I2C: a simulated EEPROM on a bit-banged bus", i2cStop);
