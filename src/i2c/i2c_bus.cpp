// The I2C transactions over the bus primitives, and the primitives over two lines.
#include <vesk/i2c/i2c_bus.h>

#include <vesk/text/string.h>

namespace vesk {

// ---- I2CError ----------------------------------------------------------

I2CError::I2CError(Reason r, const std::string& description)
    : Exception(description), reason(r), located(false), address(0), byteIndex(0) {}

I2CError::I2CError(Reason r, const std::string& description, unsigned char a, unsigned int index)
    : Exception(description), reason(r), located(true), address(a), byteIndex(index) {}

I2CError::~I2CError() = default;

// ---- I2CBus ------------------------------------------------------------

namespace {

String deviceName(unsigned char address) {
    return String::fromFormat("I2C device %u (address byte %u)", address >> 1, address);
}

// How far a transaction got, so that a failure deep in a primitive (a stretched
// clock, a held data line) can say which device and which byte it hit.
struct Cursor {
    enum Phase { starting, address, data, command, reply, stop } phase = starting;
    unsigned char device = 0;
    unsigned int index = 0;

    void at(Phase p, unsigned int i = 0) { phase = p, index = i; }

    String where() const {
        switch (phase) {
        case starting: return "at the START";
        case address: return "at its address byte";
        case data: return String::fromFormat("at byte %u", index);
        case command: return String::fromFormat("at command byte %u", index);
        case reply: return String::fromFormat("at reply byte %u", index);
        default: return "at the STOP";
        }
    }
};

// Runs a transaction; a bus failure without a place gets the cursor's.
template <class F> auto locating(const Cursor& cursor, F transaction) -> decltype(transaction()) {
    try {
        return transaction();
    } catch (const I2CError& e) {
        if (e.hasAddress()) throw;
        throw I2CError(e.getReason(),
                       std::string(e.what()) + " in the transfer with " + deviceName(cursor.device) + ", " +
                           cursor.where(),
                       cursor.device, cursor.index);
    }
}

// The write message; answers the index of the byte that was not acknowledged, or
// length when every byte was.
unsigned int sendMessage(I2CBus& bus, const unsigned char* data, unsigned int length, Cursor& cursor) {
    cursor.at(Cursor::starting);
    bus.start();
    for (unsigned int i = 0; i < length; ++i) {
        cursor.at(i == 0 ? Cursor::address : Cursor::data, i);
        if (!bus.write(data[i])) {
            bus.stop();
            return i;
        }
    }
    cursor.at(Cursor::stop);
    bus.stop();
    return length;
}

// Where a command and reply transaction was refused.
struct Refusal {
    enum { none, writeAddress, commandByte, readAddress } at = none;
    unsigned int index = 0;
};

Refusal sendRequest(I2CBus& bus, const unsigned char* command, unsigned int commandLength, unsigned char* buffer,
                    unsigned int bufferLength, Cursor& cursor) {
    const unsigned char address = command[0];
    if (commandLength != 1) {
        cursor.device = address & 0xFE;
        cursor.at(Cursor::starting);
        bus.start();
        cursor.at(Cursor::address);
        if (!bus.write(cursor.device)) {
            bus.stop();
            return {Refusal::writeAddress, 0};
        }
        for (unsigned int i = 1; i < commandLength - 1; ++i) {
            cursor.at(Cursor::command, i);
            if (!bus.write(command[i])) {
                bus.stop();
                return {Refusal::commandByte, i};
            }
        }
        cursor.at(Cursor::command, commandLength - 1);
        // A device may refuse the byte that ends its write phase and still answer.
        bus.write(command[commandLength - 1]);
    }
    cursor.device = address | 1;
    cursor.at(Cursor::starting);
    bus.start();
    cursor.at(Cursor::address);
    if (!bus.write(cursor.device)) {
        bus.stop();
        return {Refusal::readAddress, 0};
    }
    for (unsigned int i = 0; i < bufferLength; ++i) {
        cursor.at(Cursor::reply, i);
        buffer[i] = bus.read(i == bufferLength - 1);
    }
    cursor.at(Cursor::stop);
    bus.stop();
    return {};
}

// The write message, checked and located: the index of the refused byte, or length.
unsigned int transmit(I2CBus& bus, const unsigned char* data, unsigned int length) {
    if (!data && length != 0) throw Exception("Can't write an I2C message from a null buffer");
    Cursor cursor;
    if (length == 0) return sendMessage(bus, data, length, cursor); // no device to name
    cursor.device = data[0];
    return locating(cursor, [&] { return sendMessage(bus, data, length, cursor); });
}

Refusal request(I2CBus& bus, const unsigned char* command, unsigned int commandLength, unsigned char* buffer,
                unsigned int bufferLength) {
    if (!command || commandLength == 0) throw Exception("Can't read from an I2C device without its address byte");
    if (!buffer && bufferLength != 0) throw Exception("Can't read an I2C reply into a null buffer");
    if (bufferLength == 0) return {};
    Cursor cursor;
    cursor.device = command[0];
    return locating(cursor, [&] { return sendRequest(bus, command, commandLength, buffer, bufferLength, cursor); });
}

[[noreturn]] void throwAddressRefused(unsigned char address, const char* purpose) {
    throw I2CError(I2CError::addressNotAcknowledged,
                   "Can't address " + deviceName(address) + purpose + ": no acknowledge", address, 0);
}

[[noreturn]] void throwByteRefused(unsigned char address, const char* part, unsigned int index) {
    throw I2CError(I2CError::dataNotAcknowledged,
                   String::fromFormat("Can't write %s %u to ", part, index) + deviceName(address) + ": no acknowledge",
                   address, index);
}

} // namespace

bool I2CBus::write(const unsigned char* data, unsigned int length) { return transmit(*this, data, length) == length; }

bool I2CBus::read(const unsigned char* command, unsigned int commandLength, unsigned char* buffer,
                  unsigned int bufferLength) {
    return request(*this, command, commandLength, buffer, bufferLength).at == Refusal::none;
}

void I2CBus::writeMessage(const unsigned char* data, unsigned int length) {
    const unsigned int refused = transmit(*this, data, length);
    if (refused == length) return;
    if (refused == 0) throwAddressRefused(data[0], "");
    throwByteRefused(data[0], "byte", refused);
}

void I2CBus::readReply(const unsigned char* command, unsigned int commandLength, unsigned char* buffer,
                       unsigned int bufferLength) {
    const Refusal refusal = request(*this, command, commandLength, buffer, bufferLength);
    switch (refusal.at) {
    case Refusal::none: return;
    case Refusal::writeAddress: throwAddressRefused(command[0] & 0xFE, "");
    case Refusal::commandByte: throwByteRefused(command[0] & 0xFE, "command byte", refusal.index);
    case Refusal::readAddress: throwAddressRefused(command[0] | 1, " for reading");
    }
}

// ---- I2CLines ----------------------------------------------------------

void I2CLines::SetLines(bool sda, bool scl) {
    setSDA(sda);
    setSCL(scl);
}

// ---- I2CBusForLines ----------------------------------------------------

I2CBusForLines::I2CBusForLines(I2CLines* l) : lines(l), sclTimeout(defaultSCLTimeout) {
    if (!l) throw Exception("Can't drive an I2C bus without lines");
}

I2CBusForLines::I2CBusForLines() : lines(nullptr), sclTimeout(defaultSCLTimeout) {}

I2CLines& I2CBusForLines::checkedLines() const {
    if (!lines) throw Exception("Can't drive an I2C bus without lines");
    return *lines;
}

void I2CBusForLines::release() noexcept {
    try {
        if (lines) lines->SetLines(true, true);
    } catch (...) {
    }
}

void I2CBusForLines::sleep() const { Sleep(1); }

void I2CBusForLines::waitForSCL() {
    I2CLines& l = checkedLines();
    for (unsigned int pause = 0; !l.getSCL(); ++pause) {
        if (pause == sclTimeout) {
            release();
            throw I2CError(I2CError::clockHeldLow,
                           String::fromFormat("Can't clock the I2C bus: SCL still held low after %u pauses", pause));
        }
        settle();
    }
}

void I2CBusForLines::start() {
    I2CLines& l = checkedLines();
    l.SetLines(true, false);
    settle();
    l.setSCL(true);
    settle();
    // A slave may still stretch the clock after the byte before a repeated START;
    // SDA has to fall while SCL is really high, or the slave sees a data bit.
    waitForSCL();
    // A slave cut off while it was sending (the master restarted, a transfer was
    // abandoned) holds SDA low. Clocks let it finish its byte; SDA released in the
    // ninth is a NACK that ends its sending.
    for (unsigned int clock = 0; !l.getSDA(); ++clock) {
        if (clock == recoveryClocks) {
            release();
            const char* text = "Can't start an I2C transfer: SDA still held low after %u clocks";
            throw I2CError(I2CError::dataHeldLow, String::fromFormat(text, clock));
        }
        l.setSCL(false);
        settle();
        l.setSCL(true);
        settle();
        waitForSCL();
    }
    l.setSDA(false);
    settle();
    l.setSCL(false);
    settle();
}

void I2CBusForLines::stop() {
    I2CLines& l = checkedLines();
    l.SetLines(false, false);
    settle();
    l.setSCL(true);
    settle();
    waitForSCL();
    l.setSDA(true);
    settle();
}

void I2CBusForLines::writeBit(bool bit) {
    I2CLines& l = checkedLines();
    l.SetLines(bit, false);
    settle();
    l.setSCL(true);
    settle();
    waitForSCL();
    l.setSCL(false);
    settle();
}

bool I2CBusForLines::acknowledge() {
    I2CLines& l = checkedLines();
    l.SetLines(true, false);
    settle();
    l.setSCL(true);
    settle();
    waitForSCL();
    const bool sda = l.getSDA();
    l.setSCL(false);
    settle();
    return !sda;
}

bool I2CBusForLines::write(unsigned char byte) {
    for (int bit = 7; bit >= 0; --bit) writeBit((byte >> bit) & 1);
    return acknowledge();
}

unsigned char I2CBusForLines::read(bool last) {
    I2CLines& l = checkedLines();
    l.SetLines(true, false);
    settle();
    unsigned char byte = 0;
    for (int bit = 7; bit >= 0; --bit) {
        l.setSCL(true);
        settle();
        waitForSCL();
        if (l.getSDA()) byte |= 1 << bit;
        l.setSCL(false);
        settle();
    }
    writeBit(last);
    return byte;
}

} // namespace vesk
