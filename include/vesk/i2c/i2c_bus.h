// An I2C bus master driven in software, bit by bit, over two open-drain lines that
// the caller supplies. Three layers keep the protocol apart from the hardware:
//   I2CBus          the two transactions (write a message; write a command and read
//                   a reply) over pure virtual bus primitives;
//   I2CLines        the pair of lines, SDA and SCL: the application derives from it
//                   to set and sense them (true = released/high, false = pulled low);
//   I2CBusForLines  the primitives (START, STOP, bits, bytes, acknowledges) done by
//                   toggling an I2CLines and settling after every change.
//
//   class PortLines : public vesk::I2CLines { ... };     // the caller's hardware
//   PortLines port;
//   vesk::I2CBusForLines bus(&port);
//   const unsigned char store[] = {0xA0, 0x10, 'h', 'i'}; // address byte, register, data
//   bus.writeMessage(store, sizeof store);                // throws I2CError on a NACK
//   const unsigned char fetch[] = {0xA0, 0x10};
//   unsigned char reply[2];
//   if (!bus.read(fetch, sizeof fetch, reply, sizeof reply)) { /* no acknowledge */ }
//
// Addresses are address bytes as they go on the wire: the 7-bit device address in
// bits 7..1, the read/write bit in bit 0 (0 = write, 1 = read). Bytes go out most
// significant bit first. A bus object and its lines are used by one thread at a time.
#pragma once

#include <vesk/config.h>
#include <vesk/errors/exception.h>

#include <string>

namespace vesk {

// A transfer on an I2C bus that could not be completed.
class VESK_API I2CError : public Exception {
public:
    enum Reason {
        addressNotAcknowledged, // no device answered its address byte
        dataNotAcknowledged,    // the device refused a byte after its address
        clockHeldLow,           // SCL stayed low past the bus's SCL timeout
        dataHeldLow             // SDA stayed low, so no START could be made
    };

    explicit I2CError(Reason reason, const std::string& description);
    // A failure inside a transaction with the device at address byte address, at
    // byteIndex of the caller's array (the message, the command or the reply buffer).
    I2CError(Reason reason, const std::string& description, unsigned char address, unsigned int byteIndex);
    ~I2CError() override;

    Reason getReason() const { return reason; }
    // False for a failure of a bare primitive, outside any transaction.
    bool hasAddress() const { return located; }
    unsigned char getAddress() const { return address; }
    unsigned int getByteIndex() const { return byteIndex; }

private:
    Reason reason;
    bool located;
    unsigned char address;
    unsigned int byteIndex;
};

// The abstract bus: the transactions over the primitives of a derived class.
class VESK_API I2CBus {
public:
    // START, or a repeated START inside a transaction.
    virtual void start() = 0;
    virtual void stop() = 0;
    // Clocks one bit out.
    virtual void writeBit(bool bit) = 0;

    // One complete write message: START, every byte of data (data[0] is the address
    // byte, sent unchanged, bit 0 clear), STOP. False when a byte was not
    // acknowledged: the message then ends with STOP at that byte. length 0 sends
    // START and STOP.
    virtual bool write(const unsigned char* data, unsigned int length);
    // One byte and its acknowledge; true when acknowledged.
    virtual bool write(unsigned char byte) = 0;

    // A command and its reply. command[0] is the device's address byte and
    // commandLength >= 1. The bytes after it (typically a register number) go out in
    // a write phase; a repeated START and the address byte with bit 0 set follow
    // (a plain START when command holds the address alone), then bufferLength bytes
    // are read, all answered with ACK but the last, which gets NACK. False when the
    // address or a command byte before the last was not acknowledged; the last
    // command byte's acknowledge is not examined. bufferLength 0 does nothing and
    // answers true.
    virtual bool read(const unsigned char* command, unsigned int commandLength, unsigned char* buffer,
                      unsigned int bufferLength);
    // Clocks one byte in and answers it: ACK, or NACK when last is true.
    virtual unsigned char read(bool last) = 0;

    // Clocks the acknowledge bit in; true when the receiver pulled SDA low.
    virtual bool acknowledge() = 0;
    // The settling pause after every change of a line.
    virtual void sleep() const = 0;

    // The same transactions as write() and read() for callers that treat a missing
    // acknowledge as a failure: it throws I2CError, addressNotAcknowledged naming the
    // address byte, or dataNotAcknowledged naming the index of the refused byte in
    // data or command.
    void writeMessage(const unsigned char* data, unsigned int length);
    void readReply(const unsigned char* command, unsigned int commandLength, unsigned char* buffer,
                   unsigned int bufferLength);

protected:
    I2CBus() = default;
    I2CBus(const I2CBus&) = default;
    I2CBus& operator=(const I2CBus&) = default;
    // Not virtual: a bus is never deleted through this base.
    ~I2CBus() = default;
};

// The two lines a caller drives: true = released (high), false = pulled low.
class VESK_API I2CLines {
public:
    virtual void setSDA(bool high) = 0;
    virtual void setSCL(bool high) = 0;
    // setSDA(sda), then setSCL(scl).
    virtual void SetLines(bool sda, bool scl);
    // The levels read back from the lines (a slave may hold either low).
    virtual bool getSDA() = 0;
    virtual bool getSCL() = 0;

protected:
    I2CLines() = default;
    I2CLines(const I2CLines&) = default;
    I2CLines& operator=(const I2CLines&) = default;
    // Not virtual: the bus never owns or deletes its lines.
    ~I2CLines() = default;
};

// The bus over an I2CLines, with a pause of sleep() (one millisecond) after every
// change of a line: a bit costs 3 pauses, a byte with its acknowledge 27, a START 4
// and a STOP 3. A slave may stretch the clock by holding SCL low; the bus waits for
// SCL before it uses a clock high phase, for at most getSCLTimeout() further
// pauses. Past that, or when SDA stays held low through the recovery clocks before a
// START, it releases both lines and throws I2CError. Copies drive the same lines.
class VESK_API I2CBusForLines : public I2CBus {
public:
    // The longest wait for a stretched clock, in settling pauses: at least 100 ms
    // with the standard pause, longer than slow sensors stretch in practice.
    static constexpr unsigned int defaultSCLTimeout = 100;
    // Clocks given to a slave that holds SDA low before a START, enough to finish
    // any byte it was sending and see a NACK.
    static constexpr unsigned int recoveryClocks = 9;

    // Drives lines, which the bus does not own: they must outlive it.
    explicit I2CBusForLines(I2CLines* lines);

    using I2CBus::read;
    using I2CBus::write;

    void start() override;
    void stop() override;
    void writeBit(bool bit) override;
    bool write(unsigned char byte) override;
    unsigned char read(bool last) override;
    bool acknowledge() override;
    // Sleep(1): one millisecond or more.
    void sleep() const override;

    unsigned int getSCLTimeout() const { return sclTimeout; }
    // pauses: how many settling pauses to wait, at most, for a slave to release SCL
    // (0: SCL must be high at the first look).
    void setSCLTimeout(unsigned int pauses) { sclTimeout = pauses; }

protected:
    // For derived classes that set lines later.
    I2CBusForLines();

    // Returns once SCL reads high; throws I2CError (clockHeldLow), lines released,
    // when it is still low after getSCLTimeout() pauses.
    void waitForSCL();

    I2CLines* lines;

private:
    I2CLines& checkedLines() const;
    void settle() const { sleep(); }
    // Releases both lines, dropping any failure of the caller's lines: used on the
    // way out with an I2CError, which matters more.
    void release() noexcept;

    unsigned int sclTimeout;
};

} // namespace vesk
