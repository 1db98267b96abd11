// SPDX-License-Identifier: MIT
// The Windows build: its allocator family, release by the record's kind,
// its names and report arithmetic, its filters, and its re-entrant lock.
#include "VexalTestSupport.h"

#include <windows.h>

#include <chrono>
#include <cwchar>
#include <future>
#include <thread>

using namespace vxltest;

namespace {

// A small private heap, destroyed with the test.
class PrivateHeap {
public:
    PrivateHeap() : heap_(HeapCreate(0, 4096, 64 * 1024)) {}
    ~PrivateHeap() { HeapDestroy(heap_); }
    HANDLE handle() const { return heap_; }

    // Blocks the heap still hands out: whatever was not freed on it.
    int busyBlocks() const {
        int busy = 0;
        PROCESS_HEAP_ENTRY entry{};
        HeapLock(heap_);
        while (HeapWalk(heap_, &entry)) busy += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
        HeapUnlock(heap_);
        return busy;
    }

private:
    HANDLE heap_;
};

class WindowsFamily : public VexalSession {};

TEST_F(WindowsFamily, DuplicatesRecordTheirSizeInBytes) {
    start();
    wchar_t *w = VexalWcsdup(L"abc", "d.c", 1);
    unsigned char *m = VexalMbsdup(reinterpret_cast<const unsigned char *>("abc"), "d.c", 2);
    ASSERT_TRUE(w && m);
    EXPECT_EQ(std::wcscmp(w, L"abc"), 0);
    EXPECT_STREQ(reinterpret_cast<char *>(m), "abc");
    VexalFree(w, "d.c", 3);
    VexalFree(m, "d.c", 4);
    const uint32_t me = currentThreadId();
    EXPECT_EQ(finish(), allocLine("d.c", 1, VXL_WCSDUP, 8, 1, w) + allocLine("d.c", 2, VXL_MBSDUP, 4, 2, m) +
                            freeLine("d.c", 3, VXL_WCSDUP, 8, me, 0, w) + freeLine("d.c", 4, VXL_MBSDUP, 4, me, 1, m));
}

TEST_F(WindowsFamily, ReleaseGoesByTheRecordsKindWhicheverWrapperIsCalled) {
    start();
    PrivateHeap heap;
    void *g = VexalGlobalAlloc(GMEM_FIXED, 10, "k.c", 1);
    void *l = VexalLocalAlloc(LMEM_FIXED, 20, "k.c", 2);
    void *h = VexalHeapAlloc(heap.handle(), 0, 30, "k.c", 3);
    void *m = VexalMalloc(40, "k.c", 4);
    ASSERT_TRUE(g && l && h && m);
    VexalFree(g, "k.c", 5);
    EXPECT_EQ(VexalGlobalFree(l, "k.c", 6), nullptr);
    EXPECT_EQ(VexalLocalFree(h, "k.c", 7), nullptr);
    EXPECT_EQ(heap.busyBlocks(), 0) << "not freed on its own heap";
    EXPECT_NE(VexalHeapFree(heap.handle(), 0, m, "k.c", 8), 0);
    // Without a record the wrapper's own function frees the block.
    void *raw = HeapAlloc(heap.handle(), 0, 50);
    EXPECT_NE(VexalHeapFree(heap.handle(), 0, raw, "k.c", 9), 0);
    EXPECT_EQ(heap.busyBlocks(), 0);
    // Null frees nothing and counts as a success.
    EXPECT_NE(VexalHeapFree(heap.handle(), 0, nullptr, "k.c", 10), 0);
    VexalShowStatus("k.c", 11);

    const uint32_t me = currentThreadId();
    Status s;
    s.rows[VXL_MALLOC] = {1, 0};
    s.rows[VXL_GLOBALALLOC] = {1, 0};
    s.rows[VXL_LOCALALLOC] = {1, 0};
    s.rows[VXL_HEAPALLOC] = {1, 0};
    s.notStored = 1;
    s.freeFailed = 1;
    EXPECT_EQ(finish(),
              allocLine("k.c", 1, VXL_GLOBALALLOC, 10, 1, g) + allocLine("k.c", 2, VXL_LOCALALLOC, 20, 2, l) +
                  allocLine("k.c", 3, VXL_HEAPALLOC, 30, 3, h) + allocLine("k.c", 4, VXL_MALLOC, 40, 4, m) +
                  logLine("GlobalFree", "k.c", 5, VXL_GLOBALALLOC, 10, me, 0, g) +
                  logLine("LocalFree", "k.c", 6, VXL_LOCALALLOC, 20, me, 1, l) +
                  logLine("HeapFree", "k.c", 7, VXL_HEAPALLOC, 30, me, 2, h) +
                  logLine("free", "k.c", 8, VXL_MALLOC, 40, me, 3, m) +
                  logLine(std::string("HeapFree") + kNotRegisteredNote, "k.c", 9, VXL_HEAPALLOC, -1, me, 4, raw) +
                  logLine(std::string("HeapAlloc") + kFreeNullNote, "k.c", 10, VXL_HEAPALLOC, -1, me, 4, nullptr) +
                  statusReport("k.c", 11, s));
}

TEST_F(WindowsFamily, HeapReAllocMovesTheRecordOrKeepsItWhenItFails) {
    start();
    PrivateHeap heap;
    void *p = VexalHeapAlloc(heap.handle(), 0, 100, "r.c", 1);
    void *q = VexalHeapReAlloc(heap.handle(), 0, p, 200, "r.c", 2);
    ASSERT_TRUE(p && q);
    // Too large for the heap: null, and the block keeps its record.
    EXPECT_EQ(VexalHeapReAlloc(heap.handle(), 0, q, 1 << 20, "r.c", 3), nullptr);
    // A size of 0 is an ordinary size here, not a release.
    void *z = VexalHeapReAlloc(heap.handle(), 0, q, 0, "r.c", 4);
    ASSERT_NE(z, nullptr);
    VexalShowStatus("r.c", 5);
    VexalShowList("r.c", 6);
    EXPECT_NE(VexalHeapFree(heap.handle(), 0, z, "r.c", 7), 0);
    EXPECT_EQ(heap.busyBlocks(), 0);

    const uint32_t me = currentThreadId();
    Status s;
    s.rows[VXL_HEAPALLOC] = {1, 0};
    s.rows[VXL_HEAPREALLOC] = {2, 0};
    s.internalUse = kAnchorsUse + recordUse("r.c");
    EXPECT_EQ(finish(), allocLine("r.c", 1, VXL_HEAPALLOC, 100, 1, p) +
                            allocLine("r.c", 2, VXL_HEAPREALLOC, 200, 2, q) +
                            allocLine("r.c", 3, VXL_HEAPREALLOC, 1 << 20, 2, nullptr, kFailedNote) +
                            allocLine("r.c", 4, VXL_HEAPREALLOC, 0, 3, z) + statusReport("r.c", 5, s) +
                            listReport("r.c", 6, {{"r.c", 4, VXL_HEAPREALLOC, 0, me, 2, z}}) +
                            logLine("HeapFree", "r.c", 7, VXL_HEAPREALLOC, 0, me, 2, z));
}

TEST_F(WindowsFamily, ExceptionRaisedInsideHeapAllocGivesNullAndAFailedLine) {
    start();
    PrivateHeap heap;
    EXPECT_EQ(VexalHeapAlloc(heap.handle(), HEAP_GENERATE_EXCEPTIONS, 1 << 20, "x.c", 1), nullptr);
    // The thread goes on with the library in order.
    void *p = VexalHeapAlloc(heap.handle(), HEAP_GENERATE_EXCEPTIONS, 16, "x.c", 2);
    ASSERT_NE(p, nullptr);
    VexalFree(p, "x.c", 3);
    EXPECT_EQ(finish(), allocLine("x.c", 1, VXL_HEAPALLOC, 1 << 20, 0, nullptr, kFailedNote) +
                            allocLine("x.c", 2, VXL_HEAPALLOC, 16, 1, p) +
                            logLine("HeapFree", "x.c", 3, VXL_HEAPALLOC, 16, currentThreadId(), 0, p));
}

TEST_F(WindowsFamily, FreeTheseReleasesHeapBlocksOnTheirOwnHeap) {
    start(1, 0);
    PrivateHeap heap;
    ASSERT_NE(VexalHeapAlloc(heap.handle(), 0, 8, "Dir\\Heap.C", 1), nullptr);
    void *grown = VexalHeapReAlloc(heap.handle(), 0, VexalHeapAlloc(heap.handle(), 0, 4, "Dir\\Heap.C", 2), 9,
                                   "Dir\\Heap.C", 3);
    ASSERT_NE(grown, nullptr);
    void *other = keep(VexalMalloc(7, "other.c", 4));
    // Letter case does not count in the file filter.
    EXPECT_EQ(VexalFreeThese("dir\\heap.c", 0, 0, 0, 0, 0, 0, 0), 8 + 9);
    EXPECT_EQ(heap.busyBlocks(), 0);
    AllocationRecord *left = VexalGetListEntry(0);
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->address, other);
    VexalGetListEntry(2);
}

