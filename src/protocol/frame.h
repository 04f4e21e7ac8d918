#pragma once

// Message frames and chunks.
//
//   frame  = "<Msg" NNNN ">" LEN "</Msg" NNNN ">" payload      (LEN decimal, no leading zeros)
//   chunk  = "EMSG" NNNN total(u32le) index(u32le) length(u32le) piece   (piece <= 8192 bytes)
//
// The encoder and decoder are pure: no I/O, no threads. The decoder is fed bytes as
// they arrive and reports what a receiver must do; it never allocates by a declared
// length alone: a frame's buffer is at most kFrameGrowth times the bytes received of it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell::protocol {

inline constexpr std::size_t kChunkHeaderSize = 20;
inline constexpr std::size_t kMaxPieceSize = 8192;
// How far ahead of the bytes received a frame's buffer may grow (never past the frame's
// declared length): a 1 MiB message is copied into its buffer once, not again on every
// doubling, while a peer that declares a large frame and sends little gets little.
inline constexpr std::size_t kFrameGrowth = 16;

class FrameEncoder
{
public:
    // The sequence number starts at 10; each message first advances it (after 9999
    // comes 10), so the first message carries 0011.
    explicit FrameEncoder(int sequence = 10) : m_sequence(sequence) {}

    // Wire bytes (all chunks) of one message. An empty payload yields an empty result
    // and does not advance the sequence number.
    std::string encode(std::string_view payload);
    // Wire bytes of the LEN 0 frame that announces closing (advances the sequence).
    std::string encodeClose();

    // Appends the wire bytes of `payload` to `out`; returns the message number used.
    int encodeTo(std::string_view payload, std::string &out);

    int sequence() const { return m_sequence; }

private:
    int nextNumber();
    int m_sequence;
};

// Four-digit message number text: formatted with "0000%d", last four characters.
std::string messageNumberText(int number);

struct DecodedEvent
{
    enum class Kind
    {
        Data,
        ConnectionLost
    };
    Kind kind = Kind::Data;
    std::string number; // the four digit characters of the frame; empty for ConnectionLost
    std::string payload;
};

class FrameDecoder
{
public:
    // maxFrameSize 0 = unlimited (the client); a frame whose total length exceeds a
    // non-zero limit is treated like a broken connection (the server closes it).
    explicit FrameDecoder(std::size_t maxFrameSize = 0) : m_maxFrameSize(maxFrameSize) {}

    enum class Status
    {
        Ok,             // keep reading
        ConnectionLost, // bad magic in leftover bytes, or an over-limit frame: stop reading
    };

    // Feeds bytes from one read. Complete messages (and LEN 0 frames, as
    // ConnectionLost events) are appended to `events` in order; bytes after a LEN 0
    // frame are ignored, since the connection ends there.
    //
    // A chunk header with a bad magic, or with a piece length of 0, above 8192 or
    // above its own total length, is unusable: at the start of a read (or when a
    // short leftover is completed by this read) the read's bytes and the gathered
    // pieces are discarded; in bytes left over after a complete chunk of the same
    // read it means ConnectionLost. A chunk whose piece would carry the gathered sum
    // past its total length cannot complete the frame, so the gathered pieces are
    // dropped as for a chunk out of sequence and it starts a new frame.
    Status feed(std::string_view bytes, std::vector<DecodedEvent> &events);

    // The receiver's 21st consecutive read timeout: everything gathered is discarded.
    void reset();

    std::size_t bufferedBytes() const;

private:
    bool headerIsSound() const;
    bool continuesFrame() const;
    void appendToFrame(std::string_view bytes);
    bool takeChunk(std::vector<DecodedEvent> &events);
    void parseGathered(std::vector<DecodedEvent> &events);
    void clearFrame();

    std::size_t m_maxFrameSize;
    std::string m_header; // chunk header bytes gathered so far (up to 20) when a read cuts one
    bool m_magicSound = false;
    bool m_inPiece = false;
    std::uint32_t m_chunkNumber = 0;
    std::uint32_t m_chunkTotal = 0;
    std::uint32_t m_chunkIndex = 0;
    std::uint32_t m_pieceLength = 0;
    std::uint32_t m_pieceReceived = 0;

    // The bytes of the current frame (its pieces in arrival order, then the bytes of the
    // piece still being read) as m_head + m_body: m_head is the header of the frame's
    // first message ("<Msg0011>123</Msg0011>") and m_body what follows, so that a frame
    // of one message hands m_body over as the payload without copying it again.
    std::string m_head;
    std::size_t m_headEnd = 0; // length the head will have; 0 until its "<" is seen
    std::string m_body;
    std::size_t m_gathered = 0; // length of the complete pieces in m_head + m_body
    bool m_havePieces = false;
    std::uint32_t m_lastNumber = 0;
    std::uint32_t m_lastIndex = 0;
};

// Parses a complete frame (pieces concatenated) into messages, as a receiver does.
// Stops at the first malformed message; a LEN 0 frame yields a ConnectionLost event
// and ends parsing.
void parseFrame(std::string_view frame, std::vector<DecodedEvent> &events);

} // namespace vantrell::protocol
