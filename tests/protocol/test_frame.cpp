#include "protocol/frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace vantrell::protocol;

namespace {

std::string u32(std::uint32_t v)
{
    std::string s;
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
    return s;
}

std::string chunk(const std::string &number, std::uint32_t total, std::uint32_t index,
                  const std::string &piece)
{
    return "EMSG" + number + u32(total) + u32(index) + u32(static_cast<std::uint32_t>(piece.size())) + piece;
}

std::string chunkWithLength(const std::string &number, std::uint32_t total, std::uint32_t index,
                            std::uint32_t length, const std::string &piece)
{
    return "EMSG" + number + u32(total) + u32(index) + u32(length) + piece;
}

std::string frameText(const std::string &number, const std::string &payload)
{
    return "<Msg" + number + ">" + std::to_string(payload.size()) + "</Msg" + number + ">" + payload;
}

std::string single(const std::string &number, const std::string &frame)
{
    return chunk(number, static_cast<std::uint32_t>(frame.size()), 0, frame);
}

struct Decoded
{
    std::vector<DecodedEvent> events;
    bool lost = false;
};

Decoded decode(FrameDecoder &decoder, const std::vector<std::string> &reads)
{
    Decoded d;
    for (const auto &r : reads) {
        if (decoder.feed(r, d.events) == FrameDecoder::Status::ConnectionLost) {
            d.lost = true;
            break;
        }
    }
    return d;
}

Decoded decode(const std::vector<std::string> &reads)
{
    FrameDecoder decoder;
    return decode(decoder, reads);
}

std::vector<std::string> payloadsOf(const Decoded &d)
{
    std::vector<std::string> out;
    for (const auto &e : d.events)
        out.push_back(e.kind == DecodedEvent::Kind::Data ? e.number + ":" + e.payload : "LOST");
    return out;
}

bool sameAs(const std::vector<DecodedEvent> &events, const std::vector<std::string> &expected)
{
    if (events.size() != expected.size())
        return false;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const std::string &e = expected[i];
        if (events[i].kind != DecodedEvent::Kind::Data || e.compare(0, 4, events[i].number) != 0 ||
            e.compare(5, std::string::npos, events[i].payload) != 0)
            return false;
    }
    return true;
}

// Every way of cutting the stream into two reads, and one byte per read, must decode
// to the same events as the whole stream in one read.
void expectSameAtEverySplit(const std::string &wire, const std::vector<std::string> &expected)
{
    ASSERT_EQ(payloadsOf(decode({wire})), expected);
    const std::string_view view(wire);
    FrameDecoder decoder;
    std::vector<DecodedEvent> events;
    for (std::size_t cut = 1; cut < wire.size(); ++cut) {
        decoder.reset();
        events.clear();
        ASSERT_EQ(decoder.feed(view.substr(0, cut), events), FrameDecoder::Status::Ok) << "cut at " << cut;
        ASSERT_EQ(decoder.feed(view.substr(cut), events), FrameDecoder::Status::Ok) << "cut at " << cut;
        ASSERT_TRUE(sameAs(events, expected)) << "cut at " << cut;
    }
    decoder.reset();
    events.clear();
    for (char c : wire)
        ASSERT_EQ(decoder.feed(std::string_view(&c, 1), events), FrameDecoder::Status::Ok);
    EXPECT_EQ(payloadsOf({events, false}), expected);
    EXPECT_EQ(decoder.bufferedBytes(), 0u);
}

} // namespace

TEST(FrameEncoder, NumbersStartAt0011AndWrapAfter9999ToZero010)
{
    FrameEncoder encoder;
    EXPECT_EQ(encoder.encode("a").substr(4, 4), "0011");
    EXPECT_EQ(encoder.encode("b").substr(4, 4), "0012");
    EXPECT_EQ(encoder.sequence(), 12);

    FrameEncoder nearEnd(9998);
    EXPECT_EQ(nearEnd.encode("x").substr(4, 4), "9999");
    EXPECT_EQ(nearEnd.encode("x").substr(4, 4), "0010");
    EXPECT_EQ(nearEnd.encode("x").substr(4, 4), "0011");

    EXPECT_EQ(encoder.encode(""), "");
    EXPECT_EQ(encoder.sequence(), 12) << "an empty payload must not take a number";
    EXPECT_EQ(encoder.encodeClose().substr(4, 4), "0013");

    EXPECT_EQ(messageNumberText(7), "0007");
    EXPECT_EQ(messageNumberText(12345), "2345");
}

