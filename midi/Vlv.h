#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace kadrel {

class ByteStream;

// The stored bytes of a variable-length quantity: at most eight, kept inline so that an event's
// delta time costs no allocation of its own.
class VlvBytes {
public:
    static constexpr int Capacity = 8;

    int size() const { return count_; }
    bool empty() const { return count_ == 0; }
    void clear() { count_ = 0; }
    // Appending to a full buffer is ignored: a quantity never holds more than eight bytes.
    void push_back(std::uint8_t b) {
        if (count_ < Capacity)
            bytes_[count_++] = b;
    }
    std::uint8_t operator[](int i) const { return bytes_[i]; }
    std::uint8_t& operator[](int i) { return bytes_[i]; }
    const std::uint8_t* data() const { return bytes_.data(); }

private:
    std::array<std::uint8_t, Capacity> bytes_{};
    int count_ = 0;
};

// A variable-length quantity in its stored form: 7 bits per byte, most significant group
// first, bit 7 set in every byte but the last.
class vlv {
public:
    // A new quantity holds the single byte 0x00.
    vlv() { Bytes.push_back(0); }

    // Number of stored bytes (1 to 8).
    int ByteCount() const { return Bytes.size(); }

    // Replaces the bytes by the shortest encoding of value: 1 to 5 bytes.
    void SetValue(std::uint32_t value);

    // Keeps the leading bytes of raw up to and including the first one with bit 7 clear, or all
    // eight when every byte has bit 7 set.
    void SetBytes(std::array<std::uint8_t, 8> raw);

    // The number the bytes encode, kept to 32 bits. A byte ending the quantity before the last
    // stored byte is reported through the notifier (see SetWeirdThingNotifier) and the value
    // summed so far is returned.
    std::uint32_t GetValue() const;

    // Writes the stored bytes, one per write.
    void WriteToStream(ByteStream& stream) const;

    VlvBytes Bytes;
};

// Receives the text of an inconsistency found by vlv::GetValue ("Weird thing hapenned: i / n").
// The core shows nothing itself; the GUI installs a notifier that shows a message box. Returns
// the notifier that was installed before; an empty function silences the reports.
using WeirdThingNotifier = std::function<void(const std::string& text)>;
WeirdThingNotifier SetWeirdThingNotifier(WeirdThingNotifier notifier);

// Reverse the byte order of a 32-bit and a 16-bit value; each is its own inverse.
std::uint32_t SwapBytes32(std::uint32_t value);
std::uint16_t SwapBytes16(std::uint16_t value);

} // namespace kadrel
