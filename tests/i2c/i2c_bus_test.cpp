// I2C bus and Hamming 8/4. The two-line interface is what a caller implements over
// its own port; no such hardware exists here, so a test double stands behind it: a
// wire that records every call the bus makes on the lines and decodes what a slave
// sees on them (S, Sr, each byte with the acknowledge bit clocked after it, P), and a
// simulated slave on it, a small EEPROM at address byte 0xA0 (first byte written =
// register, then data; reads go on from the register). Time is simulated too: the
// bus's pause advances the wire's clock by a millisecond, so clock stretching just
// under and just over the SCL timeout is exact, and the suite needs no real pauses.
// DeHam48 is checked against a table built here by nearest-code-word search.
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

class Wire : public I2CLines {
public:
    unsigned char memory[256] = {};
    unsigned char deviceAddress = 0xA0;
    int refuseByte = -1;     // index after a START (0 = address) of a written byte to NACK
    bool refuseRead = false; // NACK the address byte with the read bit
    unsigned stretch = 0;    // ms the slave holds SCL low after a release by the master,
    unsigned stretchFrom = 0; // from this clock on (counting rising edges)
    std::string calls;       // D0/D1, C0/C1 set a line, d?/c? read one, "." is a pause
    std::string symbols;     // "S A0+ 10+ Sr A1+ 55- P"

    void setSDA(bool high) override { log(calls, high ? "D1" : "D0"), masterSDA = high, update(); }
    void setSCL(bool high) override {
        log(calls, high ? "C1" : "C0"), masterSCL = high;
        if (high && rises >= stretchFrom) heldUntil = now + stretch;
        update();
    }
    bool getSDA() override { return log(calls, "d?"), sda(); }
    bool getSCL() override { return log(calls, "c?"), scl(); }

    void pause() { log(calls, "."), ++now, update(); }
    // The slave keeps SDA low for the next `clocks` clocks, like one cut off in a read.
    void holdSDA(unsigned clocks) { slaveSDA = lastSDA = false, stuckUntil = rises + clocks; }
    bool released() const { return masterSDA && masterSCL; }

private:
    bool masterSDA = true, masterSCL = true, slaveSDA = true, lastSDA = true, lastSCL = true;
    unsigned now = 0, heldUntil = 0, rises = 0, stuckUntil = 0;
    // Decoder and slave state: bit within the 9-clock frame, bytes since the START.
    bool inFrame = false, selected = false, reading = false, sending = false, acking = false;
    unsigned bit = 0, byteIndex = 0, pointer = 0;
    unsigned char shift = 0;

    static void log(std::string& to, const std::string& token) { to += (to.empty() ? "" : " ") + token; }
    bool sda() const { return masterSDA && slaveSDA; }
    bool scl() const { return masterSCL && now >= heldUntil; }

    void update() {
        const bool d = sda(), c = scl();
        if (c && lastSCL && d != lastSDA) {
            if (!d) log(symbols, inFrame ? "Sr" : "S"), inFrame = true, bit = byteIndex = 0;
            else log(symbols, "P"), inFrame = false;
            sending = selected = acking = false;
        } else if (c && !lastSCL) {
            rise(d);
        } else if (!c && lastSCL) {
            fall();
        }
        lastSDA = sda(), lastSCL = scl();
    }

    void rise(bool d) {
        ++rises;
        if (!inFrame) return;
        if (bit < 8) {
            shift = static_cast<unsigned char>(shift << 1 | d);
            if (++bit == 8) received();
            return;
        }
        char text[8];
        std::snprintf(text, sizeof text, "%02X%c", shift, d ? '-' : '+');
        log(symbols, text);
        if (sending) {
            pointer = (pointer + 1) & 0xFF;
            sending = !d;
        } else if (byteIndex == 0 && selected && reading) {
            sending = true;
        }
        bit = 0, ++byteIndex;
    }

    void received() {
        if (sending) return; // the master acknowledges what it reads
        if (byteIndex == 0) {
            reading = shift & 1;
            selected = (shift & 0xFE) == deviceAddress && !(reading && refuseRead) && int(byteIndex) != refuseByte;
            acking = selected;
        } else {
            acking = selected && int(byteIndex) != refuseByte;
            if (acking && byteIndex == 1) pointer = shift;
            else if (acking) memory[pointer] = shift, pointer = (pointer + 1) & 0xFF;
        }
    }

