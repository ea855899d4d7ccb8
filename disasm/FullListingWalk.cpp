// The full walk of kadrel-disasm --all: every byte of the source gets a place in the listing.

#include "disasm/FullListingWalk.h"

#include "disasm/ListingLines.h"
#include "disasm/ListingWriter.h"
#include "midi/FileBytes.h"

namespace kadrel {

namespace {

namespace text = listing_text;

class FullWalk {
public:
    FullWalk(ByteSpan source, ListingWriter& out) : src_(source), out_(out) {}

    void Run() {
        if (const auto riff = RiffForm(src_, "RMID"))
            Riff(*riff);
        else
            Chunks(0, src_.size());
        TextLine(out_, text::EndOfFile);
    }

private:
    // The bytes [from, to) of the source.
    ByteSpan Range(std::size_t from, std::size_t to) const { return src_.subspan(from, to - from); }

    void Riff(const ChunkRange& riff) {
        ChunkTagLine(out_, Range(0, 4));
        ChunkSizeLine(out_, ChunkKind::Riff, Range(4, 8), riff.Length);
        ChunkTagLine(out_, Range(8, 12));
        out_.BlankLine();
        const ByteSpan form = src_.first(riff.End);
        std::size_t at = RiffChunksStart;
        while (at < riff.End) {
            const auto chunk = ChunkAt(form, at, ByteOrder::LittleEndian);
            if (!chunk) {
                RawLines(out_, Range(at, riff.End), text::TooFewForAChunk);
                at = riff.End;
                break;
            }
            const bool data = TagAt(form, at, "data");
            ChunkTagLine(out_, Range(at, at + 4), !data);
            ChunkSizeLine(out_, ChunkKind::Other, Range(at + 4, at + 8), chunk->Length);
            out_.BlankLine();
            if (data)
                Chunks(chunk->Start(), chunk->End);
            else
                RawLines(out_, Range(chunk->Start(), chunk->End), text::Skipped);
            at = NextRiffChunk(*chunk, riff.End);
            if (at > chunk->End)
                BytesLine(out_, Range(chunk->End, at), text::PaddingByte);
            out_.BlankLine();
        }
        RawLines(out_, Range(at, src_.size()), text::AfterRiff);
    }

    // The chunks of a Standard MIDI File in [from, to).
    void Chunks(std::size_t from, std::size_t to) {
        const ByteSpan smf = src_.first(to);
        if (!ChunkAt(smf, from, ByteOrder::BigEndian) || !TagAt(smf, from, "MThd"))
            TextLine(out_, text::NoHeader);
        unsigned declared = 0;
        unsigned k = 0;
        for (std::size_t at = from; at < to;) {
            const auto chunk = ChunkAt(smf, at, ByteOrder::BigEndian);
            if (!chunk) {
                RawLines(out_, Range(at, to), text::TooFewForAChunk);
                return;
            }
            if (at == from && TagAt(smf, at, "MThd")) {
                declared = Header(*chunk);
            } else if (TagAt(smf, at, "MTrk")) {
                ++k;
                Track(*chunk, k);
                if (k == declared)
                    TextLine(out_, text::LogicalEnd);
            } else {
                OtherChunk(*chunk);
            }
            at = chunk->End;
        }
    }

    // The tag line of a chunk is the caller's; this writes the size line, and says so when the
    // size runs past the data.
    void SizeLines(const ChunkRange& chunk, ChunkKind kind) {
        ChunkSizeLine(out_, kind, Range(chunk.At + 4, chunk.Start()), chunk.Length);
        if (chunk.CutShort())
            TextLine(out_, text::ChunkCutShort);
    }

    unsigned Header(const ChunkRange& header) {
        HeaderTitleLines(out_);
        ChunkTagLine(out_, Range(header.At, header.At + 4));
        SizeLines(header, ChunkKind::Header);
        std::size_t pos = header.Start();
        unsigned tracks = 0;
        // The fields of the header, as far as it holds them.
        const auto field = [&](auto line) {
            if (header.End - pos < 2)
                return;
            const ByteSpan bytes = Range(pos, pos + 2);
            line(bytes);
            pos += 2;
        };
        field([&](ByteSpan bytes) { FileFormatLine(out_, bytes); });
        field([&](ByteSpan bytes) {
            tracks = BigEndianAt(bytes, 0, 2);
            TrackCountLine(out_, bytes);
        });
        field([&](ByteSpan bytes) {
            if ((bytes[0] & 0x80) != 0)
                TimeCodeLine(out_, bytes);
            else
                TicksPerQuarterLine(out_, bytes);
        });
        RawLines(out_, Range(pos, header.End),
                 header.Length < 6 ? text::HeaderCutShort : text::ExtraHeaderBytes);
        out_.BlankLine();
        return tracks;
    }

