#include "midi/devices/QuietLibraries.h"

#include <fluidsynth.h>
#include <glib.h>
#include <jack/jack.h>

#include <cstdarg>
// <alsa/error.h> leaves its per-thread handler outside its extern "C" block.
extern "C" {
#include <alsa/error.h>
}

#include <cstdlib>
#include <iostream>
#include <mutex>
#include <streambuf>

namespace kadrel {

namespace {

void DropAlsaMessage(const char*, int, const char*, int, const char*, va_list) {}

void DropGlibMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

void DropFluidSynthMessage(int, const char*, void*) {}

void DropJackMessage(const char*) {}

// A stream buffer that accepts everything and keeps nothing, so std::cerr stays good.
class NullBuffer final : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

NullBuffer nullBuffer;

void QuietForGood() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Kadrel has no log: a synthesizer that cannot sound shows up as the port's open error.
        for (int level = 0; level < LAST_LOG_LEVEL; ++level) {
            fluid_set_log_function(level, DropFluidSynthMessage, nullptr);
        }
        // JACK's client library reports a missing server in several lines, and its own threads
        // may report later on, while a stream plays: it has one handler of each kind for the
        // whole process, so those are replaced for good too.
        jack_set_error_function(DropJackMessage);
        jack_set_info_function(DropJackMessage);
        // Probing JACK must not start a server: on a machine where no other output worked
        // that takes seconds and fails anyway. An explicit setting of the user's wins.
        setenv("JACK_NO_START_SERVER", "1", 0);
    });
}

} // namespace

struct QuietLibraries::Previous {
    snd_local_error_handler_t alsa;
    GLogFunc glib;
    std::streambuf* cerr;
};

QuietLibraries::QuietLibraries() : previous_(std::make_unique<Previous>()) {
    QuietForGood();
    previous_->alsa = snd_lib_error_set_local(DropAlsaMessage);
    previous_->glib = g_log_set_default_handler(DropGlibMessage, nullptr);
    previous_->cerr = std::cerr.rdbuf(&nullBuffer);
}

QuietLibraries::~QuietLibraries() {
    std::cerr.rdbuf(previous_->cerr);
    g_log_set_default_handler(previous_->glib, nullptr);
    snd_lib_error_set_local(previous_->alsa);
}

} // namespace kadrel
