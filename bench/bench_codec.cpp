// Encode and decode throughput of the frame codec, for large frames and small messages.
#include "protocol/frame.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace vantrell::protocol;

namespace {

constexpr std::size_t kReadSize = 10240; // what the receiver hands the decoder per read

std::string payloadOf(std::size_t size)
{
    std::string p(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        p[i] = static_cast<char>('a' + i % 26);
    return p;
}

void encodeFrames(benchmark::State &state)
{
    const std::string payload = payloadOf(static_cast<std::size_t>(state.range(0)));
    FrameEncoder encoder;
    std::string out;
    for (auto _ : state) {
        out.clear();
        encoder.encodeTo(payload, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.size()));
    state.SetItemsProcessed(state.iterations());
}

// The wire holds enough messages to fill about 1 MiB, fed in reads of 10240 bytes.
void decodeFrames(benchmark::State &state)
{
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    const std::string payload = payloadOf(size);
    const std::size_t messages = std::max<std::size_t>(1, (std::size_t{1} << 20) / size);
    FrameEncoder encoder;
    std::string wire;
    for (std::size_t i = 0; i < messages; ++i)
        encoder.encodeTo(payload, wire);

    FrameDecoder decoder;
    std::vector<DecodedEvent> events;
    for (auto _ : state) {
        for (std::size_t at = 0; at < wire.size(); at += kReadSize) {
            events.clear();
            decoder.feed(std::string_view(wire).substr(at, kReadSize), events);
            benchmark::DoNotOptimize(events.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * messages * size));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * messages));
}

} // namespace

BENCHMARK(encodeFrames)->Arg(100)->Arg(1 << 20);
BENCHMARK(decodeFrames)->Arg(100)->Arg(1 << 20);

BENCHMARK_MAIN();