    void OtherChunk(const ChunkRange& chunk) {
        TextLine(out_, text::OtherChunk);
        ChunkTagLine(out_, Range(chunk.At, chunk.At + 4), true);
        SizeLines(chunk, ChunkKind::Other);
        out_.BlankLine();
        RawLines(out_, Range(chunk.Start(), chunk.End), text::Skipped);
        if (chunk.End > chunk.Start())
            out_.BlankLine();
    }

    void Track(const ChunkRange& chunk, unsigned k) {
        TrackTitleLines(out_, k);
        ChunkTagLine(out_, Range(chunk.At, chunk.At + 4));
        SizeLines(chunk, ChunkKind::Track);
        out_.BlankLine();
        TrackEvents(chunk);
    }

    // A variable-length quantity of at most four bytes at pos_, within the track.
    Quantity QuantityHere() const { return QuantityAt(track_, pos_, 4); }

    // Ends the track's listing at pos_: the rest of the chunk is shown as bytes.
    void RestOfTrack(std::string_view why) {
        RawLines(out_, Range(pos_, end_), why);
        if (pos_ < end_)
            out_.BlankLine();
        pos_ = end_;
    }

    void TrackEvents(const ChunkRange& chunk) {
        track_ = src_.first(chunk.End);
        pos_ = chunk.Start();
        end_ = chunk.End;
        running_ = 0;
        bool interrupted = false;
        while (pos_ < end_) {
            if (!interrupted) {
                const Quantity delta = QuantityHere();
                if (delta.Result == Quantity::Outcome::CutShort) {
                    RestOfTrack(text::DeltaTimeCutShort);
                    break;
                }
                if (delta.Result == Quantity::Outcome::TooLong) {
                    ProblemLine(out_, text::DeltaTimeOverFourBytes, pos_ + delta.Length);
                    RestOfTrack(text::NotRead);
                    break;
                }
                DeltaTimeLine(out_, Range(pos_, pos_ + delta.Length), delta.Value);
                pos_ += delta.Length;
                if (pos_ >= end_) {
                    TextLine(out_, text::TrackEndsAfterDelta);
                    break;
                }
            }
            interrupted = false;
            const std::uint8_t status = src_[pos_];
            bool more = true;
            if (status < 0x80) {
                if (running_ == 0) {
                    ProblemLine(out_, text::DataByteWithoutStatus, pos_);
                    RestOfTrack(text::NotRead);
                    break;
                }
                more = ChannelEvent(running_, true, interrupted);
            } else if (status < 0xF0) {
                ++pos_;
                more = ChannelEvent(status, false, interrupted);
            } else if (status == 0xF0 || status == 0xF7) {
                more = SysEx();
            } else if (status == 0xFF) {
                bool endOfTrack = false;
                more = Meta(endOfTrack);
                if (endOfTrack) {
                    RestOfTrack(text::AfterEndOfTrack);
                    return;
                }
            } else {
                ProblemLine(out_, text::SystemStatusInTrack, pos_);
                RestOfTrack(text::NotRead);
                break;
            }
            if (!more)
                break;
        }
        TextLine(out_, text::NoEndOfTrack);
        out_.BlankLine();
    }

    // A channel message from its data bytes at pos_ (its status byte, if any, already read).
    // False when the track ends inside it.
    bool ChannelEvent(std::uint8_t status, bool runningStatus, bool& interrupted) {
        const std::uint8_t kind = status & 0xF0;
        const std::size_t count = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
        if (!runningStatus)
            ChannelStatusLine(out_, status);
        std::size_t got = 0;
        while (got < count && pos_ + got < end_ && src_[pos_ + got] < 0x80)
            ++got;
        if (got == count) {
            ChannelDataLine(out_, status, Range(pos_, pos_ + count), runningStatus);
            out_.BlankLine();
            pos_ += count;
            running_ = status;
            return true;
        }
        if (pos_ + got >= end_) {
            RestOfTrack(text::EventCutShort);
            return false;
        }
        // A status byte where a data byte should be: the message is incomplete, and the
        // status begins the next event, at the same time.
        RawLines(out_, Range(pos_, pos_ + got), text::IncompleteData);
        ProblemLine(out_, text::StatusInsteadOfData, pos_ + got);
        out_.BlankLine();
        pos_ += got;
        interrupted = true;
        return true;
    }

