// SPDX-License-Identifier: MIT
// Throughput of a list transfer to a loopback monitor: 100 000 live records,
// fetched by a monitor that writes its next-record commands in batches
// without waiting, and by one that waits for every reply.
#include "WireClient.h"

#include <Vexal.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kRecords = 100000;
constexpr int kBatch = 512;  // next-record commands per write

vxlwire::WireClient client;

bool fetchListStart()
{
    if (!client.sendCommand(2))
        return false;
    const vxlwire::Message reply = client.read();
    return reply.ok() && reply.fields.size() == 2 && reply.fields[1] == std::to_string(kRecords);
}

bool fetchListEnd()
{
    return client.sendCommand(4) && client.read().number() == "4";
}

void BM_ListTransferPipelined(benchmark::State &state)
{
    std::string batch;
    for (int i = 0; i < kBatch; ++i)
        batch += vxlwire::command(3);
    for (auto _ : state) {
        if (!fetchListStart()) {
            state.SkipWithError("list start failed");
            break;
        }
        // Written from a second thread so that replies are read while the
        // commands still go out, and neither side's buffers fill up.
        std::thread writer([&] {
            for (int sent = 0; sent < kRecords; sent += kBatch) {
                const int n = std::min(kBatch, kRecords - sent);
                if (!client.send(std::string_view(batch).substr(0, static_cast<size_t>(n) * 3)))
                    return;
            }
        });
        int received = 0;
        while (received < kRecords && client.read().number() == "3")
            ++received;
        writer.join();
        if (received != kRecords || !fetchListEnd()) {
            state.SkipWithError("list transfer broke off");
            break;
        }
    }
    state.counters["records"] = benchmark::Counter(static_cast<double>(state.iterations()) * kRecords,
                                                   benchmark::Counter::kIsRate);
}

void BM_ListTransferLockstep(benchmark::State &state)
{
    const std::string next = vxlwire::command(3);
    for (auto _ : state) {
        if (!fetchListStart()) {
            state.SkipWithError("list start failed");
            break;
        }
        int received = 0;
        while (received < kRecords && client.send(next) && client.read().number() == "3")
            ++received;
        if (received != kRecords || !fetchListEnd()) {
            state.SkipWithError("list transfer broke off");
            break;
        }
    }
    state.counters["records"] = benchmark::Counter(static_cast<double>(state.iterations()) * kRecords,
                                                   benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ListTransferPipelined)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ListTransferLockstep)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    const int port = vxlwire::basePort();
    VexalInit(1, 0, "/dev/null", port);
    std::vector<void *> blocks;
    blocks.reserve(kRecords);
    for (int i = 0; i < kRecords; ++i)
        blocks.push_back(VexalMalloc(static_cast<size_t>(16 + i % 64), i % 2 ? "bench/odd_site.c" : "even.c", i));
    if (!client.connect(port)) {
        std::fprintf(stderr, "no listener on port %d\n", port);
        return 1;
    }

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (client.sendCommand(0))
        client.read();
    client.close();
    for (void *block : blocks)
        VexalFree(block, "bench", 0);
    VexalFinish();
    return 0;
}