TEST_F(WindowsFamily, IndexBoundsAreSignedAndANegativeMaximumSelectsEverything) {
    start(1, 0);
    int64_t total = 0;
    for (int i = 0; i < 6; ++i) total += (VexalMalloc(static_cast<size_t>(i + 1), "i.c", i) != nullptr) * (i + 1);
    EXPECT_EQ(VexalFreeThese(nullptr, 0, 0, 0, 0, 0, -3, 1), 1 + 2);  // indexes 0 and 1
    EXPECT_EQ(VexalFreeThese(nullptr, 0, 0, 0, 0, 0, 4, -1), total - 3);
    EXPECT_EQ(VexalGetIndex(), 6u);
}

TEST_F(WindowsFamily, ReportsUseWindowsNamesAndUnitArithmetic) {
    start(1, 0);
    PrivateHeap heap;
    void *big = VexalMalloc(16777217, "u.c", 1);  // not a float: kB is exact only in double
    void *h = VexalHeapReAlloc(heap.handle(), 0, VexalHeapAlloc(heap.handle(), 0, 1, "u.c", 2), 2, "u.c", 3);
    ASSERT_TRUE(big && h);
    VexalShowStatus("u.c", 4);
    VexalShowList("u.c", 5);
    VexalFree(big, "u.c", 6);
    VexalFree(h, "u.c", 7);
    const std::string text = finish();
    // 16777219 B is 16384.0029 kB; as a float it would be 16384.0039 kB.
    EXPECT_NE(text.find("Sum of memory allocated:        16777219 B = 16384.003 kB = 16.000 MB\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("| HeapReAlloc  |           1 |               2 |\n"), std::string::npos);
    EXPECT_NE(text.find("u.c : 3, HeapRealloc, 2B, "), std::string::npos);
}

TEST_F(WindowsFamily, WalkingThreadMayCallWrappersAndFreeTheRecordItStandsOn) {
    start(1, 0);
    void *a = VexalMalloc(1, "w.c", 1);
    void *b = VexalMalloc(2, "w.c", 2);
    void *c = VexalMalloc(3, "w.c", 3);
    ASSERT_TRUE(a && b && c);
    AllocationRecord *r = VexalGetListEntry(0);
    ASSERT_NE(r, nullptr);
    r = VexalGetListEntry(1);
    ASSERT_EQ(r->address, b);
    // Holding the lock, the walker takes it again in every call below.
    void *d = VexalMalloc(4, "w.c", 4);
    VexalFree(b, "w.c", 5);
    EXPECT_EQ(VexalGetListEntry(7), nullptr);  // the cursor's record is gone
    std::vector<void *> rest;
    for (r = VexalGetListEntry(1); r != nullptr; r = VexalGetListEntry(1)) rest.push_back(r->address);
    VexalGetListEntry(2);
    EXPECT_EQ(rest, (std::vector<void *>{c, d}));

    // Each taking had its own release: another thread gets in at once.
    using namespace std::chrono_literals;
    std::promise<void *> fromOther;
    std::future<void *> result = fromOther.get_future();
    const auto begin = std::chrono::steady_clock::now();
    std::thread other([&] { fromOther.set_value(VexalMalloc(5, "w.c", 6)); });
    if (result.wait_for(10s) != std::future_status::ready) {
        other.detach();
        FAIL() << "the lock stayed taken after the walk";
    }
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
    other.join();
    EXPECT_NE(result.get(), nullptr);
    EXPECT_EQ(VexalFreeAll(), 1 + 3 + 4 + 5);
}

}  // namespace