TEST(FrameEncoder, FivePayloadBytesMakeFortyFiveWireBytes)
{
    FrameEncoder encoder;
    const std::string wire = encoder.encode("hello");
    const std::string expected = std::string("EMSG0011") + std::string("\x19\0\0\0", 4) +
                                 std::string("\0\0\0\0", 4) + std::string("\x19\0\0\0", 4) +
                                 "<Msg0011>5</Msg0011>hello";
    ASSERT_EQ(wire.size(), 45u);
    EXPECT_EQ(wire, expected);
}

TEST(FrameEncoder, FrameOf8192BytesIsOneChunkAnd8193AreTwo)
{
    FrameEncoder encoder;
    const std::string exact = encoder.encode(std::string(8192 - 23, 'a')); // 4 length digits + 19
    ASSERT_EQ(exact.size(), 8192u + 20u);
    EXPECT_EQ(exact.substr(8, 12), u32(8192) + u32(0) + u32(8192));

    const std::string payload(8193 - 23, 'b');
    const std::string wire = encoder.encode(payload);
    ASSERT_EQ(wire.size(), 8193u + 40u);
    EXPECT_EQ(wire.substr(0, 8), "EMSG0012");
    EXPECT_EQ(wire.substr(8, 12), u32(8193) + u32(0) + u32(8192));
    const std::string second = wire.substr(20 + 8192);
    EXPECT_EQ(second.substr(0, 8), "EMSG0012");
    EXPECT_EQ(second.substr(8, 12), u32(8193) + u32(1) + u32(1));
    EXPECT_EQ(second.substr(20), "b");

    const Decoded d = decode({exact + wire});
    ASSERT_EQ(d.events.size(), 2u);
    EXPECT_EQ(d.events[1].payload, payload);
    EXPECT_EQ(d.events[1].number, "0012");
}

TEST(FrameDecoder, AnyCutOfAStreamDecodesTheSame)
{
    FrameEncoder encoder;
    const std::string big(9000, 'z');
    std::string wire = encoder.encode("first");
    wire += encoder.encode(big);
    wire += encoder.encode("last");
    // Several messages inside one frame, spread over two chunks.
    const std::string both = frameText("0042", "one") + frameText("0043", "two");
    wire += chunk("0042", static_cast<std::uint32_t>(both.size()), 0, both.substr(0, 10)) +
            chunk("0042", static_cast<std::uint32_t>(both.size()), 1, both.substr(10));
    expectSameAtEverySplit(wire, {"0011:first", "0012:" + big, "0013:last", "0042:one", "0043:two"});
}

TEST(FrameDecoder, LengthZeroFrameEndsTheConnection)
{
    FrameEncoder encoder;
    const std::string close = encoder.encodeClose();
    EXPECT_EQ(close.substr(20), "<Msg0011>0</Msg0011>");
    std::string wire = encoder.encode("before");
    wire += close;
    wire += encoder.encode("after");
    const Decoded d = decode({wire});
    EXPECT_EQ(payloadsOf(d), (std::vector<std::string>{"0012:before", "LOST"}));

    std::vector<DecodedEvent> events;
    parseFrame("<Msg0011></Msg0011>", events);
    EXPECT_TRUE(events.empty()) << "19 bytes are too short to be a message";
    parseFrame("<Msg0011></Msg0011>x", events);
    ASSERT_EQ(events.size(), 1u) << "an empty length run means length 0";
    EXPECT_EQ(events[0].kind, DecodedEvent::Kind::ConnectionLost);
}

TEST(FrameDecoder, MalformedMessageHeadersDropTheRestOfTheFrame)
{
    const std::string good = frameText("0011", "ok");
    const struct
    {
        const char *name;
        std::string bad;
    } cases[] = {
        {"no <Msg", "<Msh0012>2</Msg0012>xx"},
        {"non-digit length", "<Msg0012>1x</Msg0012>xx"},
        {"shorter than declared", "<Msg0012>30</Msg0012>xx"},
        {"length that overflows", "<Msg0012>99999999999999999999999999</Msg0012>xx"},
        {"no closing tag", "<Msg0012>12345678901234567890"},
    };
    for (const auto &c : cases) {
        std::vector<DecodedEvent> events;
        parseFrame(good + c.bad + good, events);
        ASSERT_EQ(events.size(), 1u) << c.name;
        EXPECT_EQ(events[0].payload, "ok") << c.name;
    }

    // Offset 8 and the closing tag are not compared.
    std::vector<DecodedEvent> events;
    parseFrame("<Msg0011#2<nonsense>ab", events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].payload, "ab");
}