    // The length (a quantity) after the headBytes of a sysex or meta event at pos_. On success
    // head is the group of the status, the type and the length, and pos_ is at the payload;
    // false, after lines that say why, when the length cannot be read.
    bool EventHead(std::size_t headBytes, std::uint32_t& length, ByteSpan& head) {
        const std::size_t start = pos_;
        pos_ += headBytes;
        const Quantity q = QuantityHere();
        if (q.Result == Quantity::Outcome::CutShort) {
            pos_ = start;
            RestOfTrack(text::EventCutShort);
            return false;
        }
        if (q.Result == Quantity::Outcome::TooLong) {
            EventHeadLine(out_, Range(start, pos_), std::nullopt);
            ProblemLine(out_, text::LengthOverFourBytes, pos_ + q.Length);
            RestOfTrack(text::NotRead);
            return false;
        }
        pos_ += q.Length;
        length = q.Value;
        head = Range(start, pos_);
        return true;
    }

    bool SysEx() {
        std::uint32_t length = 0;
        ByteSpan head;
        if (!EventHead(1, length, head))
            return false;
        EventHeadLine(out_, head, length);
        return Payload(length, false);
    }

    // The payload of a sysex or meta event at pos_, as characters or as bytes. False when the
    // track ends inside it.
    bool Payload(std::uint32_t length, bool characters) {
        if (end_ - pos_ < length) {
            RestOfTrack(text::EventCutShort);
            return false;
        }
        const ByteSpan payload = Range(pos_, pos_ + length);
        if (characters)
            CharacterLines(out_, payload);
        else
            RawLines(out_, payload, text::Data);
        pos_ += length;
        out_.BlankLine();
        return true;
    }

    bool Meta(bool& endOfTrack) {
        if (end_ - pos_ < 2) {
            RestOfTrack(text::EventCutShort);
            return false;
        }
        const std::uint8_t type = src_[pos_ + 1];
        std::uint32_t length = 0;
        ByteSpan head;
        if (!EventHead(2, length, head))
            return false;
        const bool known = (type == 0x2F && length == 0) || (type == 0x51 && length == 3) ||
                           (type == 0x58 && length == 4) || (type == 0x59 && length == 2);
        if (known && head.size() == 3 && end_ - pos_ >= length) {
            EventHeadLine(out_, head, std::nullopt);
            if (type == 0x2F) {
                out_.BlankLine();
                endOfTrack = true;
                return true;
            }
            KnownMeta(type);
            out_.BlankLine();
            return true;
        }
        EventHeadLine(out_, head, length);
        endOfTrack = type == 0x2F && end_ - pos_ >= length;
        // Meta events 01 to 0F hold text.
        return Payload(length, type >= 0x01 && type <= 0x0F);
    }

    // Tempo, time signature and key signature, whose payload is there whole.
    void KnownMeta(std::uint8_t type) {
        const auto next = [this](std::size_t count) {
            const ByteSpan field = Range(pos_, pos_ + count);
            pos_ += count;
            return field;
        };
        if (type == 0x51) {
            TempoLine(out_, next(3));
        } else if (type == 0x58) {
            SignatureLine(out_, next(2));
            MetronomeLine(out_, next(1));
            QuarterNoteLine(out_, next(1));
        } else {
            KeyLine(out_, next(1));
            ModeLine(out_, next(1));
        }
    }

    ByteSpan src_;
    ListingWriter& out_;
    // The track being walked: the source up to its end, and where the walk is.
    ByteSpan track_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::uint8_t running_ = 0;
};

} // namespace

void WalkFullListing(std::span<const std::uint8_t> source, ListingWriter& out) {
    FullWalk(source, out).Run();
}

} // namespace kadrel
