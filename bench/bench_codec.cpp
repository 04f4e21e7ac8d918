// Encode and decode throughput of the frame codec, for large frames and small messages,
// and beside the decoder the least any receiver must do with the same bytes: copy each
// message's payload once into a string of its own, fed in the same reads.
//
//   taskset -c 1 bench_codec --benchmark_filter='decodeFrames|copyPayloads' --benchmark_repetitions=5
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

// The baseline of decodeFrames: the same reads of the same wire, and each message's
// payload bytes copied once (memcpy) into a new string reserved to its size; no header is
// read, no chunk followed.
void copyPayloads(benchmark::State &state)
{
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    const std::string payload = payloadOf(size);
    const std::size_t messages = std::max<std::size_t>(1, (std::size_t{1} << 20) / size);
    FrameEncoder encoder;
    std::string wire;
    for (std::size_t i = 0; i < messages; ++i)
        encoder.encodeTo(payload, wire);

    std::vector<std::string> out;
    for (auto _ : state) {
        out.clear();
        std::string current;
        current.reserve(size);
        for (std::size_t at = 0; at < wire.size() && out.size() < messages; at += kReadSize) {
            const std::string_view read = std::string_view(wire).substr(at, kReadSize);
            for (std::size_t used = 0; used < read.size() && out.size() < messages;) {
                const std::size_t n = std::min(read.size() - used, size - current.size());
                current.append(read.data() + used, n);
                used += n;
                if (current.size() == size) {
                    out.push_back(std::move(current));
                    current = std::string();
                    if (out.size() < messages)
                        current.reserve(size);
                }
            }
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * messages * size));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * messages));
}

} // namespace

BENCHMARK(encodeFrames)->Arg(100)->Arg(1 << 20);
BENCHMARK(decodeFrames)->Arg(100)->Arg(1 << 20);
BENCHMARK(copyPayloads)->Arg(100)->Arg(1 << 20);

BENCHMARK_MAIN();
