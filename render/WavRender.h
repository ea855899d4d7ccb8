#pragma once

#include "midi/ByteStream.h"
#include "song/Song.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kadrel {

// Told how far the export has come: the position being rendered and the last position it can
// reach (the last message's plus the 3 s that a release may last). Returning false cancels.
// Called on the caller's thread, about every 0.3 s of sound and once more at the end with the
// last position, so a progress dialog can be driven from it directly.
using RenderProgress = std::function<bool(std::int64_t position, std::int64_t lastPosition)>;

// The sound comes out as 44.1 kHz stereo: one position of the song, 30 ms, is 1323 frames.
inline constexpr int RenderSampleRate = 44100;
inline constexpr std::int64_t RenderFramesPerStep = 1323;
// After the last note-off the sound is kept until it has died away, but at most this long
// (3 s): a note that is never ended would sound for ever.
inline constexpr std::int64_t RenderTailSteps = 100;
// The sound has died away once every sample of both channels has been 0 in 16 bits for this
// many frames (0.1 s), which the file keeps. A song without notes is exactly this long, silent.
inline constexpr std::int64_t RenderSilenceFrames = 4410;

// Plays the song as Jouer does from position 0 (the same schedule: a song of Kadrel's own at 30
// ms per position and velocity 127 with each row's program on its channel at the start, any
// other with its tempo, velocities, controllers, programs and sysex) through the built-in
// synthesizer with the system's General MIDI soundfont, faster than real time, into the bytes
// of a 16-bit stereo PCM WAV file, built in memory (about 10 MB a minute). Positions told to
// progress are grid positions (16 to the quarter note). Returns nothing when progress cancels.
// Throws Error when no soundfont can be loaded, when the song is too long for a WAV file, or
// when memory runs out.
// threads: how many synthesizers share the channels, each on its own thread; 0 for one per
// processor, at most RenderMaxThreads. The sound is the same whatever the number but for the
// first 64 frames of some notes (about -50 dB of difference over a dense song), as long as
// fewer voices sound at once than one synthesizer holds (256).
std::optional<ByteStream> RenderWavBytes(const Song& song, const RenderProgress& progress = {},
                                         int threads = 0);

inline constexpr int RenderMaxThreads = 4;

// Refuses a WAV file that would take the place of the song it is rendered from: the same file
// by device and inode, whatever the path or link that names it. Throws Error("Le fichier
// <wavFile> est le fichier du morceau : il ne peut pas recevoir son export en WAV"); does
// nothing when songFile is "" or either file does not exist.
void RefuseOutputThatIsTheSong(const std::string& songFile, const std::string& wavFile);

// RenderWavBytes written to fileName, replacing an existing file only once the new one is
// complete. Returns false, writing nothing, when progress cancels. Throws Error as
// RenderWavBytes does and as ByteStream::SaveToFile does when the file cannot be written.
bool RenderWav(const Song& song, const std::string& fileName, const RenderProgress& progress = {},
               int threads = 0);

} // namespace kadrel
