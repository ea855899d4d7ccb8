#pragma once

#include "midi/Vlv.h"

#include <cstddef>
#include <cstdint>

namespace kadrel {

class ByteStream;

// One delta-timed event of a track. Only the four kinds below exist; a track reader creates the
// right one for a status byte. The full status byte is always written (no running status).
class TMidiEvent {
public:
    virtual ~TMidiEvent() = default;

    // Events come and go by the million when a large file is read and freed; they are carved
    // from shared slabs instead of one heap block each (see MidiEvent.cpp).
    static void* operator new(std::size_t size);
    static void operator delete(void* p) noexcept;

    // Bytes that the event takes in a track chunk, delta time included (at most 11).
    virtual std::uint8_t Size() const = 0;
    // Writes the whole event: delta time, status (0xFF and the type for a meta event), data.
    virtual void WriteToStream(ByteStream& stream) const;
    // Reads the data bytes that follow the status byte; a read at the end of the data leaves
    // the field as it was.
    virtual void ReadFromStream(ByteStream& stream) = 0;

    vlv DeltaTime;            // ticks since the previous event of the track
    std::uint8_t Status = 0;  // 0x80, 0x90 or 0xC0 for a channel event, the type for a meta event
    bool IsMeta = false;      // written as 0xFF followed by Status
    std::uint8_t Channel = 0; // 0..15, the status byte's low nibble; not masked when written

protected:
    TMidiEvent(std::uint8_t status, bool isMeta) : Status(status), IsMeta(isMeta) {}
    TMidiEvent(const TMidiEvent&) = default;
    TMidiEvent& operator=(const TMidiEvent&) = default;
};

class TMidiEndOfTrackEvent final : public TMidiEvent {
public:
    TMidiEndOfTrackEvent() : TMidiEvent(0x2F, true) {}
    std::uint8_t Size() const override;
    void WriteToStream(ByteStream& stream) const override;
    void ReadFromStream(ByteStream& stream) override;
};

class TMidiNoteONEvent final : public TMidiEvent {
public:
    TMidiNoteONEvent() : TMidiEvent(0x90, false) {}
    std::uint8_t Size() const override;
    void WriteToStream(ByteStream& stream) const override;
    void ReadFromStream(ByteStream& stream) override;

    std::uint8_t Note = 0; // written as stored, 0..127 expected
    std::uint8_t Velocity = 0;
};

// A note-off has no velocity of its own: it is written with 0 and the one read is dropped.
class TMidiNoteOFFEvent final : public TMidiEvent {
public:
    TMidiNoteOFFEvent() : TMidiEvent(0x80, false) {}
    std::uint8_t Size() const override;
    void WriteToStream(ByteStream& stream) const override;
    void ReadFromStream(ByteStream& stream) override;

    std::uint8_t Note = 0;
};

class TMidiChangePatchEvent final : public TMidiEvent {
public:
    TMidiChangePatchEvent() : TMidiEvent(0xC0, false) {}
    std::uint8_t Size() const override;
    void WriteToStream(ByteStream& stream) const override;
    void ReadFromStream(ByteStream& stream) override;

    std::uint8_t Patch = 0;
};

} // namespace kadrel
