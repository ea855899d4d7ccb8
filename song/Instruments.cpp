#include "song/Instruments.h"

#include <array>
#include <cstdio>

namespace kadrel {

namespace {

// The names as users of this editor have always seen them, misspellings and the blank after
// "Celesta" included: saved songs and habits rely on these exact texts.
const char* const InstrumentNames[InstrumentCount] = {
    "Piano 1",
    "Piano 2",
    "Piano 3",
    "Honky Tonk",
    "E.Piano 1",
    "E.Piano 2",
    "Harpsichord",
    "Clavinet",
    "Celesta ",
    "Glockenspiel",
    "Music Box",
    "Vibraphone",
    "Marimba",
    "Xylophone",
    "Tubular Bells",
    "Dulcimer",
    "Organ 1",
    "Organ 2",
    "Organ 3",
    "Church Organ",
    "Reed Organ",
    "Accordion",
    "Harmonica",
    "Bandoneon",
    "Nylon Guitar",
    "Steel Guitar",
    "Jazz Guitar",
    "Clean Guitar",
    "Guitar Mutes",
    "Overdrive Guitar",
    "Distortion Guitar",
    "Guitar Harmonics",
    "Acoustic Bass",
    "Fingered Bass",
    "Picked Bass",
    "Fretless Bass",
    "Slap Bass 1",
    "Slap Bass 2",
    "Synth Bass 1",
    "Synth Bass 2",
    "Violin",
    "Viola",
    "Cello",
    "Contrabass",
    "Tremolo Strings",
    "Pizzicato",
    "Harp",
    "Timpani",
    "Strings",
    "Slow Strings",
    "Synth Strings 1",
    "Synth Strings 2",
    "Choir Aahs",
    "Voice Oohs",
    "Synth Vox",
    "Orchestra Hit",
    "Trumpet",
    "Trumbone",
    "Tuba",
    "Mute Trumpet",
    "French Horns",
    "Brass",
    "Synth Brass 1",
    "Synth Brass 2",
    "Soprano Sax",
    "Alto Sax",
    "Tenor Sax",
    "Baritone Sax",
    "Oboe",
    "English Horn",
    "Bassoon",
    "Clarinet",
    "Piccolo",
    "Flute",
    "Recorder",
    "Pan Flute",
    "Bottle Chiff",
    "Shakuhachi",
    "Whistle",
    "Ocarina",
    "Square Wave",
    "Saw Wave",
    "Synth Calliope",
    "Chiffer Lead",
    "Charang",
    "Solo Vox",
    "5th Saw Wave",
    "Bass & Lead",
    "Fantasia",
    "Warm Pad",
    "Poly Synth",
    "Space Voice",
    "Bowed Glass",
    "Metal Pad",
    "Halo Pad",
    "Sweep Pad",
    "Ice Rain",
    "Soundtrack",
    "Crystal",
    "Atmosphere",
    "Brithness",
    "Goblin",
    "Echo Drops",
    "Star Theme",
    "Sitar",
    "Banjo",
    "Shamisen",
    "Koto",
    "Kalimba",
    "Bagpipe",
    "Fiddle",
    "Shenai",
    "Tinker bell",
    "Agogo",
    "Steel Drum",
    "Wood Block",
    "Taiko Drum",
    "Melodic Tom",
    "Synth Drum",
    "Reverse Cymbal",
    "Fret Noise",
    "Breath Noise",
    "Seashore",
    "Bird",
    "Telephone",
    "Helicopter",
    "Applause",
    "Gunshot",
};

std::array<std::string, InstrumentCount> MakeTexts() {
    std::array<std::string, InstrumentCount> texts;
    for (int k = 0; k < InstrumentCount; ++k) {
        char number[8];
        std::snprintf(number, sizeof number, "%03d", k);
        texts[k] = std::string(number) + " - " + InstrumentNames[k];
    }
    return texts;
}

} // namespace

const std::string& InstrumentText(int k) {
    static const auto texts = MakeTexts();
    return texts.at(static_cast<std::size_t>(k));
}

} // namespace kadrel
