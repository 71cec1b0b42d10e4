// I2C bus and Hamming 8/4. The two-line interface is what a caller implements over
// its own port; no such hardware exists here, so a test double stands behind it: a
// wire that records every call the bus makes on the lines and decodes what a slave
// sees (S, Sr, each byte with the acknowledge clocked after it, P), with a simulated
// slave on it, a device at address byte 0xA0 (first byte written = register; reads
// go on from the register, byte r reading r + 1). Time is simulated: the bus's pause
// advances the wire's clock by a millisecond, so clock stretching just under and
// just over the SCL timeout is exact and the suite needs no real pauses.
#include <vesk/i2c/hamming.h>
#include <vesk/i2c/i2c_bus.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace vesk;

namespace {

using Bytes = std::vector<unsigned char>;

std::string& log(std::string& to, const std::string& token) { return to += (to.empty() ? "" : " ") + token; }

class Wire : public I2CLines {
public:
    int refuse = -1;                       // index after a START of a written byte to NACK
    bool refuseRead = false;               // NACK the address byte with the read bit
    unsigned stretch = 0, stretchFrom = 0; // ms SCL is held low after a release, from that clock on
    std::string calls;                     // D0/D1, C0/C1 set a line, d?/c? read one, "." pauses
    std::string symbols;                   // "S A0+ 10+ Sr A1+ 11- P"

    void setSDA(bool high) override { log(calls, high ? "D1" : "D0"), masterSDA = high, update(); }
    void setSCL(bool high) override {
        log(calls, high ? "C1" : "C0"), masterSCL = high;
        if (high && rises >= stretchFrom) heldUntil = now + stretch;
        update();
    }
    bool getSDA() override { return log(calls, "d?"), sda(); }
    bool getSCL() override { return log(calls, "c?"), scl(); }
    void pause() { log(calls, "."), ++now, update(); }
    // The slave keeps SDA low for the next clocks, like one cut off while sending.
    void holdSDA(unsigned clocks) { slaveSDA = lastSDA = false, stuckUntil = rises + clocks; }
    bool released() const { return masterSDA && masterSCL; }

private:
    bool masterSDA = true, masterSCL = true, slaveSDA = true, lastSDA = true, lastSCL = true;
    bool inFrame = false, selected = false, sending = false, acking = false;
    unsigned now = 0, heldUntil = 0, rises = 0, stuckUntil = 0, bit = 0, index = 0;
    unsigned char shift = 0, pointer = 0;

    bool sda() const { return masterSDA && slaveSDA; }
    bool scl() const { return masterSCL && now >= heldUntil; }

    void update() {
        const bool d = sda(), c = scl();
        if (c && lastSCL && d != lastSDA) { // SDA changing while SCL is high: START or STOP
            log(symbols, d ? "P" : inFrame ? "Sr" : "S");
            inFrame = !d, bit = index = 0, sending = selected = acking = false;
        } else if (c && !lastSCL) {
            ++rises;
            if (inFrame) rise(d);
        } else if (!c && lastSCL) { // the slave changes SDA while SCL is low
            if (stuckUntil) slaveSDA = rises >= stuckUntil, stuckUntil = slaveSDA ? 0 : stuckUntil;
            else if (inFrame && bit == 8) slaveSDA = !acking, acking = false;
            else if (inFrame) slaveSDA = !sending || ((pointer + 1) >> (7 - bit) & 1);
        }
        lastSDA = sda(), lastSCL = scl();
    }