// The decoder reads a frame's first message itself (so that a lone message's payload is
// not copied twice); whatever the frame holds, and however it is cut into pieces, the
// events are the ones parseFrame gives for the whole frame.
TEST(FrameDecoder, GatheredFramesReadAsParseFrameReadsThem)
{
    const std::string big(20000, 'b');
    const std::string frames[] = {
        frameText("0011", "ok"),
        frameText("0011", big),
        frameText("0011", "one") + frameText("0012", "two"),
        frameText("0011", big) + frameText("0012", "tail"),
        frameText("0011", "ok") + "<Msh0012>2</Msg0012>xx",
        "<Msh0012>2</Msg0012>xx",
        "<Msg0012>1x</Msg0012>xx" + frameText("0013", "after"),
        "<Msg0012>30</Msg0012>xx",
        "<Msg0012>99999999999999999999999999</Msg0012>xx",
        "<Msg0012>12345678901234567890",
        "<Msg0011#2<nonsense>ab",
        "<Msg0011></Msg0011>",
        "<Msg0011></Msg0011>x",
        "<Msg0011>0</Msg0011>" + frameText("0012", "gone"),
        frameText("0011", "ok") + "<Msg0012>0</Msg0012>",
        "<Msg0011>2</Msg0011>abc",
        "<Msg0011>3</Msg0011>ab",
        "no header at all, only text",
    };
    for (const std::string &frame : frames) {
        std::vector<DecodedEvent> expected;
        parseFrame(frame, expected);
        const auto total = static_cast<std::uint32_t>(frame.size());
        for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{11}, kMaxPieceSize}) {
            std::string wire;
            for (std::size_t at = 0, index = 0; at < frame.size(); at += piece, ++index)
                wire += chunk("0011", total, static_cast<std::uint32_t>(index), frame.substr(at, piece));
            std::vector<DecodedEvent> events;
            FrameDecoder decoder;
            decoder.feed(wire, events);
            ASSERT_EQ(events.size(), expected.size()) << frame.substr(0, 40) << " in pieces of " << piece;
            for (std::size_t i = 0; i < events.size(); ++i) {
                EXPECT_EQ(events[i].kind, expected[i].kind) << frame.substr(0, 40);
                EXPECT_EQ(events[i].number, expected[i].number) << frame.substr(0, 40);
                EXPECT_EQ(events[i].payload, expected[i].payload) << frame.substr(0, 40);
            }
            EXPECT_EQ(decoder.bufferedBytes(), 0u);
        }
    }
}

TEST(FrameDecoder, BadChunkHeaderAtReadStartIsDiscardedButInLeftoverEndsTheConnection)
{
    FrameEncoder encoder;
    const std::string twoChunks = encoder.encode(std::string(9000, 'p'));
    const std::string firstChunk = twoChunks.substr(0, 20 + 8192);
    const std::string secondChunk = twoChunks.substr(20 + 8192);
    const std::string small = encoder.encode("small");
    const std::string garbage(24, 'G');

    const std::vector<std::pair<const char *, std::string>> badHeaders = {
        {"magic", "XMSG" + chunk("0011", 30, 0, std::string(10, 'y')).substr(4)},
        {"piece 0", chunkWithLength("0011", 30, 0, 0, "")},
        {"piece 8193", chunkWithLength("0011", 9000, 0, 8193, "")},
        {"piece above total", chunkWithLength("0011", 5, 0, 6, "")},
    };
    for (const auto &[name, bad] : badHeaders) {
        // At the start of a read: that read and the gathered first chunk are gone, the
        // next read starts afresh.
        Decoded d = decode({firstChunk, bad + secondChunk, secondChunk, small});
        EXPECT_FALSE(d.lost) << name;
        EXPECT_EQ(payloadsOf(d), (std::vector<std::string>{"0012:small"})) << name;

        // A short leftover completed by the next read counts as the start of a read.
        d = decode({small + bad.substr(0, 19), bad.substr(19), small});
        EXPECT_FALSE(d.lost) << name;
        EXPECT_EQ(payloadsOf(d), (std::vector<std::string>{"0012:small", "0012:small"})) << name;

        // Twenty or more bytes left over after a complete chunk of the same read.
        d = decode({small + bad, small});
        EXPECT_TRUE(d.lost) << name;
        EXPECT_EQ(payloadsOf(d), (std::vector<std::string>{"0012:small"})) << name;
    }
    EXPECT_TRUE(decode({small + garbage}).lost);
}

