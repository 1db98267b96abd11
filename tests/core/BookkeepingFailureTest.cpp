// SPDX-License-Identifier: MIT
// The library's own bookkeeping allocations failing one at a time. This
// program is linked with malloc, calloc and the page mapping (mmap, or
// VirtualAlloc on Windows) wrapped, so that any single call the library makes
// can be made to fail. Whatever fails, nothing may crash, a tracked call
// either hands out a block that has its record or fails as a failed
// allocation, the application's blocks stay usable and freeable, and the
// records, the counters and the internal use must agree with each other.
#include "VexalTestSupport.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include <map>
#include <regex>

using namespace vxltest;

extern "C" void *__real_malloc(size_t size);
extern "C" void *__real_calloc(size_t count, size_t size);
#if defined(_WIN32)
// VirtualAlloc is called through its import pointer; the wrap replaces that.
using VirtualAllocFunction = LPVOID(WINAPI *)(LPVOID, SIZE_T, DWORD, DWORD);
extern "C" VirtualAllocFunction __real___imp_VirtualAlloc;
#else
extern "C" void *__real_mmap(void *address, size_t length, int protection, int flags, int fd, off_t offset);
#endif

namespace {

// 0: off. n > 0: the n-th wrapped call from now fails.
std::atomic<long> failAt{0};
std::atomic<bool> failed{false};

bool failThisCall() {
    long n = failAt.load();
    while (n > 0) {
        if (failAt.compare_exchange_weak(n, n - 1)) {
            if (n == 1) {
                failed = true;
                return true;
            }
            return false;
        }
    }
    return false;
}

void arm(long n) {
    failed = false;
    failAt = n;
}

// True when the armed call was reached.
bool disarm() {
    failAt = 0;
    return failed.load();
}

}  // namespace

extern "C" void *__wrap_malloc(size_t size) { return failThisCall() ? nullptr : __real_malloc(size); }
extern "C" void *__wrap_calloc(size_t count, size_t size) {
    return failThisCall() ? nullptr : __real_calloc(count, size);
}
// The record pool maps its slabs, the address index its tables.
#if defined(_WIN32)
namespace {
LPVOID WINAPI failingVirtualAlloc(LPVOID address, SIZE_T size, DWORD type, DWORD protection) {
    return failThisCall() ? nullptr : __real___imp_VirtualAlloc(address, size, type, protection);
}
}  // namespace
extern "C" {
VirtualAllocFunction __wrap___imp_VirtualAlloc = failingVirtualAlloc;
}
#else
extern "C" void *__wrap_mmap(void *address, size_t length, int protection, int flags, int fd, off_t offset) {
    return failThisCall() ? MAP_FAILED : __real_mmap(address, length, protection, flags, fd, offset);
}
#endif

namespace {

struct Live {
    int type;
    uint32_t size;
    std::string file;
};

// The totals of the last status report in `text`.
struct Shown {
    std::map<std::string, Row> rows;
    long long internalUse = -1;
    long long notStored = 0;