    void rise(bool d) {
        if (bit < 8) {
            shift = static_cast<unsigned char>(shift << 1 | d);
            if (++bit < 8 || sending) return;
            if (index == 0) selected = (shift & 0xFE) == 0xA0 && !((shift & 1) && refuseRead) && refuse != 0;
            acking = selected && int(index) != refuse;
            if (acking && index == 1) pointer = shift;
            return;
        }
        char text[8];
        std::snprintf(text, sizeof text, "%02X%c", shift, d ? '-' : '+');
        log(symbols, text);
        if (sending) ++pointer, sending = !d;
        else sending = index == 0 && selected && (shift & 1);
        bit = 0, ++index;
    }
};

// The bus with its pause turned into simulated time.
struct TestBus : I2CBusForLines {
    explicit TestBus(Wire& w, unsigned timeout = 3) : I2CBusForLines(&w), wire(w) { setSCLTimeout(timeout); }
    void sleep() const override { wire.pause(); }
    Wire& wire;
};

// A write message (replyLength < 0) or a command and reply, plain or checked: "ok"
// or "refused" and the reply's bytes, or the I2CError as reason@byte index and text.
std::string transfer(I2CBus& bus, const Bytes& out, int replyLength, bool checked) {
    Bytes reply(replyLength < 0 ? 0 : replyLength);
    const unsigned n = unsigned(out.size()), r = unsigned(reply.size());
    std::string result = "ok";
    try {
        if (checked) replyLength < 0 ? bus.writeMessage(out.data(), n) : bus.readReply(out.data(), n, reply.data(), r);
        else if (!(replyLength < 0 ? bus.write(out.data(), n) : bus.read(out.data(), n, reply.data(), r)))
            result = "refused";
    } catch (const I2CError& e) {
        return std::to_string(e.getReason()) + "@" + std::to_string(e.getByteIndex()) + " " + e.what();
    }
    for (unsigned char c : reply) result += " " + std::to_string(c);
    return result;
}

TEST(I2CBus, PrimitivesDriveTheLinesInTheirSteps) {
    // Bytes are eight of these bits and an acknowledge: the wire's symbols check them.
    const std::string bit[2] = {"D0 C0 . C1 . c? C0 .", "D1 C0 . C1 . c? C0 ."}, in = " C1 . c? d? C0 .";
    const std::pair<std::function<void(I2CBus&)>, std::string> rows[] = {
        {[](I2CBus& b) { b.start(); }, "D1 C0 . C1 . c? d? D0 . C0 ."},
        {[](I2CBus& b) { b.stop(); }, "D0 C0 . C1 . c? D1 ."},
        {[](I2CBus& b) { b.writeBit(false); }, bit[0]},
        {[](I2CBus& b) { b.writeBit(true); }, bit[1]},
        {[](I2CBus& b) { EXPECT_FALSE(b.acknowledge()); }, "D1 C0 . C1 . c? d? C0 ."},
        {[](I2CBus& b) { EXPECT_EQ(0xFF, b.read(true)); }, "D1 C0 ." + in + in + in + in + in + in + in + in + " " +
                                                                bit[1]},
    };
    for (const auto& row : rows) {
        Wire wire;
        TestBus bus(wire);
        row.first(bus);
        EXPECT_EQ(row.second, wire.calls);
    }
}

// Each transaction runs plain (refused: false) and checked (refused: I2CError); a
// clock held past the timeout or SDA held through the recovery clocks throws in
// both, naming the device and the byte, with both lines released.
TEST(I2CBus, TransactionsOnTheWire) {
    const std::string dev = "I2C device 80 (address byte 160)", at = " in the transfer with " + dev + ", at ",
                      late = "2@0 Can't clock the I2C bus: SCL still held low after 3 pauses" + at,
                      nack = ": no acknowledge";
    struct Row {
        Bytes out;
        int replyLength;
        const char* symbols;
        std::string plain, checked = ""; // checked: when it differs from plain
        int refuse = -1;
        bool refuseRead = false;
        unsigned timeout = 3, stretch = 0, stretchFrom = 0, hold = 0;
    };
    const Row rows[] = {
        {{0xA0, 0x10, 0xC3, 0x3C}, -1, "S A0+ 10+ C3+ 3C+ P", "ok"},
        {{}, -1, "S P", "ok"},
        {{0xA0, 0x10, 0xC3}, -1, "S A0- P", "refused", "0@0 Can't address " + dev + nack, 0},
        {{0xA0, 0x10, 0xC3, 0x3C}, -1, "S A0+ 10+ C3- P", "refused", "1@2 Can't write byte 2 to " + dev + nack, 2},
        {{0xA0}, 3, "S A1+ 01+ 02+ 03- P", "ok 1 2 3"},
        {{0xA0, 0x10}, 3, "S A0+ 10+ Sr A1+ 11+ 12+ 13- P", "ok 17 18 19"},
        {{0xA1, 0x20}, 1, "S A0+ 20+ Sr A1+ 21- P", "ok 33"},
        {{0xA1, 0x10, 0}, 1, "S A0- P", "refused 0", "0@0 Can't address " + dev + nack, 0},
        {{0xA0, 0x10, 0, 0}, 1, "S A0+ 10+ 00- P", "refused 0", "1@2 Can't write command byte 2 to " + dev + nack, 2},
        // A refused last command byte does not end the transaction.
        {{0xA0, 0x12}, 1, "S A0+ 12- Sr A1+ 01- P", "ok 1", "", 1},
        {{0xA0, 0x10}, 1, "S A0+ 10+ Sr A1- P", "refused 0",
         "0@0 Can't address I2C device 80 (address byte 161) for reading: no acknowledge", -1, true},
        {{0xA0, 0x10}, 0, "", "ok"},
        // SCL is first read one pause after its release; the bus waits up to the timeout.
        {{0xA0, 0x13}, 2, "S A0+ 13+ Sr A1+ 14+ 15- P", "ok 20 21", "", -1, false, 0, 1},
        {{0xA0, 0x13}, 1, "S A0+ 13+ Sr A1+ 14- P", "ok 20", "", -1, false, 3, 4},
        {{0xA0, 0x14}, -1, "", late + "the START", "", -1, false, 3, 5},
        {{0xA0, 0x10, 0x20, 0x30}, -1, "S A0+ 10+", "2@2" + late.substr(3) + "byte 2", "", -1, false, 3, 5, 22},
        // Clocks let a slave cut off while sending finish its byte before the START.
        {{0xA0, 0x30, 0x99}, -1, "S A0+ 30+ 99+ P", "ok", "", -1, false, 3, 0, 0, 3},
        {{0xA0, 0x30}, -1, "", "3@0 Can't start an I2C transfer: SDA still held low after 9 clocks" + at + "the START",
         "", -1, false, 3, 0, 0, 1000},
    };
    for (const Row& row : rows) {
        for (bool checked : {false, true}) {
            Wire wire;
            wire.refuse = row.refuse, wire.refuseRead = row.refuseRead, wire.stretch = row.stretch;
            wire.stretchFrom = row.stretchFrom;
            if (row.hold) wire.holdSDA(row.hold);
            TestBus bus(wire, row.timeout);
            EXPECT_EQ(checked && !row.checked.empty() ? row.checked : row.plain,
                      transfer(bus, row.out, row.replyLength, checked));
            EXPECT_EQ(row.symbols, wire.symbols);
            EXPECT_TRUE(wire.released()) << row.symbols;
        }
    }
}

// Bad arguments and a bus without lines: the library's exception reaches the caller
// (none of these may end the process), before any bus activity.
TEST(I2CBus, BadArgumentsAndMissingLinesThrowToTheCaller) {
    struct Unwired : I2CBusForLines {}; // the protected constructor leaves the lines unset
    Unwired none;
    Wire wire;
    TestBus bus(wire);
    unsigned char b[2] = {0xA0, 1};
    const char *lines = "Can't drive an I2C bus without lines", *null = "Can't write an I2C message from a null buffer",
               *noAddress = "Can't read from an I2C device without its address byte",
               *nowhere = "Can't read an I2C reply into a null buffer";
    const std::pair<std::function<void()>, const char*> rows[] = {
        {[] { I2CBusForLines unwired(nullptr); }, lines}, {[&] { none.writeMessage(b, 2); }, lines},
        {[&] { none.write(b, 2); }, lines}, {[&] { none.readReply(b, 2, b, 1); }, lines},
        {[&] { none.read(b, 1, b, 1); }, lines}, {[&] { none.start(); }, lines}, {[&] { none.stop(); }, lines},
        {[&] { none.writeBit(true); }, lines}, {[&] { none.acknowledge(); }, lines}, {[&] { none.read(true); }, lines},
        {[&] { none.write(b[0]); }, lines}, {[&] { bus.write(nullptr, 2); }, null},
        {[&] { bus.writeMessage(nullptr, 1); }, null}, {[&] { bus.read(b, 0, b, 1); }, noAddress},
        {[&] { bus.read(nullptr, 1, b, 1); }, noAddress}, {[&] { bus.readReply(b, 1, nullptr, 1); }, nowhere}};
    for (const auto& row : rows) {
        try {
            row.first();
            ADD_FAILURE() << "nothing thrown: " << row.second;
        } catch (const Exception& e) {
            EXPECT_STREQ(row.second, e.what());
        }
    }
    EXPECT_EQ("", wire.calls);
}

// The bus's own pause really pauses (Sleep(1) may end early on Windows when the
// timer is coarse, so only half of the 88 pauses is asked for).
TEST(I2CBus, StandardPauseSleeps) {
    Wire wire;
    I2CBusForLines bus(&wire);
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ("ok", transfer(bus, {0xA0, 0x40, 0x41}, -1, false));
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(44));
}

// Every byte decoded by nearest code word of the published list.
TEST(DeHam48, MatchesNearestCodeWordForEveryByte) {
    const unsigned codes[16] = {0x15, 0x02, 0x49, 0x5E, 0x64, 0x73, 0x38, 0x2F,
                                0xD0, 0xC7, 0x8C, 0x9B, 0xA1, 0xB6, 0xFD, 0xEA};
    for (unsigned byte = 0, d = 0; byte < 256; ++byte, d = 0) {
        while (d < 16 && __builtin_popcount(byte ^ codes[d]) > 1) ++d;
        EXPECT_EQ(d < 16 ? int(d) : -1, DeHam48(static_cast<unsigned char>(byte))) << byte;
    }
}

} // namespace