TEST(FrameDecoder, ChunksOutOfSequenceStartANewFrame)
{
    const std::string f = frameText("0011", std::string(30, 'a')); // 51 bytes
    const auto total = static_cast<std::uint32_t>(f.size());
    const std::string g = frameText("0012", "fresh");
    const auto gTotal = static_cast<std::uint32_t>(g.size());

    // Another message number, an index skipped, an index repeated: the gathered
    // piece goes, the new chunk counts on its own (its index need not be 0).
    EXPECT_EQ(payloadsOf(decode({chunk("0011", total, 0, f.substr(0, 20)) + single("0012", g)})),
              std::vector<std::string>{"0012:fresh"});
    EXPECT_TRUE(decode({chunk("0011", total, 0, f.substr(0, 20)) + chunk("0011", total, 2, f.substr(20))})
                    .events.empty());
    EXPECT_EQ(payloadsOf(
                  decode({chunk("0011", total, 0, f.substr(0, 20)) +
                          chunk("0012", gTotal, 0, g.substr(0, 4)) + chunk("0012", gTotal, 1, g.substr(4))})),
              std::vector<std::string>{"0012:fresh"});
    EXPECT_EQ(payloadsOf(
                  decode({chunk("0012", gTotal, 5, g.substr(0, 4)) + chunk("0012", gTotal, 6, g.substr(4))})),
              std::vector<std::string>{"0012:fresh"});
}

TEST(FrameDecoder, PiecesThatOvershootTheTotalNeverPileUp)
{
    FrameDecoder decoder;
    std::vector<DecodedEvent> events;
    for (std::uint32_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(decoder.feed(chunk("0011", 15, i, std::string(10, 'o')), events), FrameDecoder::Status::Ok);
        ASSERT_LE(decoder.bufferedBytes(), 15u);
    }
    EXPECT_TRUE(events.empty());

    // A declared total far beyond what arrives costs only the bytes received.
    ASSERT_EQ(decoder.feed(chunk("0011", 0xffffffffu, 0, std::string(100, 'h')), events),
              FrameDecoder::Status::Ok);
    EXPECT_LE(decoder.bufferedBytes(), 100u);

    // The decoder still works afterwards.
    FrameEncoder encoder;
    decoder.reset();
    decoder.feed(encoder.encode("still"), events);
    EXPECT_EQ(payloadsOf({events, false}), std::vector<std::string>{"0011:still"});
}

TEST(FrameDecoder, FrameAboveTheLimitEndsTheConnection)
{
    FrameEncoder encoder;
    FrameDecoder limited(100);
    std::vector<DecodedEvent> events;
    EXPECT_EQ(limited.feed(encoder.encode(std::string(70, 'a')), events), FrameDecoder::Status::Ok);
    EXPECT_EQ(limited.feed(encoder.encode(std::string(90, 'a')).substr(0, 20), events),
              FrameDecoder::Status::ConnectionLost);
    EXPECT_EQ(events.size(), 1u);
}

TEST(FrameDecoder, ResetDropsAPartlyReceivedFrame)
{
    FrameEncoder encoder;
    const std::string wire = encoder.encode(std::string(10000, 'r'));
    FrameDecoder decoder;
    std::vector<DecodedEvent> events;
    decoder.feed(wire.substr(0, 9000), events);
    EXPECT_GT(decoder.bufferedBytes(), 0u);
    decoder.reset();
    EXPECT_EQ(decoder.bufferedBytes(), 0u);
    decoder.feed(wire.substr(9000), events);
    decoder.feed(encoder.encode("next"), events);
    EXPECT_EQ(payloadsOf({events, false}), std::vector<std::string>{"0012:next"});
}