    void fall() {
        if (!slaveSDA && stuckUntil) {
            if (rises >= stuckUntil) slaveSDA = true, stuckUntil = 0;
            return;
        }
        if (!inFrame) return;
        if (bit == 8) slaveSDA = !acking, acking = false;
        else slaveSDA = sending ? (memory[pointer] >> (7 - bit)) & 1 : true;
    }
};

// The bus with its pause turned into simulated time.
struct TestBus : I2CBusForLines {
    explicit TestBus(Wire& w, unsigned timeout = 3) : I2CBusForLines(&w), wire(w) { setSCLTimeout(timeout); }
    void sleep() const override { wire.pause(); }
    Wire& wire;
};

using Bytes = std::vector<unsigned char>;

std::string repeat(int n, const std::string& s) {
    std::string out;
    for (int i = 0; i < n; ++i) out += (out.empty() ? "" : " ") + s;
    return out;
}

// Line calls of the bus's primitives, step by step.
TEST(I2CBus, PrimitivesDriveTheLinesInTheirSteps) {
    const std::string bit0 = "D0 C0 . C1 . c? C0 .", bit1 = "D1 C0 . C1 . c? C0 .",
                      ack = "D1 C0 . C1 . c? d? C0 .", readBit = "C1 . c? d? C0 .";
    const struct {
        std::function<void(I2CBus&)> run;
        std::string calls;
    } rows[] = {
        {[](I2CBus& b) { b.start(); }, "D1 C0 . C1 . c? d? D0 . C0 ."},
        {[](I2CBus& b) { b.stop(); }, "D0 C0 . C1 . c? D1 ."},
        {[](I2CBus& b) { b.writeBit(false); }, bit0},
        {[](I2CBus& b) { b.writeBit(true); }, bit1},
        {[](I2CBus& b) { EXPECT_FALSE(b.acknowledge()); }, ack},
        {[](I2CBus& b) { EXPECT_FALSE(b.write(0x5A)); },
         bit0 + " " + bit1 + " " + bit0 + " " + bit1 + " " + bit1 + " " + bit0 + " " + bit1 + " " + bit0 + " " + ack},
        {[](I2CBus& b) { EXPECT_EQ(0xFF, b.read(false)); }, "D1 C0 . " + repeat(8, readBit) + " " + bit0},
        {[](I2CBus& b) { EXPECT_EQ(0xFF, b.read(true)); }, "D1 C0 . " + repeat(8, readBit) + " " + bit1},
    };
    for (const auto& row : rows) {
        Wire wire;
        TestBus bus(wire);
        row.run(bus);
        EXPECT_EQ(row.calls, wire.calls);
    }
}

struct Transaction {
    const char* what;
    std::function<void(Wire&)> setUp;
    std::function<bool(I2CBus&, Bytes&)> run; // fills the reply
    bool result;
    const char* symbols;
    Bytes reply;
};

bool writeOf(I2CBus& bus, Bytes message) { return bus.write(message.data(), unsigned(message.size())); }
bool readOf(I2CBus& bus, Bytes command, Bytes& reply, unsigned n) {
    reply.resize(n);
    return bus.read(command.data(), unsigned(command.size()), reply.data(), n);
}

void preset(Wire& w) {
    for (int i = 0; i < 4; ++i) w.memory[0x10 + i] = static_cast<unsigned char>(0x11 * (i + 1));
}

