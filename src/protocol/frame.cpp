#include "protocol/frame.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace vantrell::protocol {

namespace {

constexpr std::string_view kMagic = "EMSG";
constexpr std::size_t kFrameTagsSize = 19; // "<Msg0000>" + "</Msg0000>"
constexpr std::size_t kKeptFrameCapacity = std::size_t{4} << 20;

void putU32(std::string &out, std::uint32_t value)
{
    char bytes[4] = {static_cast<char>(value & 0xff), static_cast<char>((value >> 8) & 0xff),
                     static_cast<char>((value >> 16) & 0xff), static_cast<char>((value >> 24) & 0xff)};
    out.append(bytes, 4);
}

std::uint32_t getU32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return std::uint32_t{u[0]} | (std::uint32_t{u[1]} << 8) | (std::uint32_t{u[2]} << 16) |
           (std::uint32_t{u[3]} << 24);
}

// The number field is compared by its decimal value: leading digits, as atoi reads them.
std::uint32_t numberValue(const char *p)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4 && p[i] >= '0' && p[i] <= '9'; ++i)
        value = value * 10 + static_cast<std::uint32_t>(p[i] - '0');
    return value;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::string messageNumberText(int number)
{
    std::string text = "0000" + std::to_string(number);
    return text.substr(text.size() - 4);
}

int FrameEncoder::nextNumber()
{
    ++m_sequence;
    if (m_sequence > 9999)
        m_sequence = 10;
    return m_sequence;
}

std::string FrameEncoder::encode(std::string_view payload)
{
    std::string out;
    encodeTo(payload, out);
    return out;
}

int FrameEncoder::encodeTo(std::string_view payload, std::string &out)
{
    if (payload.empty())
        return 0;
    const std::string lengthText = std::to_string(payload.size());
    // The chunk header carries the frame length in 32 bits; a longer frame cannot be
    // described, so it is refused before it takes a number.
    if (payload.size() > std::numeric_limits<std::uint32_t>::max() - kFrameTagsSize - lengthText.size())
        return 0;

    const int number = nextNumber();
    const std::string numberText = messageNumberText(number);
    std::string header;
    header.reserve(kFrameTagsSize + lengthText.size());
    header.append("<Msg").append(numberText).append(">").append(lengthText);
    header.append("</Msg").append(numberText).append(">");

    const std::size_t total = header.size() + payload.size();
    const std::size_t chunks = (total + kMaxPieceSize - 1) / kMaxPieceSize;
    out.reserve(out.size() + total + chunks * kChunkHeaderSize);

    std::size_t offset = 0;
    for (std::uint32_t index = 0; offset < total; ++index) {
        const std::size_t piece = std::min(kMaxPieceSize, total - offset);
        out.append(kMagic).append(numberText);
        putU32(out, static_cast<std::uint32_t>(total));
        putU32(out, index);
        putU32(out, static_cast<std::uint32_t>(piece));
        std::size_t from = offset;
        std::size_t left = piece;
        if (from < header.size()) {
            const std::size_t n = std::min(left, header.size() - from);
            out.append(header, from, n);
            from += n;
            left -= n;
        }
        if (left > 0)
            out.append(payload.substr(from - header.size(), left));
        offset += piece;
    }
    return number;
}

std::string FrameEncoder::encodeClose()
{
    const std::string numberText = messageNumberText(nextNumber());
    const std::string frame = "<Msg" + numberText + ">0</Msg" + numberText + ">";
    std::string out(kMagic);
    out.append(numberText);
    putU32(out, static_cast<std::uint32_t>(frame.size()));
    putU32(out, 0);
    putU32(out, static_cast<std::uint32_t>(frame.size()));
    out.append(frame);
    return out;
}

