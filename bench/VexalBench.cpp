// SPDX-License-Identifier: MIT
// Cost of tracking: the tracked malloc+free pair against the plain one, with
// many live records, freeing the oldest record, resident memory per record,
// and two threads at once. Logging is off throughout: this measures the
// bookkeeping, not the output stream.
#include <benchmark/benchmark.h>

#include <Vexal.h>

#include "ResidentMemory.h"

#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr std::size_t kBlockSize = 64;
constexpr std::size_t kMillion = 1000000;

void startTracking() { VexalInit(1, 0, "/dev/null", -1); }

void stopTracking()
{
    VexalFreeAll();
    VexalFinish();
}

void *trackedBlock(std::size_t size) { return VexalMalloc(size, __FILE__, __LINE__); }

// Starts tracking with `count` tracked blocks live.
std::vector<void *> startTrackingWith(std::int64_t count)
{
    startTracking();
    std::vector<void *> live(static_cast<std::size_t>(count));
    for (void *&p : live)
        p = trackedBlock(kBlockSize);
    return live;
}

// Resident bytes the library adds per live record: RSS growth for a million
// tracked 16-byte blocks minus the growth for a million plain ones. The plain
// blocks stay allocated meanwhile, so the tracked ones cannot reuse their pages.
// Runs first, while the heap is still fresh.
void BM_ResidentBytesPerRecord(benchmark::State &state)
{
    std::vector<void *> plain(kMillion, nullptr);
    std::vector<void *> tracked(kMillion, nullptr);
    double plainDelta = 0;
    double trackedDelta = 0;
    for (auto _ : state) {
        malloc_trim(0);
        long long before = residentBytes();
        for (void *&p : plain)
            p = std::malloc(16);
        plainDelta = static_cast<double>(residentBytes() - before);

        startTracking();
        before = residentBytes();
        for (void *&p : tracked)
            p = trackedBlock(16);
        trackedDelta = static_cast<double>(residentBytes() - before);

        stopTracking();
        for (void *p : plain)
            std::free(p);
    }
    state.counters["bytes_per_record"] = (trackedDelta - plainDelta) / kMillion;
    state.counters["plain_bytes_per_block"] = plainDelta / kMillion;
    state.counters["tracked_bytes_per_block"] = trackedDelta / kMillion;
}
BENCHMARK(BM_ResidentBytesPerRecord)->Iterations(1)->Unit(benchmark::kMillisecond);

// malloc(64) + free without the library.
void BM_PlainPair(benchmark::State &state)
{
    for (auto _ : state) {
        void *p = std::malloc(kBlockSize);
        benchmark::DoNotOptimize(p);
        std::free(p);
    }
}
BENCHMARK(BM_PlainPair);

// VexalMalloc(64) + VexalFree with state.range(0) other tracked blocks live.
void BM_TrackedPair(benchmark::State &state)
{
    const std::vector<void *> live = startTrackingWith(state.range(0));
    for (auto _ : state) {
        void *p = VexalMalloc(kBlockSize, __FILE__, __LINE__);
        benchmark::DoNotOptimize(p);
        VexalFree(p, __FILE__, __LINE__);
    }
    stopTracking();
}
BENCHMARK(BM_TrackedPair)->Arg(0)->Arg(1000)->Arg(kMillion);

// VexalMalloc(64), VexalRealloc to twice the size, VexalFree, with
// state.range(0) other tracked blocks live: a realloc makes its new record
// before the platform call.
void BM_TrackedReallocTriple(benchmark::State &state)
{
    const std::vector<void *> live = startTrackingWith(state.range(0));
    for (auto _ : state) {
        void *p = VexalMalloc(kBlockSize, __FILE__, __LINE__);
        p = VexalRealloc(p, 0, 2 * kBlockSize, __FILE__, __LINE__);
        benchmark::DoNotOptimize(p);
        VexalFree(p, __FILE__, __LINE__);
    }
    stopTracking();
}
BENCHMARK(BM_TrackedReallocTriple)->Arg(0)->Arg(kMillion);

// A FIFO of a million tracked blocks: each iteration frees the oldest block
// and allocates a new one, so the count stays a million. Time per pair.
void BM_FifoPair(benchmark::State &state)
{
    std::vector<void *> ring = startTrackingWith(state.range(0));
    std::size_t oldest = 0;
    for (auto _ : state) {
        VexalFree(ring[oldest], __FILE__, __LINE__);
        ring[oldest] = VexalMalloc(kBlockSize, __FILE__, __LINE__);
        oldest = oldest + 1 == ring.size() ? 0 : oldest + 1;
    }
    stopTracking();
}
BENCHMARK(BM_FifoPair)->Arg(kMillion);

// The same FIFO, timing the frees of the oldest blocks alone: each iteration
// frees the 1000 oldest blocks (timed) and allocates 1000 new ones (not
// timed), so the count dips by at most 1000 (0.1 %) in between. The time
// column is per batch; the counter ns_per_free is per free.
void BM_FreeOldest(benchmark::State &state)
{
    constexpr std::size_t kBatch = 1000;
    std::vector<void *> ring = startTrackingWith(state.range(0));
    std::size_t oldest = 0;
    double freeSeconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t k = 0; k < kBatch; ++k)
            VexalFree(ring[(oldest + k) % ring.size()], __FILE__, __LINE__);
        const auto stop = std::chrono::steady_clock::now();
        for (std::size_t k = 0; k < kBatch; ++k)
            ring[(oldest + k) % ring.size()] = VexalMalloc(kBlockSize, __FILE__, __LINE__);
        oldest = (oldest + kBatch) % ring.size();
        const double seconds = std::chrono::duration<double>(stop - start).count();
        freeSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    stopTracking();
    const double frees = static_cast<double>(state.iterations()) * kBatch;
    state.counters["ns_per_free"] = frees > 0 ? freeSeconds * 1e9 / frees : 0;
    state.SetItemsProcessed(static_cast<int64_t>(frees));
}
BENCHMARK(BM_FreeOldest)->Arg(kMillion)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Two threads calling the wrappers at once (and, for comparison, the plain
// functions); they contend for the library's one lock.
void BM_TrackedPairThreads(benchmark::State &state)
{
    if (state.thread_index() == 0)
        startTracking();
    for (auto _ : state) {
        void *p = VexalMalloc(kBlockSize, __FILE__, __LINE__);
        benchmark::DoNotOptimize(p);
        VexalFree(p, __FILE__, __LINE__);
    }
    if (state.thread_index() == 0)
        stopTracking();
}
BENCHMARK(BM_TrackedPairThreads)->Threads(2)->UseRealTime();
BENCHMARK(BM_PlainPair)->Threads(2)->UseRealTime();

} // namespace