const Transaction transactions[] = {
    {"write", [](Wire&) {}, [](I2CBus& b, Bytes&) { return writeOf(b, {0xA0, 0x10, 0xC3, 0x3C}); }, true,
     "S A0+ 10+ C3+ 3C+ P", {}},
    {"empty write", [](Wire&) {}, [](I2CBus& b, Bytes&) { return b.write(nullptr, 0); }, true, "S P", {}},
    {"address refused", [](Wire& w) { w.deviceAddress = 0xB0; },
     [](I2CBus& b, Bytes&) { return writeOf(b, {0xA0, 0x10, 0xC3}); }, false, "S A0- P", {}},
    {"data refused", [](Wire& w) { w.refuseByte = 2; },
     [](I2CBus& b, Bytes&) { return writeOf(b, {0xA0, 0x10, 0xC3, 0x3C}); }, false, "S A0+ 10+ C3- P", {}},
    {"read without command", preset, [](I2CBus& b, Bytes& r) { return readOf(b, {0xA0}, r, 3); }, true,
     "S A1+ 00+ 00+ 00- P", {0, 0, 0}},
    {"read a register", preset, [](I2CBus& b, Bytes& r) { return readOf(b, {0xA0, 0x10}, r, 3); }, true,
     "S A0+ 10+ Sr A1+ 11+ 22+ 33- P", {0x11, 0x22, 0x33}},
    {"read bit ignored in the command", preset, [](I2CBus& b, Bytes& r) { return readOf(b, {0xA1, 0x11}, r, 1); },
     true, "S A0+ 11+ Sr A1+ 22- P", {0x22}},
    {"command byte refused", [](Wire& w) { w.refuseByte = 1; },
     [](I2CBus& b, Bytes& r) { return readOf(b, {0xA0, 0x10, 0x00}, r, 1); }, false, "S A0+ 10- P", {0}},
    {"last command byte refused", [](Wire& w) { preset(w), w.refuseByte = 1; },
     [](I2CBus& b, Bytes& r) { return readOf(b, {0xA0, 0x12}, r, 1); }, true, "S A0+ 12- Sr A1+ 00- P", {0}},
    {"read address refused", [](Wire& w) { w.refuseRead = true; },
     [](I2CBus& b, Bytes& r) { return readOf(b, {0xA0, 0x10}, r, 1); }, false, "S A0+ 10+ Sr A1- P", {0}},
    {"empty reply", [](Wire&) {}, [](I2CBus& b, Bytes& r) { return readOf(b, {0xA0, 0x10}, r, 0); }, true, "", {}},
};