void parseFrame(std::string_view frame, std::vector<DecodedEvent> &events)
{
    while (frame.size() > kFrameTagsSize && frame.substr(0, 4) == "<Msg") {
        const std::string_view number = frame.substr(4, 4);
        std::size_t digitsEnd = frame.find('<', 9);
        if (digitsEnd == std::string_view::npos)
            digitsEnd = frame.size();
        // A run of digits worth more than the bytes at hand can only be a frame that is
        // too short, so the value saturates instead of overflowing.
        std::size_t length = 0;
        for (std::size_t i = 9; i < digitsEnd; ++i) {
            if (!isDigit(frame[i]))
                return;
            if (length <= frame.size())
                length = length * 10 + static_cast<std::size_t>(frame[i] - '0');
        }
        const std::size_t headerLength = (digitsEnd - 9) + kFrameTagsSize;
        if (headerLength > frame.size() || length > frame.size() - headerLength)
            return;
        if (length == 0) {
            events.push_back({DecodedEvent::Kind::ConnectionLost, {}, {}});
            return;
        }
        events.push_back(
            {DecodedEvent::Kind::Data, std::string(number), std::string(frame.substr(headerLength, length))});
        frame.remove_prefix(headerLength + length);
    }
}

bool FrameDecoder::headerIsSound() const
{
    return m_magicSound && m_pieceLength > 0 && m_pieceLength <= kMaxPieceSize &&
           m_pieceLength <= m_chunkTotal;
}

// Whether the chunk whose header was just read adds to the pieces gathered; otherwise
// they are dropped (another message number, an index out of turn, or more bytes than the
// frame's total) and the chunk starts a frame of its own.
bool FrameDecoder::continuesFrame() const
{
    return !m_havePieces || (m_chunkNumber == m_lastNumber && m_chunkIndex == m_lastIndex + 1 &&
                             m_gathered + m_pieceLength <= m_chunkTotal);
}

void FrameDecoder::appendToFrame(std::string_view bytes)
{
    // The head ends ten bytes ("</MsgNNNN>") after the first "<" from position 9 on, as
    // parseFrame reads it.
    if (m_headEnd == 0 || m_head.size() < m_headEnd) {
        std::size_t take = bytes.size();
        if (m_headEnd == 0) {
            const std::size_t from = m_head.size() >= 9 ? 0 : 9 - m_head.size();
            const std::size_t at = from < bytes.size() ? bytes.find('<', from) : std::string_view::npos;
            if (at != std::string_view::npos)
                m_headEnd = m_head.size() + at + 10;
        }
        if (m_headEnd != 0)
            take = std::min(bytes.size(), m_headEnd - m_head.size());
        m_head.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (bytes.empty())
            return;
    }
    const std::size_t needed = m_body.size() + bytes.size();
    if (needed > m_body.capacity()) {
        // What this frame still declares beyond its head bounds the growth from above.
        const std::size_t declared = m_chunkTotal > m_head.size() ? m_chunkTotal - m_head.size() : needed;
        m_body.reserve(std::max(needed, std::min(declared, needed * kFrameGrowth)));
    }
    m_body.append(bytes);
}

