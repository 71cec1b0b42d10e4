// I2C bus and Hamming 8/4. The two-line interface is what a caller implements over
// its own port; no such hardware exists here, so a test double stands behind it: a
// wire that records every call the bus makes on the lines and decodes what a slave
// sees (S, Sr, each byte with the acknowledge clocked after it, P), with a simulated
// slave on it, an EEPROM at address byte 0xA0 (first byte written = register, then
// data; reads go on from the register). Time is simulated: the bus's pause advances
// the wire's clock by a millisecond, so clock stretching just under and just over
// the SCL timeout is exact and the suite needs no real pauses. DeHam48 is checked
// against a table built here by nearest-code-word search.
#include <vesk/i2c/hamming.h>
#include <vesk/i2c/i2c_bus.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace vesk;

namespace {

using Bytes = std::vector<unsigned char>;

std::string& log(std::string& to, const std::string& token) { return to += (to.empty() ? "" : " ") + token; }

class Wire : public I2CLines {
public:
    unsigned char memory[256];
    int refuse = -1;                          // index after a START of a written byte to NACK
    bool refuseRead = false;                  // NACK the address byte with the read bit
    unsigned stretch = 0, stretchFrom = 0;    // ms SCL is held low after a release, from that clock on
    std::string calls;                        // D0/D1, C0/C1 set a line, d?/c? read one, "." pauses
    std::string symbols;                      // "S A0+ 10+ Sr A1+ 55- P"

