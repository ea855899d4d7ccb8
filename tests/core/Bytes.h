#pragma once

#include "midi/ByteStream.h"
#include "midi/Midi.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kadrel::test {

using Bytes = std::vector<std::uint8_t>;

// Bytes from a mix of text (chunk tags) and numbers: B("MTrk", {0, 0, 0, 4}).
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes Tag(const char (&text)[5]) {
    return Bytes(text, text + 4);
}

inline Bytes Written(const auto& writable) {
    ByteStream stream;
    writable.WriteToStream(stream);
    return stream.Bytes();
}

// The bytes of a whole file as the writer produces them.
inline Bytes Saved(const TMidi& midi) {
    ByteStream stream;
    midi.SaveToStream(stream);
    return stream.Bytes();
}

inline std::string Hex(const Bytes& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (auto b : bytes) {
        if (!s.empty())
            s += ' ';
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

} // namespace kadrel::test