TEST(I2CBus, TransactionsOnTheWire) {
    for (const auto& t : transactions) {
        Wire wire;
        t.setUp(wire);
        TestBus bus(wire);
        Bytes reply;
        EXPECT_EQ(t.result, t.run(bus, reply)) << t.what;
        EXPECT_EQ(t.symbols, wire.symbols) << t.what;
        EXPECT_EQ(t.reply, reply) << t.what;
        EXPECT_TRUE(wire.released()) << t.what;
    }
    Wire wire;
    TestBus bus(wire);
    ASSERT_TRUE(writeOf(bus, {0xA0, 0xFE, 1, 2, 3})); // the register pointer wraps
    EXPECT_EQ((Bytes{1, 2, 3}), (Bytes{wire.memory[0xFE], wire.memory[0xFF], wire.memory[0]}));
    // Pauses: START 4, each byte with its acknowledge 27, STOP 3.
    wire.calls.clear();
    ASSERT_TRUE(writeOf(bus, {0xA0, 0x00}));
    EXPECT_EQ(4 + 2 * 27 + 3, std::count(wire.calls.begin(), wire.calls.end(), '.'));
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

TEST(I2CBus, CheckedTransactionsTellAddressFromDataRefusals) {
    const struct {
        std::function<void(Wire&)> setUp;
        std::function<void(I2CBus&)> run;
        I2CError::Reason reason;
        unsigned char address;
        unsigned index;
        const char* message;
    } rows[] = {
        {[](Wire& w) { w.deviceAddress = 0x42; },
         [](I2CBus& b) { const unsigned char m[] = {0xA0, 1}; b.writeMessage(m, 2); },
         I2CError::addressNotAcknowledged, 0xA0, 0, "Can't address I2C device 80 (address byte 160): no acknowledge"},
        {[](Wire& w) { w.refuseByte = 3; },
         [](I2CBus& b) { const unsigned char m[] = {0xA0, 1, 2, 3, 4}; b.writeMessage(m, 5); },
         I2CError::dataNotAcknowledged, 0xA0, 3, "Can't write byte 3 to I2C device 80 (address byte 160): no acknowledge"},
        {[](Wire& w) { w.deviceAddress = 0x42; },
         [](I2CBus& b) { const unsigned char c[] = {0xA1, 1, 2}; unsigned char r[1]; b.readReply(c, 3, r, 1); },
         I2CError::addressNotAcknowledged, 0xA0, 0, "Can't address I2C device 80 (address byte 160): no acknowledge"},
        {[](Wire& w) { w.refuseByte = 2; },
         [](I2CBus& b) { const unsigned char c[] = {0xA0, 1, 2, 3}; unsigned char r[1]; b.readReply(c, 4, r, 1); },
         I2CError::dataNotAcknowledged, 0xA0, 2,
         "Can't write command byte 2 to I2C device 80 (address byte 160): no acknowledge"},
        {[](Wire& w) { w.refuseRead = true; },
         [](I2CBus& b) { const unsigned char c[] = {0xA0, 1}; unsigned char r[1]; b.readReply(c, 2, r, 1); },
         I2CError::addressNotAcknowledged, 0xA1, 0,
         "Can't address I2C device 80 (address byte 161) for reading: no acknowledge"},
    };
    for (const auto& row : rows) {
        Wire wire;
        row.setUp(wire);
        TestBus bus(wire);
        const I2CError e = errorOf([&] { row.run(bus); });
        EXPECT_EQ(row.reason, e.getReason()) << row.message;
        EXPECT_TRUE(e.hasAddress()) << row.message;
        EXPECT_EQ(row.address, e.getAddress()) << row.message;
        EXPECT_EQ(row.index, e.getByteIndex()) << row.message;
        EXPECT_STREQ(row.message, e.what());
        EXPECT_EQ("P", wire.symbols.substr(wire.symbols.size() - 1)) << row.message;
    }
    Wire wire;
    TestBus bus(wire);
    const unsigned char m[] = {0xA0, 0x20, 0x77};
    bus.writeMessage(m, 3);
    EXPECT_EQ(0x77, wire.memory[0x20]);
}

TEST(I2CBus, ClockStretchingUpToTheTimeoutIsWaitedFor) {
    // The first look at SCL comes one pause after the master releases it; then the
    // bus waits for at most the timeout's pauses more.
    for (unsigned timeout : {0u, 3u, I2CBusForLines::defaultSCLTimeout}) {
        Wire wire;
        preset(wire);
        wire.stretch = 1 + timeout;
        TestBus bus(wire, timeout);
        EXPECT_EQ(timeout, bus.getSCLTimeout());
        Bytes reply;
        ASSERT_TRUE(writeOf(bus, {0xA0, 0x14, 0x5A})) << timeout;
        ASSERT_TRUE(readOf(bus, {0xA0, 0x13}, reply, 2)) << timeout;
        EXPECT_EQ((Bytes{0x44, 0x5A}), reply);
        EXPECT_EQ("S A0+ 14+ 5A+ P S A0+ 13+ Sr A1+ 44+ 5A- P", wire.symbols) << timeout;

        wire.stretch = 2 + timeout;
        const I2CError e = errorOf([&] { writeOf(bus, {0xA0, 0x14}); });
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
    I2CError e = errorOf([&] { writeOf(bus, {0xA0, 0x10, 0x20, 0x30}); });
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
    wire.holdSDA(3); // a few clocks finish the slave's byte; then the START is made
    ASSERT_TRUE(writeOf(bus, {0xA0, 0x30, 0x99}));
    EXPECT_EQ("S A0+ 30+ 99+ P", wire.symbols);
    EXPECT_EQ(0x99, wire.memory[0x30]);
    EXPECT_EQ(0u, wire.calls.find("D1 C0 . C1 . c? d? C0 . C1 . c? d? C0 . C1 . c? d? C0 . C1 . c? d? D0 . C0 ."));

    wire.holdSDA(1000);
    wire.symbols.clear();
    const I2CError e = errorOf([&] { writeOf(bus, {0xA0, 0x30}); });
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
    const struct {
        std::function<void()> run;
        const char* message;
    } rows[] = {
        {[] { I2CBusForLines none(nullptr); }, "Can't drive an I2C bus without lines"},
        {[&] { bus.write(nullptr, 2); }, "Can't write an I2C message from a null buffer"},
        {[&] { bus.writeMessage(nullptr, 1); }, "Can't write an I2C message from a null buffer"},
        {[&] { bus.read(b, 0, b, 1); }, "Can't read from an I2C device without its address byte"},
        {[&] { bus.read(nullptr, 1, b, 1); }, "Can't read from an I2C device without its address byte"},
        {[&] { bus.readReply(b, 1, nullptr, 1); }, "Can't read an I2C reply into a null buffer"},
    };
    for (const auto& row : rows) {
        try {
            row.run();
            ADD_FAILURE() << "nothing thrown: " << row.message;
        } catch (const Exception& e) {
            EXPECT_STREQ(row.message, e.what());
        }
    }
    EXPECT_EQ("", wire.calls);
}

// Fixed-seed sweep: random messages under random stretching and refusals; the
// symbols on the wire follow from the message alone, and what was acknowledged
// reads back.
TEST(I2CBus, RandomTransactionsSweep) {
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        Wire wire;
        TestBus bus(wire, random() % 5);
        wire.stretch = random() % (bus.getSCLTimeout() + 2);
        const unsigned n = random() % 6, reg = random() % 256;
        Bytes message{0xA0, static_cast<unsigned char>(reg)};
        for (unsigned i = 0; i < n; ++i) message.push_back(static_cast<unsigned char>(random()));
        wire.refuseByte = random() % 3 == 0 ? int(random() % message.size()) : -1;
        std::string expected = "S";
        char text[8];
        for (unsigned i = 0; i < message.size(); ++i) {
            std::snprintf(text, sizeof text, " %02X%c", message[i], int(i) == wire.refuseByte ? '-' : '+');
            expected += text;
            if (int(i) == wire.refuseByte) break;
        }
        ASSERT_EQ(wire.refuseByte < 0, writeOf(bus, message)) << round;
        ASSERT_EQ(expected + " P", wire.symbols) << round;
        if (wire.refuseByte >= 0) continue;
        Bytes reply;
        ASSERT_TRUE(readOf(bus, {0xA0, message[1]}, reply, n)) << round;
        EXPECT_EQ(Bytes(message.begin() + 2, message.end()), reply) << round;
    }
}

// The bus's own pause really pauses (Sleep(1) may end early on Windows when the
// timer is coarse, so only half of the 88 pauses is asked for).
TEST(I2CBus, StandardPauseSleeps) {
    Wire wire;
    I2CBusForLines bus(&wire);
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(writeOf(bus, {0xA0, 0x40, 0x41}));
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(44));
    EXPECT_EQ(0x41, wire.memory[0x40]);
}

