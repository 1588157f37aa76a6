// The input format of fuzz_gateway_messages, shared by the fuzzer and the
// program that writes its seed inputs.
//
// An input is a run of chunks. The first byte of a chunk chooses what happens
// (its value modulo kOpCount); the bytes after it are that operation's
// arguments. Multi-byte numbers of the format are little-endian whatever the
// host, so a seed means the same everywhere; the gateway message bodies
// inside are host-order records, as the gateway sends them.
//
//   kOpMessage  u16 length, then that many body bytes: one class-4 message as
//               the framework hands it over (the body starts at the envelope,
//               offset 24 of the framework buffer)
//   kOpLinkDown the link-down the transport raises when the gateway is gone
//   kOpEnum     class byte, flag byte (bit 0: names only)
//   kOpGet      class byte, key choice
//   kOpModify   class byte, key choice, count byte, then count x (name byte, value)
//   kOpInvoke   class byte, key choice, method byte, value (name), key choice (reference)
//
// A class byte picks one of the seven classes, or a name no class has. A key
// choice is a selector byte and the data it asks for (see KeySource). A value
// is a kind byte (ValueKind) and the data of that kind. Whatever runs out
// reads as zeros, so every byte string is a valid input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzzinput {

enum Op : uint8_t { kOpMessage, kOpLinkDown, kOpEnum, kOpGet, kOpModify, kOpInvoke, kOpCount };

// Low two bits of a key selector: where the DeviceID (terminals) or the
// InstanceID (settings) comes from. Bit 2 leaves one key out (its index in
// the next byte); bit 3 sends the DeviceID / InstanceID as a null value.
enum KeySource : uint8_t { kKeyCached, kKeyNumber, kKeyText, kKeyOtherClass };
inline constexpr uint8_t kKeyDropOne = 0x04;
inline constexpr uint8_t kKeyNull = 0x08;

enum ValueKind : uint8_t {
    kValueText,    // u8 length, bytes
    kValueUInt8,   // 1 byte
    kValueUInt16,  // 2 bytes
    kValueUInt32,  // 4 bytes
    kValueUInt64,  // 8 bytes
    kValueSInt32,  // 4 bytes
    kValueBool,    // 1 byte
    kValueNull,
    kValueTextArray,  // u8 count, then count texts
    kValueKindCount
};

// The directory numbers the fuzzer's start-up population gives each class's
// terminals (Alder, Birch, Cedar); a kKeyCached selector indexes them.
inline const std::vector<uint32_t>& seededDNs(int terminalClass) {
    static const std::vector<uint32_t> dns[3] = {{5000, 5001}, {6000}, {4000, 4001, 4002}};
    return dns[terminalClass];
}

// Appends to an input under construction.
class Writer {
public:
    Writer& op(Op o) { return byte(o); }
    Writer& byte(uint8_t b) {
        out_.push_back(b);
        return *this;
    }
    Writer& u16(uint16_t v) { return byte(v & 0xFF).byte(v >> 8); }
    Writer& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Writer& bytes(const void* p, std::size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        out_.insert(out_.end(), b, b + n);
        return *this;
    }
    Writer& text(const std::string& s) { return byte(static_cast<uint8_t>(s.size())).bytes(s.data(), s.size() & 0xFF); }
    const std::vector<uint8_t>& data() const { return out_; }

private:
    std::vector<uint8_t> out_;
};

// Reads an input; past the end every read gives zeros.
class Reader {
public:
    Reader(const uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
    bool done() const { return p_ >= end_; }
    std::size_t remaining() const { return static_cast<std::size_t>(end_ - p_); }
    uint8_t byte() { return p_ < end_ ? *p_++ : 0; }
    uint16_t u16() {
        const uint16_t lo = byte();
        return static_cast<uint16_t>(lo | (byte() << 8));
    }
    uint32_t u32() {
        const uint32_t lo = u16();
        return lo | (static_cast<uint32_t>(u16()) << 16);
    }
    uint64_t u64() {
        const uint64_t lo = u32();
        return lo | (static_cast<uint64_t>(u32()) << 32);
    }
    // Up to n bytes, fewer when the input ends first.
    std::vector<uint8_t> bytes(std::size_t n) {
        if (n > remaining()) n = remaining();
        std::vector<uint8_t> out(p_, p_ + n);
        p_ += n;
        return out;
    }
    std::string text() {
        const std::vector<uint8_t> b = bytes(byte());
        return std::string(b.begin(), b.end());
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

}  // namespace fuzzinput
