// The frame decoder on arbitrary bytes cut at arbitrary points, and on the encoder's own
// output cut at every point.
#include "protocol/frame.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace vantrell::protocol;

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

void checkEvents(const std::vector<DecodedEvent> &events, std::size_t fed)
{
    std::size_t payloadBytes = 0;
    for (const DecodedEvent &event : events) {
        if (event.kind == DecodedEvent::Kind::ConnectionLost) {
            require(event.number.empty() && event.payload.empty());
        } else {
            // The frame's four number characters are carried as they came, digits or not.
            require(event.number.size() == 4);
            require(!event.payload.empty());
            payloadBytes += event.payload.size();
        }
    }
    // Nothing is invented: every payload byte arrived on the wire.
    require(payloadBytes <= fed);
}

void decodeArbitrary(FuzzedDataProvider &provider, std::size_t maxFrame)
{
    FrameDecoder decoder(maxFrame);
    std::vector<DecodedEvent> events;
    std::size_t fed = 0;
    while (provider.remaining_bytes() > 0) {
        const std::string bytes = provider.ConsumeRandomLengthString(20000);
        fed += bytes.size();
        const FrameDecoder::Status status = decoder.feed(bytes, events);
        require(decoder.bufferedBytes() <= fed);
        if (status == FrameDecoder::Status::ConnectionLost || provider.ConsumeBool()) {
            decoder.reset();
            require(decoder.bufferedBytes() == 0);
        }
    }
    checkEvents(events, fed);
}

// Sound wire bytes with some bytes overwritten: reaches the states that random bytes
// rarely get past the chunk header.
void decodeDamaged(FuzzedDataProvider &provider)
{
    FrameEncoder encoder(provider.ConsumeIntegralInRange<int>(10, 9999));
    std::string wire;
    const int messages = provider.ConsumeIntegralInRange<int>(1, 4);
    for (int i = 0; i < messages; ++i) {
        const std::size_t size = provider.ConsumeIntegralInRange<std::size_t>(0, 2 * kMaxPieceSize + 100);
        wire += provider.ConsumeBool() ? encoder.encodeClose() : encoder.encode(std::string(size, 'p'));
    }
    const int damages = provider.ConsumeIntegralInRange<int>(0, 6);
    for (int i = 0; i < damages && !wire.empty(); ++i) {
        const std::size_t at = provider.ConsumeIntegralInRange<std::size_t>(0, wire.size() - 1);
        wire[at] = static_cast<char>(provider.ConsumeIntegral<std::uint8_t>());
    }
    FrameDecoder decoder(provider.ConsumeBool() ? 0 : 10000);
    std::vector<DecodedEvent> events;
    std::string_view rest(wire);
    while (!rest.empty()) {
        const std::size_t take = provider.ConsumeIntegralInRange<std::size_t>(1, rest.size());
        if (decoder.feed(rest.substr(0, take), events) == FrameDecoder::Status::ConnectionLost) {
            decoder.reset();
        }
        rest.remove_prefix(take);
    }
    checkEvents(events, wire.size());
}

void roundTrip(FuzzedDataProvider &provider)
{
    const int sequence = provider.ConsumeIntegralInRange<int>(10, 9999);
    const std::size_t size = provider.ConsumeIntegralInRange<std::size_t>(1, 3 * kMaxPieceSize);
    const std::string seed = provider.ConsumeRandomLengthString(64);
    std::string payload(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        payload[i] = seed.empty() ? static_cast<char>(i * 31)
                                  : static_cast<char>(seed[i % seed.size()] + i / seed.size());
    }
    FrameEncoder encoder(sequence);
    const std::string wire = encoder.encode(payload) + encoder.encode("tail");
    const std::string numberText = messageNumberText(sequence == 9999 ? 10 : sequence + 1);

    // A sweep of cut points from a chosen start, at most a few dozen per input.
    const std::size_t first = provider.ConsumeIntegralInRange<std::size_t>(0, wire.size());
    const std::size_t step =
        std::max(provider.ConsumeIntegralInRange<std::size_t>(1, 4096), wire.size() / 32);
    for (std::size_t cut = first; cut <= wire.size(); cut += step) {
        FrameDecoder decoder;
        std::vector<DecodedEvent> events;
        require(decoder.feed(std::string_view(wire).substr(0, cut), events) == FrameDecoder::Status::Ok);
        require(decoder.feed(std::string_view(wire).substr(cut), events) == FrameDecoder::Status::Ok);
        require(events.size() == 2);
        require(events[0].kind == DecodedEvent::Kind::Data && events[0].payload == payload);
        require(events[0].number == numberText);
        require(events[1].payload == "tail");
        require(decoder.bufferedBytes() == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    switch (provider.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        decodeArbitrary(provider, 0);
        break;
    case 1:
        decodeArbitrary(provider, 4096);
        break;
    case 2:
        decodeDamaged(provider);
        break;
    default:
        roundTrip(provider);
        break;
    }
    return 0;
}
