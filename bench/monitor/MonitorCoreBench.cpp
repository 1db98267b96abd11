// SPDX-License-Identifier: MIT
// The monitor core with a million-record list: filling the table from the
// received records, sorting by each column, the three counts, generating
// one line per record, and the heap the table takes per record.
#include "TransferRecord.h"
#include <list/RecordTable.h>
#include <synthesis/CodeSynthesis.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace vexal::monitor;

namespace {

constexpr qsizetype ListSize = 1'000'000;
constexpr int CallSiteFiles = 400; // a large program's source files
constexpr int ThreadCount = 16;

// The numbers of one received record; the file is one of CallSiteFiles.
struct Sample {
    int file;
    int line;
    int type;
    uint32_t threadId;
    int64_t size;
    int64_t address;
};

// A list as a program's library would send it: records in index order,
// call sites spread over many files, sizes and addresses scattered.
const std::vector<Sample> &samples()
{
    static const std::vector<Sample> list = [] {
        std::mt19937_64 random(42);
        std::vector<Sample> out(static_cast<size_t>(ListSize));
        for (Sample &s : out) {
            s.file = int(random() % CallSiteFiles);
            s.line = int(random() % 3000) + 1;
            s.type = int(random() % 12);
            s.threadId = uint32_t(1000 + random() % ThreadCount);
            s.size = int64_t(random() % 65536);
            s.address = int64_t(0x7f0000000000ULL + (random() % (1ULL << 36)) * 16);
        }
        return out;
    }();
    return list;
}

// The monitor receives into one TransferRecord, overwritten per message;
// here one per file name, so that only the numbers change per record.
std::vector<TransferRecord> &receivedData()
{
    static std::vector<TransferRecord> data = [] {
        std::vector<TransferRecord> out(CallSiteFiles);
        for (int file = 0; file < CallSiteFiles; ++file)
            std::snprintf(out[size_t(file)].fileName, sizeof out[size_t(file)].fileName,
                          "/home/dev/project/src/module%03d/Source%d.c", file % 37, file);
        return out;
    }();
    return data;
}

void fill(RecordTable &table)
{
    const std::vector<Sample> &list = samples();
    std::vector<TransferRecord> &data = receivedData();
    table.reset(ListSize);
    for (qsizetype i = 0; i < ListSize; ++i) {
        const Sample &s = list[size_t(i)];
        TransferRecord &r = data[size_t(s.file)];
        r.command = MSG_LIST_NEXT;
        r.line = s.line;
        r.recordType = s.type;
        r.recordSize = s.size;
        r.threadId = int(s.threadId);
        r.recordIndex = i + 1;
        r.address = s.address;
        table.setRecord(i, r);
    }
}

void BM_FillFromReceived(benchmark::State &state)
{
    samples();
    RecordTable table;
    for (auto _ : state) {
        fill(table);
        benchmark::DoNotOptimize(table.size());
    }
    state.SetItemsProcessed(state.iterations() * ListSize);
}
BENCHMARK(BM_FillFromReceived)->Unit(benchmark::kMillisecond);

// Every iteration sorts the list as fetched, ascending.
void BM_SortByColumn(benchmark::State &state)
{
    const auto column = ListColumn(state.range(0));
    RecordTable table;
    for (auto _ : state) {
        state.PauseTiming();
        fill(table);
        state.ResumeTiming();
        table.sortBy(column);
    }
    state.SetLabel(RecordTable::columnCaption(column).toStdString());
}
BENCHMARK(BM_SortByColumn)->DenseRange(0, ListColumnCount - 1)->Unit(benchmark::kMillisecond);

void BM_Counts(benchmark::State &state)
{
    RecordTable table;
    fill(table);
    for (auto _ : state)
        benchmark::DoNotOptimize(table.counts());
}
BENCHMARK(BM_Counts)->Unit(benchmark::kMillisecond);

void BM_GenerateExactIndex(benchmark::State &state)
{
    RecordTable table;
    fill(table);
    SynthesisOptions options;
    options.index.choice = int(FilterChoice::Exact);
    qsizetype lines = 0;
    for (auto _ : state) {
        const GeneratedCode code = generateCode(table, options, {});
        lines = code.size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = double(lines);
}
BENCHMARK(BM_GenerateExactIndex)->Unit(benchmark::kMillisecond);

#if defined(__GLIBC__)
// Heap in use, large blocks (taken by mmap) included.
size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// The table's heap per record, and the heap a generated line per record
// adds (its peak while sorting, and what it keeps).
void BM_HeapPerRecord(benchmark::State &state)
{
    samples();
    for (auto _ : state) {
        const size_t before = heapInUse();
        RecordTable table;
        fill(table);
        const size_t withTable = heapInUse();
        SynthesisOptions options;
        options.index.choice = int(FilterChoice::Exact);
        const GeneratedCode code = generateCode(table, options, {});
        const size_t withCode = heapInUse();
        state.counters["table_bytes_per_record"] = double(withTable - before) / double(ListSize);
        state.counters["code_bytes_per_line"] = double(withCode - withTable) / double(code.size());
    }
}
BENCHMARK(BM_HeapPerRecord)->Iterations(1)->Unit(benchmark::kMillisecond);
#endif

} // namespace
