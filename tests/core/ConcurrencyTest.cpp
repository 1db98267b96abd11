// SPDX-License-Identifier: MIT
// Many threads allocating, reallocating and freeing at once, also each
// other's blocks: the counters and the record list must balance exactly.
#include "VexalTestSupport.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <thread>

using namespace vxltest;

namespace {

struct Block {
    void *address;
    int type;
    long long size;
    const char *file;
};

// What one thread did, to be summed into the expected status.
struct Tally {
    std::array<Row, 13> rows{};
    std::vector<Block> live;
};

// Blocks any thread may pick up and realloc or free.
class SharedPool {
public:
    void put(const Block &b) {
        std::lock_guard<std::mutex> lock(mutex_);
        blocks_.push_back(b);
    }
    bool take(Block &b) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (blocks_.empty()) return false;
        b = blocks_.front();
        blocks_.erase(blocks_.begin());
        return true;
    }
    std::vector<Block> drain() {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::move(blocks_);
    }

private:
    std::mutex mutex_;
    std::vector<Block> blocks_;
};

constexpr int kThreads = 4;
constexpr int kOperations = 4000;
const char *const kFiles[kThreads] = {"stress/t0.c", "stress/t1.c", "stress/t2.c", "stress/t3.c"};

void worker(int n, SharedPool &pool, Tally &tally) {
    const char *file = kFiles[n];
    uint32_t seed = 2654435761u * static_cast<uint32_t>(n + 1);
    const auto next = [&seed](uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    const auto made = [&](void *p, int type, long long size) {
        tally.rows[static_cast<size_t>(type)].calls += 1;
        tally.rows[static_cast<size_t>(type)].still += size;
        return Block{p, type, size, file};
    };
    const auto gone = [&](const Block &b) { tally.rows[static_cast<size_t>(b.type)].still -= b.size; };
    static const char text[] = "0123456789abcdefghijklmnopqrstuvwxyz";

    for (int i = 0; i < kOperations; ++i) {
        const long long size = 8 * (1 + static_cast<long long>(next(8)));
        const int line = 1000 + i;
        switch (next(8)) {
        case 0:
            tally.live.push_back(made(VexalMalloc(static_cast<size_t>(size), file, line), VXL_MALLOC, size));
            break;
        case 1:
            tally.live.push_back(made(VexalCalloc(2, static_cast<size_t>(size / 2), file, line), VXL_CALLOC, size));
            break;
        case 2: {
            const size_t length = next(30);
            tally.live.push_back(made(VexalStrdup(text + length, file, line), VXL_STRDUP,
                                      static_cast<long long>(sizeof text - length)));
            break;
        }
        case 3:  // realloc of an own block, or a fresh one
            if (!tally.live.empty()) {
                Block &b = tally.live[next(static_cast<uint32_t>(tally.live.size()))];
                gone(b);
                b = made(VexalRealloc(b.address, 0, static_cast<size_t>(size), file, line), VXL_REALLOC, size);
            } else {
                tally.live.push_back(made(VexalRealloc(nullptr, 0, static_cast<size_t>(size), file, line),
                                          VXL_REALLOC, size));
            }
            break;
        case 4:  // hand a block over to whoever comes next
            if (!tally.live.empty()) {
                pool.put(tally.live.back());
                tally.live.pop_back();
            }
            break;
        case 5: {  // realloc a block some thread handed over
            Block b{};
            if (pool.take(b)) {
                gone(b);
                tally.live.push_back(made(VexalRealloc(b.address, 0, static_cast<size_t>(size), file, line),
                                          VXL_REALLOC, size));
            }
            break;
        }
        case 6: {  // free a block some thread handed over
            Block b{};
            if (pool.take(b)) {
                gone(b);
                VexalFree(b.address, file, line);
            }
            break;
        }
        default:
            if (!tally.live.empty()) {
                const size_t at = next(static_cast<uint32_t>(tally.live.size()));
                gone(tally.live[at]);
                VexalFree(tally.live[at].address, file, line);
                tally.live.erase(tally.live.begin() + static_cast<std::ptrdiff_t>(at));
            }
            break;
        }
    }
    // Leave every other block live.
    for (size_t i = tally.live.size(); i-- > 0;) {
        if (i % 2 == 0) {
            gone(tally.live[i]);
            VexalFree(tally.live[i].address, file, 9999);
            tally.live.erase(tally.live.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

class Concurrency : public VexalSession {};

TEST_F(Concurrency, CountersAndRecordsBalanceExactlyAfterAStressRun) {
    start(1, 0);
    SharedPool pool;
    std::array<Tally, kThreads> tallies;
    std::vector<std::thread> threads;
    for (int n = 0; n < kThreads; ++n) {
        threads.emplace_back(worker, n, std::ref(pool), std::ref(tallies[static_cast<size_t>(n)]));
    }
    for (std::thread &t : threads) t.join();

    Status expected;
    std::map<void *, Block> live;
    for (const Tally &t : tallies) {
        for (size_t r = 0; r < t.rows.size(); ++r) {
            expected.rows[r].calls += t.rows[r].calls;
            expected.rows[r].still += t.rows[r].still;
        }
        for (const Block &b : t.live) {
            ASSERT_NE(b.address, nullptr);
            live[b.address] = b;
        }
    }
    for (const Block &b : pool.drain()) {
        ASSERT_NE(b.address, nullptr);
        live[b.address] = b;
    }
    long long still = 0;
    for (const auto &[address, b] : live) {
        expected.internalUse += recordUse(b.file);
        still += b.size;
    }

    // Every live block has exactly one record, with its kind, size and file.
    size_t records = 0;
    for (AllocationRecord *r = VexalGetListEntry(0); r != nullptr; r = VexalGetListEntry(1)) {
        ++records;
        const auto found = live.find(r->address);
        if (found == live.end()) {
            ADD_FAILURE() << "record of a block that is not live: " << r->address;
            continue;
        }
        EXPECT_EQ(r->type, found->second.type);
        EXPECT_EQ(static_cast<long long>(r->size), found->second.size);
        EXPECT_STREQ(r->file, found->second.file);
    }
    VexalGetListEntry(2);
    EXPECT_EQ(records, live.size());

    VexalShowStatus("stress.c", 1);
    EXPECT_EQ(VexalFreeAll(), still);
    VexalShowStatus("stress.c", 2);
    Status after = expected;
    for (Row &r : after.rows) r.still = 0;
    after.internalUse = kAnchorsUse;
    EXPECT_EQ(finish(), statusReport("stress.c", 1, expected) + statusReport("stress.c", 2, after));
}

TEST_F(Concurrency, IndexesAreUniqueAndDenseAcrossThreads) {
    start(1, 0);
    constexpr int kEach = 500;
    std::vector<std::thread> threads;
    for (int n = 0; n < kThreads; ++n) {
        threads.emplace_back([n] {
            for (int i = 0; i < kEach; ++i) VexalMalloc(1, kFiles[n], i);
        });
    }
    for (std::thread &t : threads) t.join();
    EXPECT_EQ(VexalGetIndex(), static_cast<uint64_t>(kThreads * kEach));

    std::vector<bool> seen(kThreads * kEach, false);
    std::map<std::string, uint32_t> threadOfFile;
    uint64_t previous = 0;
    bool first = true;
    for (AllocationRecord *r = VexalGetListEntry(0); r != nullptr; r = VexalGetListEntry(1)) {
        ASSERT_LT(r->index, seen.size());
        EXPECT_FALSE(seen[r->index]);
        seen[r->index] = true;
        // The list runs oldest to newest.
        if (!first) {
            EXPECT_GT(r->index, previous);
        }
        previous = r->index;
        first = false;
        // Every record of a thread's file carries that one thread's id.
        const auto [it, inserted] = threadOfFile.emplace(r->file, r->threadId);
        if (!inserted) {
            EXPECT_EQ(it->second, r->threadId) << r->file;
        }
    }
    VexalGetListEntry(2);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), kThreads * kEach);
    EXPECT_EQ(threadOfFile.size(), static_cast<size_t>(kThreads));
    EXPECT_EQ(VexalFreeAll(), kThreads * kEach);
}

TEST_F(Concurrency, LoggedCallsReportsAndWalksRunSideBySide) {
    start(1, 1);
    constexpr int kRounds = 600;
    std::array<uint32_t, kThreads> ids{};
    std::array<int64_t, kThreads> freedAtEnd{};
    std::atomic<int> running{kThreads};
    std::vector<std::thread> threads;
    for (int n = 0; n < kThreads; ++n) {
        threads.emplace_back([&, n] {
            ids[static_cast<size_t>(n)] = currentThreadId();
            std::vector<void *> kept;
            for (int i = 0; i < kRounds; ++i) {
                void *p = VexalMalloc(static_cast<size_t>(16 + i % 32), kFiles[n], i);
                void *q = VexalRealloc(p, 0, 48, kFiles[n], i);
                if (i % 3 == 0) {
                    kept.push_back(q);
                } else {
                    VexalFree(q, kFiles[n], i);
                }
            }
            freedAtEnd[static_cast<size_t>(n)] =
                VexalFreeThese(nullptr, 0, 0, 0, 0, currentThreadId(), 0, 0);
            --running;
        });
    }
    // Meanwhile: reports, walks and a filter that matches nothing.
    int reports = 0;
    do {
        VexalShowStatus("rep.c", reports);
        VexalShowList("rep.c", reports);
        const uint64_t before = VexalGetIndex();
        uint64_t highest = 0;
        for (AllocationRecord *r = VexalGetListEntry(0); r != nullptr; r = VexalGetListEntry(1)) {
            highest = std::max(highest, r->index + 1);
        }
        VexalGetListEntry(2);
        EXPECT_LE(before, VexalGetIndex());
        EXPECT_LE(highest, VexalGetIndex());
        EXPECT_EQ(VexalFreeThese("nothing.c", 0, 0, 0, 0, 0, 0, 0), 0);
        ++reports;
    } while (running > 0);
    for (std::thread &t : threads) t.join();
    VexalShowStatus("end.c", 1);
    const std::string text = finish();

    for (int64_t sum : freedAtEnd) EXPECT_EQ(sum, 48 * ((kRounds + 2) / 3));
    Status s;
    s.rows[VXL_MALLOC] = {kThreads * kRounds, 0};
    s.rows[VXL_REALLOC] = {kThreads * kRounds, 0};
    const std::string last = statusReport("end.c", 1, s);
    ASSERT_GE(text.size(), last.size());
    EXPECT_EQ(text.substr(text.size() - last.size()), last);

    // Every per-call line is whole and names its own thread.
    const std::set<uint32_t> threadIds(ids.begin(), ids.end());
    const std::regex callLine(
        "(malloc|realloc|free): stress/t([0-3])\\.c : [0-9]+, (malloc|realloc), [0-9]+B, (-?[0-9]+), "
        "#[0-9]+, \\([0-9A-Fa-fx]+\\)");
    std::istringstream lines(text);
    std::string line;
    int calls = 0;
    while (std::getline(lines, line)) {
        if (line.find("stress/") == std::string::npos || line.rfind("stress/", 0) == 0) {
            continue;  // report lines
        }
        std::smatch m;
        if (!std::regex_match(line, m, callLine)) {
            ADD_FAILURE() << "malformed line: " << line;
            continue;
        }
        ++calls;
        const uint32_t id = static_cast<uint32_t>(std::stoll(m[4].str()));
        EXPECT_EQ(id, ids[static_cast<size_t>(std::stoi(m[2].str()))]) << line;
    }
    EXPECT_EQ(calls, 3 * kThreads * kRounds);
    EXPECT_GE(reports, 1);
}

}  // namespace