    long long calls(const std::string &function) const {
        const auto row = rows.find(function);
        return row != rows.end() ? row->second.calls : 0;
    }
};

// Every status report in `text`, in order.
std::vector<Shown> statusReports(const std::string &text) {
    static const char *const title = "Present status of registered memory accesses at:";
    std::vector<Shown> all;
    for (size_t from = text.find(title); from != std::string::npos;) {
        const size_t to = text.find(title, from + 1);
        const std::string report = text.substr(from, to == std::string::npos ? std::string::npos : to - from);
        from = to;
        Shown shown;
        static const std::regex row("\\| ([a-zA-Z]+) +\\| +(-?[0-9]+) \\| +(-?[0-9]+) \\|");
        for (std::sregex_iterator it(report.begin(), report.end(), row), end; it != end; ++it) {
            shown.rows[(*it)[1].str()] = {std::stoll((*it)[2].str()), std::stoll((*it)[3].str())};
        }
        std::smatch m;
        static const std::regex internal("Memory used internally by Vexal: +([0-9]+) B");
        if (std::regex_search(report, m, internal)) shown.internalUse = std::stoll(m[1].str());
        static const std::regex notStored("'free' was called ([0-9]+) time");
        if (std::regex_search(report, m, notStored)) shown.notStored = std::stoll(m[1].str());
        all.push_back(shown);
    }
    return all;
}

class BookkeepingFailure : public VexalSession {
protected:
    // The records must describe exactly blocks the test knows to be live;
    // returns how many there are.
    size_t checkRecords() {
        size_t count = 0;
        std::map<void *, int> seen;
        for (AllocationRecord *r = VexalGetListEntry(0); r != nullptr; r = VexalGetListEntry(1)) {
            ++count;
            EXPECT_EQ(++seen[r->address], 1) << "two records for one block";
            const auto found = live.find(r->address);
            if (found == live.end()) {
                ADD_FAILURE() << "record of a block that is not live, index " << r->index;
                continue;
            }
            EXPECT_EQ(r->type, found->second.type);
            EXPECT_EQ(r->size, found->second.size);
            EXPECT_STREQ(r->file, found->second.file.c_str());
            recorded[r->address] = found->second;
        }
        VexalGetListEntry(2);
        return count;
    }

    // Still-allocated bytes and internal use in the report agree with the records.
    static void checkReportAgainstRecords(const Shown &shown, const std::map<void *, Live> &records) {
        std::map<std::string, long long> still;
        long long internal = kAnchorsUse;
        for (const auto &[address, l] : records) {
            still[methodName(l.type)] += l.size;
            internal += recordUse(l.file.c_str());
        }
        for (const auto &[name, r] : shown.rows) {
            if (name != "Summary") {
                EXPECT_EQ(r.still, still[name]) << name;
            }
        }
        EXPECT_EQ(shown.internalUse, internal);
    }

    void *track(void *p, int type, uint32_t size, const char *file) {
        if (p != nullptr) live[p] = {type, size, file};
        return p;
    }

    // Every block the test holds has its record: none went untracked.
    void expectEveryBlockRecorded() { EXPECT_EQ(checkRecords(), live.size()) << "a block without its record"; }

    // Frees every block the test holds through the library; the records
    // found before must all go.
    void freeEverything() {
        for (const auto &[address, l] : live) VexalFree(address, "end.c", 1);
        VexalShowStatus("end.c", 2);
        live.clear();
        recorded.clear();
        EXPECT_EQ(checkRecords(), 0u);
    }