// Nearest-code-word decoding: code words from the parity equations (checked against
// the published list), then each byte against all sixteen.
TEST(DeHam48, MatchesNearestCodeWordForEveryByte) {
    const unsigned char published[16] = {0x15, 0x02, 0x49, 0x5E, 0x64, 0x73, 0x38, 0x2F,
                                         0xD0, 0xC7, 0x8C, 0x9B, 0xA1, 0xB6, 0xFD, 0xEA};
    unsigned codes[16];
    for (unsigned d = 0; d < 16; ++d) {
        const unsigned d1 = d & 1, d2 = d >> 1 & 1, d3 = d >> 2 & 1, d4 = d >> 3 & 1;
        const unsigned p1 = 1 ^ d1 ^ d3 ^ d4, p2 = 1 ^ d1 ^ d2 ^ d4, p3 = 1 ^ d1 ^ d2 ^ d3;
        const unsigned seven = p1 | d1 << 1 | p2 << 2 | d2 << 3 | p3 << 4 | d3 << 5 | d4 << 7;
        codes[d] = seven | (1 ^ __builtin_parity(seven)) << 6;
        EXPECT_EQ(published[d], codes[d]) << d;
    }
    int decoded = 0;
    for (unsigned byte = 0; byte < 256; ++byte) {
        int expected = -1;
        for (unsigned d = 0; d < 16; ++d)
            if (__builtin_popcount(byte ^ codes[d]) <= 1) expected = int(d);
        decoded += expected >= 0;
        EXPECT_EQ(expected, DeHam48(static_cast<unsigned char>(byte))) << byte;
    }
    EXPECT_EQ(144, decoded);
    EXPECT_EQ(0, DeHam48(0x15));
    EXPECT_EQ(0, DeHam48(0x14));
    EXPECT_EQ(-1, DeHam48(0x16));
    EXPECT_EQ(15, DeHam48(0xEA));
}

} // namespace
