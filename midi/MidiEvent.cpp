#include "midi/MidiEvent.h"

#include "midi/ByteStream.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace kadrel {

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define KADREL_PLAIN_EVENT_ALLOCATION 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KADREL_PLAIN_EVENT_ALLOCATION 1
#endif
#endif

#ifndef KADREL_PLAIN_EVENT_ALLOCATION
// Events are allocated by bumping a pointer in a 64 KiB slab that counts its live events; a
// slab is given back when its last event is freed. Reading or freeing a whole file thus costs
// a few instructions per event instead of a general-purpose allocation. Events are created and
// freed on the thread that owns their file, so the slab in use is per thread.
constexpr std::size_t SlabSize = 64 * 1024;
constexpr std::size_t Alignment = alignof(std::max_align_t);

struct Slab {
    std::size_t live = 0;
    std::size_t used = 0;
};

constexpr std::size_t RoundUp(std::size_t n) {
    return (n + Alignment - 1) & ~(Alignment - 1);
}
constexpr std::size_t FirstOffset = RoundUp(sizeof(Slab));

thread_local Slab* currentSlab = nullptr;

Slab* NewSlab() {
    void* memory = std::aligned_alloc(SlabSize, SlabSize);
    if (memory == nullptr)
        throw std::bad_alloc();
    auto* slab = new (memory) Slab;
    slab->used = FirstOffset;
    return slab;
}

void* AllocateEvent(std::size_t size) {
    size = RoundUp(size);
    if (currentSlab == nullptr || currentSlab->used + size > SlabSize) {
        Slab* retired = currentSlab;
        currentSlab = NewSlab();
        if (retired != nullptr && retired->live == 0)
            std::free(retired);
    }
    void* p = reinterpret_cast<char*>(currentSlab) + currentSlab->used;
    currentSlab->used += size;
    ++currentSlab->live;
    return p;
}

void FreeEvent(void* p) noexcept {
    auto* slab = reinterpret_cast<Slab*>(reinterpret_cast<std::uintptr_t>(p) & ~(SlabSize - 1));
    if (--slab->live != 0)
        return;
    if (slab == currentSlab)
        slab->used = FirstOffset;
    else
        std::free(slab);
}
#endif

} // namespace

void* TMidiEvent::operator new(std::size_t size) {
#ifdef KADREL_PLAIN_EVENT_ALLOCATION
    // Under AddressSanitizer every event gets its own block, so that misuse is caught.
    return ::operator new(size);
#else
    return AllocateEvent(size);
#endif
}

void TMidiEvent::operator delete(void* p) noexcept {
    if (p == nullptr)
        return;
#ifdef KADREL_PLAIN_EVENT_ALLOCATION
    ::operator delete(p);
#else
    FreeEvent(p);
#endif
}

void TMidiEvent::WriteToStream(ByteStream& stream) const {
    DeltaTime.WriteToStream(stream);
    if (IsMeta) {
        stream.WriteByte(0xFF);
        stream.WriteByte(Status);
    } else {
        stream.WriteByte(static_cast<std::uint8_t>(Status | Channel));
    }
}

std::uint8_t TMidiEndOfTrackEvent::Size() const {
    return static_cast<std::uint8_t>(DeltaTime.ByteCount() + 3);
}

void TMidiEndOfTrackEvent::WriteToStream(ByteStream& stream) const {
    TMidiEvent::WriteToStream(stream);
    stream.WriteByte(0x00);
}

void TMidiEndOfTrackEvent::ReadFromStream(ByteStream& stream) {
    std::uint8_t length = 0;
    stream.ReadByte(length);
}

std::uint8_t TMidiNoteONEvent::Size() const {
    return static_cast<std::uint8_t>(DeltaTime.ByteCount() + 3);
}

void TMidiNoteONEvent::WriteToStream(ByteStream& stream) const {
    TMidiEvent::WriteToStream(stream);
    stream.WriteByte(Note);
    stream.WriteByte(Velocity);
}

void TMidiNoteONEvent::ReadFromStream(ByteStream& stream) {
    stream.ReadByte(Note);
    stream.ReadByte(Velocity);
}

std::uint8_t TMidiNoteOFFEvent::Size() const {
    return static_cast<std::uint8_t>(DeltaTime.ByteCount() + 3);
}

void TMidiNoteOFFEvent::WriteToStream(ByteStream& stream) const {
    TMidiEvent::WriteToStream(stream);
    stream.WriteByte(Note);
    stream.WriteByte(0x00);
}

void TMidiNoteOFFEvent::ReadFromStream(ByteStream& stream) {
    stream.ReadByte(Note);
    std::uint8_t releaseVelocity = 0;
    stream.ReadByte(releaseVelocity);
}

std::uint8_t TMidiChangePatchEvent::Size() const {
    return static_cast<std::uint8_t>(DeltaTime.ByteCount() + 2);
}

void TMidiChangePatchEvent::WriteToStream(ByteStream& stream) const {
    TMidiEvent::WriteToStream(stream);
    stream.WriteByte(Patch);
}

void TMidiChangePatchEvent::ReadFromStream(ByteStream& stream) {
    stream.ReadByte(Patch);
}

} // namespace kadrel
