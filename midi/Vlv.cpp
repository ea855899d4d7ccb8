#include "midi/Vlv.h"

#include "midi/ByteStream.h"

#include <utility>

namespace kadrel {

namespace {

WeirdThingNotifier& Notifier() {
    static WeirdThingNotifier notifier;
    return notifier;
}

} // namespace

WeirdThingNotifier SetWeirdThingNotifier(WeirdThingNotifier notifier) {
    return std::exchange(Notifier(), std::move(notifier));
}

void vlv::SetValue(std::uint32_t value) {
    std::uint8_t groups[5];
    int k = 1;
    for (int g = 0; g < 5; ++g) {
        groups[g] = static_cast<std::uint8_t>((value >> (7 * g)) & 0x7F);
        if (groups[g] != 0)
            k = g + 1;
    }
    Bytes.clear();
    for (int g = k - 1; g >= 0; --g)
        Bytes.push_back(static_cast<std::uint8_t>(g == 0 ? groups[g] : groups[g] | 0x80));
}

void vlv::SetBytes(std::array<std::uint8_t, 8> raw) {
    Bytes.clear();
    for (std::uint8_t b : raw) {
        Bytes.push_back(b);
        if ((b & 0x80) == 0)
            break;
    }
}

std::uint32_t vlv::GetValue() const {
    const int last = ByteCount() - 1;
    // Accumulated in 64 bits: a malformed quantity of six to eight bytes shifts its leading
    // groups up to 49 bits, which must not overflow; only the low 32 bits are returned.
    std::uint64_t value = 0;
    for (int i = 0; i <= last; ++i) {
        const std::uint8_t b = Bytes[i];
        const int shift = 7 * (last - i);
        if (b & 0x80) {
            value |= std::uint64_t{b & 0x7Fu} << shift;
            continue;
        }
        value |= std::uint64_t{b} << shift;
        if (i < last && Notifier())
            Notifier()("Weird thing hapenned: " + std::to_string(i) + " / " + std::to_string(last));
        break;
    }
    return static_cast<std::uint32_t>(value);
}

void vlv::WriteToStream(ByteStream& stream) const {
    for (int i = 0; i < ByteCount(); ++i)
        stream.WriteByte(Bytes[i]);
}

std::uint32_t SwapBytes32(std::uint32_t value) {
    return ((value & 0x000000FFu) << 24) | ((value & 0x0000FF00u) << 8) |
           ((value & 0x00FF0000u) >> 8) | ((value & 0xFF000000u) >> 24);
}

std::uint16_t SwapBytes16(std::uint16_t value) {
    return static_cast<std::uint16_t>((value << 8) | (value >> 8));
}

} // namespace kadrel