FrameDecoder::Status FrameDecoder::feed(std::string_view bytes, std::vector<DecodedEvent> &events)
{
    // True once a chunk has completed in this read: the bytes that follow are leftover.
    bool leftover = false;
    while (!bytes.empty()) {
        if (!m_inPiece) {
            const char *h = bytes.data();
            if (m_header.empty() && bytes.size() >= kChunkHeaderSize) {
                // A whole header in the read: read where it stands.
                bytes.remove_prefix(kChunkHeaderSize);
            } else {
                const std::size_t take = std::min(kChunkHeaderSize - m_header.size(), bytes.size());
                m_header.append(bytes.substr(0, take));
                bytes.remove_prefix(take);
                if (m_header.size() < kChunkHeaderSize)
                    return Status::Ok;
                h = m_header.data();
            }
            m_magicSound = std::memcmp(h, kMagic.data(), 4) == 0;
            m_chunkNumber = numberValue(h + 4);
            m_chunkTotal = getU32(h + 8);
            m_chunkIndex = getU32(h + 12);
            m_pieceLength = getU32(h + 16);
            if (!headerIsSound()) {
                reset();
                return leftover ? Status::ConnectionLost : Status::Ok;
            }
            if (m_maxFrameSize != 0 && m_chunkTotal > m_maxFrameSize) {
                reset();
                return Status::ConnectionLost;
            }
            if (!continuesFrame())
                clearFrame();
            m_inPiece = true;
            m_pieceReceived = 0;
        }
        const std::size_t take = std::min<std::size_t>(m_pieceLength - m_pieceReceived, bytes.size());
        appendToFrame(bytes.substr(0, take));
        bytes.remove_prefix(take);
        m_pieceReceived += static_cast<std::uint32_t>(take);
        if (m_pieceReceived < m_pieceLength)
            return Status::Ok;
        m_inPiece = false;
        m_header.clear();
        if (takeChunk(events)) {
            reset();
            return Status::Ok;
        }
        leftover = true;
    }
    return Status::Ok;
}

// Returns true when the chunk completed a frame that announced the end of the connection.
bool FrameDecoder::takeChunk(std::vector<DecodedEvent> &events)
{
    m_gathered += m_pieceLength;
    m_havePieces = true;
    m_lastNumber = m_chunkNumber;
    m_lastIndex = m_chunkIndex;
    if (m_gathered != m_chunkTotal)
        return false;

    const std::size_t before = events.size();
    parseGathered(events);
    clearFrame();
    return std::any_of(events.begin() + static_cast<std::ptrdiff_t>(before), events.end(),
                       [](const DecodedEvent &e) { return e.kind == DecodedEvent::Kind::ConnectionLost; });
}

// parseFrame over m_head + m_body, without joining them when the head is the header of
// a sound first message: its payload is taken from m_body (moved when it is all of it).
void FrameDecoder::parseGathered(std::vector<DecodedEvent> &events)
{
    const std::size_t total = m_head.size() + m_body.size();
    const bool headComplete = m_headEnd != 0 && m_head.size() == m_headEnd;
    if (!headComplete || total <= kFrameTagsSize || std::memcmp(m_head.data(), "<Msg", 4) != 0) {
        parseFrame(m_head + m_body, events);
        return;
    }
    // As parseFrame: digits up to the "<", their value saturating past the frame's size.
    std::size_t length = 0;
    for (std::size_t i = 9; i + 10 < m_headEnd; ++i) {
        if (!isDigit(m_head[i]))
            return;
        if (length <= total)
            length = length * 10 + static_cast<std::size_t>(m_head[i] - '0');
    }
    if (length > m_body.size())
        return;
    if (length == 0) {
        events.push_back({DecodedEvent::Kind::ConnectionLost, {}, {}});
        return;
    }
    std::string number = m_head.substr(4, 4);
    if (length == m_body.size()) {
        events.push_back({DecodedEvent::Kind::Data, std::move(number), std::move(m_body)});
        return;
    }
    events.push_back({DecodedEvent::Kind::Data, std::move(number), m_body.substr(0, length)});
    parseFrame(std::string_view(m_body).substr(length), events);
}

void FrameDecoder::clearFrame()
{
    m_head.clear();
    m_headEnd = 0;
    m_body.clear();
    if (m_body.capacity() > kKeptFrameCapacity)
        std::string().swap(m_body);
    m_gathered = 0;
    m_havePieces = false;
    m_lastNumber = 0;
    m_lastIndex = 0;
}

void FrameDecoder::reset()
{
    m_header.clear();
    m_inPiece = false;
    m_pieceReceived = 0;
    clearFrame();
}

std::size_t FrameDecoder::bufferedBytes() const
{
    return m_header.size() + m_head.size() + m_body.size();
}

} // namespace vantrell::protocol