    Wire() { for (int i = 0; i < 256; ++i) memory[i] = static_cast<unsigned char>(i + 1); }
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
            else if (inFrame) slaveSDA = !sending || (memory[pointer] >> (7 - bit) & 1);
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
            else if (acking && index > 1) memory[pointer++] = shift;
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

// A write message (replyLength < 0) or a command and reply, plain or checked.
bool transfer(I2CBus& bus, const Bytes& out, int replyLength, Bytes& reply, bool checked) {
    reply.assign(std::max(replyLength, 0), 0);
    const unsigned n = unsigned(out.size()), r = unsigned(reply.size());
    if (!checked) return replyLength < 0 ? bus.write(out.data(), n) : bus.read(out.data(), n, reply.data(), r);
    replyLength < 0 ? bus.writeMessage(out.data(), n) : bus.readReply(out.data(), n, reply.data(), r);
    return true;
}

template <class F> I2CError errorOf(F f) {
    try {
        f();
    } catch (const I2CError& e) {
        return e;
    }
    ADD_FAILURE() << "no I2CError thrown";
    return I2CError(I2CError::clockHeldLow, "");
}

TEST(I2CBus, PrimitivesDriveTheLinesInTheirSteps) {
    // Bytes are eight of these bits and an acknowledge: the wire's symbols check them.
    const std::string bit[2] = {"D0 C0 . C1 . c? C0 .", "D1 C0 . C1 . c? C0 ."}, in = " C1 . c? d? C0 .";
    const struct {
        std::function<void(I2CBus&)> run;
        std::string calls;
    } rows[] = {
        {[](I2CBus& b) { b.start(); }, "D1 C0 . C1 . c? d? D0 . C0 ."},
        {[](I2CBus& b) { b.stop(); }, "D0 C0 . C1 . c? D1 ."},
        {[](I2CBus& b) { b.writeBit(false); }, bit[0]},
        {[](I2CBus& b) { b.writeBit(true); }, bit[1]},
        {[](I2CBus& b) { EXPECT_FALSE(b.acknowledge()); }, "D1 C0 . C1 . c? d? C0 ."},
        {[](I2CBus& b) { EXPECT_EQ(0xFF, b.read(true)); },
         "D1 C0 ." + in + in + in + in + in + in + in + in + " " + bit[1]},
    };
    for (const auto& row : rows) {
        Wire wire;
        TestBus bus(wire);
        row.run(bus);
        EXPECT_EQ(row.calls, wire.calls);
    }
}

// Each transaction runs plain (true/false) and checked (I2CError when refused).
TEST(I2CBus, TransactionsOnTheWire) {
    const auto none = I2CError::clockHeldLow, address = I2CError::addressNotAcknowledged,
               data = I2CError::dataNotAcknowledged;
    const struct {
        Bytes out;
        int replyLength, refuse;
        bool refuseRead;
        const char* symbols;
        Bytes reply;
        I2CError::Reason reason;
        unsigned index;
        const char* error;
    } rows[] = {
        {{0xA0, 0x10, 0xC3, 0x3C}, -1, -1, false, "S A0+ 10+ C3+ 3C+ P", {}, none, 0, nullptr},
        {{}, -1, -1, false, "S P", {}, none, 0, nullptr},
        {{0xA0, 0x10, 0xC3}, -1, 0, false, "S A0- P", {}, address, 0,
         "Can't address I2C device 80 (address byte 160): no acknowledge"},
        {{0xA0, 0x10, 0xC3, 0x3C}, -1, 2, false, "S A0+ 10+ C3- P", {}, data, 2,
         "Can't write byte 2 to I2C device 80 (address byte 160): no acknowledge"},
        {{0xA0}, 3, -1, false, "S A1+ 01+ 02+ 03- P", {1, 2, 3}, none, 0, nullptr},
        {{0xA0, 0x10}, 3, -1, false, "S A0+ 10+ Sr A1+ 11+ 12+ 13- P", {0x11, 0x12, 0x13}, none, 0, nullptr},
        {{0xA1, 0x20}, 1, -1, false, "S A0+ 20+ Sr A1+ 21- P", {0x21}, none, 0, nullptr},
        {{0xA1, 0x10, 0x00}, 1, 0, false, "S A0- P", {0}, address, 0,
         "Can't address I2C device 80 (address byte 160): no acknowledge"},
        {{0xA0, 0x10, 0x00, 0x00}, 1, 2, false, "S A0+ 10+ 00- P", {0}, data, 2,
         "Can't write command byte 2 to I2C device 80 (address byte 160): no acknowledge"},
        // A refused last command byte does not end the transaction.
        {{0xA0, 0x12}, 1, 1, false, "S A0+ 12- Sr A1+ 01- P", {0x01}, none, 0, nullptr},
        {{0xA0, 0x10}, 1, -1, true, "S A0+ 10+ Sr A1- P", {0}, address, 0,
         "Can't address I2C device 80 (address byte 161) for reading: no acknowledge"},
        {{0xA0, 0x10}, 0, -1, false, "", {}, none, 0, nullptr},
    };
    for (const auto& row : rows) {
        for (bool checked : {false, true}) {
            Wire wire;
            wire.refuse = row.refuse, wire.refuseRead = row.refuseRead;
            TestBus bus(wire);
            Bytes reply;
            if (checked && row.error) {
                const I2CError e = errorOf([&] { transfer(bus, row.out, row.replyLength, reply, true); });
                EXPECT_STREQ(row.error, e.what());
                EXPECT_EQ(row.reason, e.getReason()) << row.error;
                EXPECT_EQ(row.index, e.getByteIndex()) << row.error;
                EXPECT_EQ((row.out[0] & 0xFE) | (row.reason == address && row.refuseRead), e.getAddress());
            } else {
                EXPECT_EQ(!row.error, transfer(bus, row.out, row.replyLength, reply, checked)) << row.symbols;
                EXPECT_EQ(row.reply, reply) << row.symbols;
            }
            EXPECT_EQ(row.symbols, wire.symbols);
            EXPECT_TRUE(wire.released()) << row.symbols;
        }
    }
    Wire wire;
    TestBus bus(wire);
    Bytes reply;
    ASSERT_TRUE(transfer(bus, {0xA0, 0xFE, 7, 8, 9}, -1, reply, false)); // the register wraps
    EXPECT_EQ((Bytes{7, 8, 9}), (Bytes{wire.memory[0xFE], wire.memory[0xFF], wire.memory[0]}));
    wire.calls.clear();
    ASSERT_TRUE(transfer(bus, {0xA0, 0x00}, -1, reply, false)); // START 4, 27 a byte, STOP 3
    EXPECT_EQ(4 + 2 * 27 + 3, std::count(wire.calls.begin(), wire.calls.end(), '.'));
}

TEST(I2CBus, ClockStretchingUpToTheTimeoutIsWaitedFor) {
    // SCL is first read one pause after its release; the bus then waits up to the timeout.
    Bytes reply;
    for (unsigned timeout : {0u, 3u, I2CBusForLines::defaultSCLTimeout}) {
        Wire wire;
        TestBus bus(wire, timeout);
        wire.stretch = 1 + timeout;
        ASSERT_TRUE(transfer(bus, {0xA0, 0x14, 0x5A}, -1, reply, false)) << timeout;
        ASSERT_TRUE(transfer(bus, {0xA0, 0x13}, 2, reply, false)) << timeout;
        EXPECT_EQ((Bytes{0x14, 0x5A}), reply);
        EXPECT_EQ("S A0+ 14+ 5A+ P S A0+ 13+ Sr A1+ 14+ 5A- P", wire.symbols) << timeout;
        wire.stretch = 2 + timeout;
        const I2CError e = errorOf([&] { transfer(bus, {0xA0, 0x14}, -1, reply, false); });
        EXPECT_EQ(I2CError::clockHeldLow, e.getReason());
        EXPECT_EQ("Can't clock the I2C bus: SCL still held low after " + std::to_string(timeout) +
                      " pauses in the transfer with I2C device 80 (address byte 160), at the START",
                  e.what());
        EXPECT_TRUE(wire.released());
    }
    Wire wire;
    EXPECT_EQ(100u, I2CBusForLines(&wire).getSCLTimeout()); // the documented default
    // A stretch in the middle of a message names the byte; a bare primitive names none.
    TestBus bus(wire);
    wire.stretch = 5, wire.stretchFrom = 1 + 9 * 2 + 3;
    I2CError e = errorOf([&] { transfer(bus, {0xA0, 0x10, 0x20, 0x30}, -1, reply, false); });
    EXPECT_TRUE(e.hasAddress() && e.getAddress() == 0xA0 && e.getByteIndex() == 2);
    EXPECT_STREQ("Can't clock the I2C bus: SCL still held low after 3 pauses in the transfer with I2C device 80 "
                 "(address byte 160), at byte 2",
                 e.what());
    EXPECT_TRUE(wire.released());
    e = errorOf([&] { bus.writeBit(true); });
    EXPECT_FALSE(e.hasAddress());
    EXPECT_STREQ("Can't clock the I2C bus: SCL still held low after 3 pauses", e.what());
}

TEST(I2CBus, SDAHeldLowBeforeAStart) {
    Wire wire;
    TestBus bus(wire);
    Bytes reply;
    wire.holdSDA(3); // three clocks finish the slave's byte, then comes the START
    ASSERT_TRUE(transfer(bus, {0xA0, 0x30, 0x99}, -1, reply, false));
    EXPECT_EQ("S A0+ 30+ 99+ P", wire.symbols);
    EXPECT_EQ(0u, wire.calls.find("D1 C0 . C1 . c? d? C0 . C1 . c? d? C0 . C1 . c? d? C0 . C1 . c? d? D0 . C0 ."));
    wire.holdSDA(1000);
    wire.symbols.clear();
    const I2CError e = errorOf([&] { transfer(bus, {0xA0, 0x30}, -1, reply, false); });
    EXPECT_EQ(I2CError::dataHeldLow, e.getReason());
    EXPECT_STREQ("Can't start an I2C transfer: SDA still held low after 9 clocks in the transfer with I2C device 80 "
                 "(address byte 160), at the START",
                 e.what());
    EXPECT_EQ("", wire.symbols);
    EXPECT_TRUE(wire.released());
}

TEST(I2CBus, BadArgumentsAreRefusedBeforeAnyBusActivity) {
    Wire wire;
    TestBus bus(wire);
    unsigned char b[1] = {0xA0};
    const std::pair<std::function<void()>, const char*> rows[] = {
        {[] { I2CBusForLines none(nullptr); }, "Can't drive an I2C bus without lines"},
        {[&] { bus.write(nullptr, 2); }, "Can't write an I2C message from a null buffer"},
        {[&] { bus.writeMessage(nullptr, 1); }, "Can't write an I2C message from a null buffer"},
        {[&] { bus.read(b, 0, b, 1); }, "Can't read from an I2C device without its address byte"},
        {[&] { bus.read(nullptr, 1, b, 1); }, "Can't read from an I2C device without its address byte"},
        {[&] { bus.readReply(b, 1, nullptr, 1); }, "Can't read an I2C reply into a null buffer"},
    };
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

// Fixed-seed sweep under random stretching and refusals: the symbols follow from the
// message alone, and what was acknowledged reads back.
TEST(I2CBus, RandomTransactionsSweep) {
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        Wire wire;
        TestBus bus(wire, random() % 5);
        wire.stretch = random() % (bus.getSCLTimeout() + 2);
        Bytes out{0xA0, static_cast<unsigned char>(random())}, reply;
        for (unsigned i = random() % 6; i > 0; --i) out.push_back(static_cast<unsigned char>(random()));
        wire.refuse = random() % 3 == 0 ? int(random() % out.size()) : -1;
        std::string expected = "S";
        char text[8];
        for (int i = 0; i < int(out.size()) && (i == 0 || i - 1 != wire.refuse); ++i)
            std::snprintf(text, sizeof text, " %02X%c", out[i], i == wire.refuse ? '-' : '+'), expected += text;
        ASSERT_EQ(wire.refuse < 0, transfer(bus, out, -1, reply, false)) << round;
        ASSERT_EQ(expected + " P", wire.symbols) << round;
        if (wire.refuse >= 0) continue;
        ASSERT_TRUE(transfer(bus, {0xA0, out[1]}, int(out.size()) - 2, reply, false)) << round;
        EXPECT_EQ(Bytes(out.begin() + 2, out.end()), reply) << round;
    }
}

// The bus's own pause really pauses (Sleep(1) may end early on Windows when the
// timer is coarse, so only half of the 88 pauses is asked for).
TEST(I2CBus, StandardPauseSleeps) {
    Wire wire;
    I2CBusForLines bus(&wire);
    Bytes reply;
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(transfer(bus, {0xA0, 0x40, 0x41}, -1, reply, false));
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(44));
    EXPECT_EQ(0x41, wire.memory[0x40]);
}

// Every byte decoded by nearest code word of the published list.
TEST(DeHam48, MatchesNearestCodeWordForEveryByte) {
    const unsigned codes[16] = {0x15, 0x02, 0x49, 0x5E, 0x64, 0x73, 0x38, 0x2F,
                                0xD0, 0xC7, 0x8C, 0x9B, 0xA1, 0xB6, 0xFD, 0xEA};
    int decoded = 0;
    for (unsigned byte = 0; byte < 256; ++byte) {
        int expected = -1;
        for (unsigned d = 0; d < 16; ++d)
            if (__builtin_popcount(byte ^ codes[d]) <= 1) expected = int(d);
        decoded += expected >= 0;
        EXPECT_EQ(expected, DeHam48(static_cast<unsigned char>(byte))) << byte;
    }
    EXPECT_EQ(144, decoded);
    const std::vector<int> edges{DeHam48(0x15), DeHam48(0x14), DeHam48(0x16), DeHam48(0xEA)};
    EXPECT_EQ((std::vector<int>{0, 0, -1, 15}), edges);
}

} // namespace