    std::map<void *, Live> live;
    std::map<void *, Live> recorded;
};

constexpr long kMaxFailurePoints = 2000;

// The loop ended on a run in which nothing failed, after some that did.
void expectFailurePointsCovered(long lastPoint) {
    EXPECT_GT(lastPoint, 1);
    EXPECT_LT(lastPoint, kMaxFailurePoints);
}

TEST_F(BookkeepingFailure, FirstRecordOfASession) {
    long k = 1;
    for (; k < kMaxFailurePoints; ++k) {
        SCOPED_TRACE(k);
        start(1, 0);
        arm(k);
        void *p = VexalMalloc(32, "first.c", 7);
        const bool reached = disarm();
        if (k == 1) {
            EXPECT_EQ(p, nullptr);  // the block itself could not be had
        }
        if (p != nullptr) std::memset(p, 0xab, 32);
        track(p, VXL_MALLOC, 32, "first.c");
        expectEveryBlockRecorded();
        const std::map<void *, Live> records = recorded;
        VexalShowStatus("s.c", 1);
        freeEverything();
        const std::vector<Shown> reports = statusReports(finish());
        ASSERT_EQ(reports.size(), 2u);
        checkReportAgainstRecords(reports[0], records);
        // A call that failed is not counted.
        EXPECT_EQ(reports[0].calls("malloc"), p != nullptr ? 1 : 0);
        EXPECT_EQ(reports[1].notStored, 0);
        if (!reached) break;
    }
    expectFailurePointsCovered(k);
}

TEST_F(BookkeepingFailure, ReallocOfARecordedBlock) {
    long k = 1;
    for (; k < kMaxFailurePoints; ++k) {
        SCOPED_TRACE(k);
        start(1, 0);
        auto *p = static_cast<unsigned char *>(track(VexalMalloc(32, "old.c", 1), VXL_MALLOC, 32, "old.c"));
        ASSERT_NE(p, nullptr);
        std::memset(p, 0x11, 32);
        arm(k);
        auto *q = static_cast<unsigned char *>(VexalRealloc(p, 0, 100000, "new.c", 2));
        const bool reached = disarm();
        // Moved with its new record, or not moved at all: a failed realloc
        // keeps the old block and its record.
        if (q != nullptr) {
            live.erase(p);
            track(q, VXL_REALLOC, 100000, "new.c");
        }
        EXPECT_EQ((q != nullptr ? q : p)[31], 0x11);
        expectEveryBlockRecorded();
        const std::map<void *, Live> records = recorded;
        VexalShowStatus("s.c", 1);
        freeEverything();
        const std::vector<Shown> reports = statusReports(finish());
        ASSERT_EQ(reports.size(), 2u);
        checkReportAgainstRecords(reports[0], records);
        EXPECT_EQ(reports[0].rows.at("malloc").still, q != nullptr ? 0 : 32);
        EXPECT_EQ(reports[0].calls("realloc"), q != nullptr ? 1 : 0);
        EXPECT_EQ(reports[1].notStored, 0);
        if (!reached) break;
    }
    expectFailurePointsCovered(k);
}

TEST_F(BookkeepingFailure, BusySessionWithManyCallSites) {
    std::vector<std::string> files;
    for (int i = 0; i < 300; ++i) files.push_back(format("busy/f%03d.c", i));
    long k = 1;
    for (; k < kMaxFailurePoints; ++k) {
        SCOPED_TRACE(k);
        start(1, 0);
        arm(k);
        // Records come and go under 300 names: the name store fills, sweeps
        // and the address index grows and shrinks.
        std::vector<void *> order;
        for (int i = 0; i < 1200; ++i) {
            const std::string &file = files[static_cast<size_t>(i * 7) % files.size()];
            void *p = track(VexalMalloc(24, file.c_str(), i), VXL_MALLOC, 24, file.c_str());
            if (p != nullptr) order.push_back(p);
            if (i % 3 != 0 && !order.empty()) {
                void *q = order[order.size() / 2];
                order.erase(order.begin() + static_cast<std::ptrdiff_t>(order.size() / 2));
                VexalFree(q, "busy.c", i);
                live.erase(q);
            }
        }
        const bool reached = disarm();
        expectEveryBlockRecorded();
        const std::map<void *, Live> records = recorded;
        VexalShowStatus("s.c", 1);
        freeEverything();
        const std::vector<Shown> reports = statusReports(finish());
        ASSERT_EQ(reports.size(), 2u);
        checkReportAgainstRecords(reports[0], records);
        EXPECT_EQ(reports[1].notStored, 0);
        if (!reached) break;
        // The space of failure points is large: step faster once past the start.
        if (k > 40) k += 37;
    }
    expectFailurePointsCovered(k);
}

// A walk over more records than it sorts in place maps memory to sort them;
// without it, it visits them in the pool's order: every record still once.
TEST_F(BookkeepingFailure, WalksWithoutMemoryToSortStillVisitEveryRecord) {
    start(1, 0);
    for (int i = 0; i < 100; ++i) track(VexalMalloc(8, "walk.c", i), VXL_MALLOC, 8, "walk.c");
    for (long k : {1, 2}) {  // the walk's first mapping, then its second
        SCOPED_TRACE(k);
        arm(k);
        EXPECT_EQ(checkRecords(), live.size());
        EXPECT_TRUE(disarm());
    }
    arm(1);
    EXPECT_EQ(VexalFreeAll(), 800);
    EXPECT_TRUE(disarm());
    live.clear();
    EXPECT_EQ(checkRecords(), 0u);
    finish();
}

}  // namespace
