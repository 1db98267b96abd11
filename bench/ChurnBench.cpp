// SPDX-License-Identifier: MIT
// An allocation-heavy program, tracked and plain: a long-lived binary tree of
// half a million nodes stays live while millions of short-lived trees are
// built, walked and torn down (the shape of a garbage-collected interpreter's
// heap). Also the cost of growing from nothing to a million live 16-byte
// blocks, and the resident bytes the library adds per live block of the tree.
#include <benchmark/benchmark.h>

#include <Vexal.h>

#include "ResidentMemory.h"

#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kLongLivedDepth = 18;  // 2^19 - 1 = 524 287 live nodes
constexpr int kMinDepth = 4;
constexpr int kMaxDepth = 14;        // 6 depths of 2^19 short-lived nodes each
constexpr std::size_t kGrowBlocks = 1000000;
constexpr std::size_t kGrowBlockSize = 16;

struct TreeNode {
    TreeNode *left;
    TreeNode *right;
    long value;
};

// The two ways of getting memory, so that one tree code serves both runs.
struct Plain {
    static void *get(std::size_t size) { return std::malloc(size); }
    static void put(void *p) { std::free(p); }
};

struct Tracked {
    static void *get(std::size_t size) { return VexalMalloc(size, "bench/tree.c", 10); }
    static void put(void *p) { VexalFree(p, "bench/tree.c", 20); }
};

template <typename Heap>
TreeNode *build(int depth)
{
    auto *node = static_cast<TreeNode *>(Heap::get(sizeof(TreeNode)));
    node->value = depth;
    node->left = depth > 0 ? build<Heap>(depth - 1) : nullptr;
    node->right = depth > 0 ? build<Heap>(depth - 1) : nullptr;
    return node;
}

long check(const TreeNode *node)
{
    return node->left == nullptr ? 1 : 1 + check(node->left) + check(node->right);
}

template <typename Heap>
void tearDown(TreeNode *node)
{
    if (node->left != nullptr) {
        tearDown<Heap>(node->left);
        tearDown<Heap>(node->right);
    }
    Heap::put(node);
}

// One round of short-lived trees, as many nodes per depth.
template <typename Heap>
long churn()
{
    long nodes = 0;
    for (int depth = kMinDepth; depth <= kMaxDepth; depth += 2) {
        const int trees = 1 << (kMaxDepth - depth + kMinDepth);
        for (int i = 0; i < trees; ++i) {
            TreeNode *tree = build<Heap>(depth);
            nodes += check(tree);
            tearDown<Heap>(tree);
        }
    }
    return nodes;
}

template <typename Heap>
void BM_Churn(benchmark::State &state)
{
    VexalInit(1, 0, "/dev/null", -1);
    TreeNode *longLived = build<Heap>(kLongLivedDepth);
    long nodes = 0;
    for (auto _ : state)
        nodes += churn<Heap>();
    benchmark::DoNotOptimize(check(longLived));
    tearDown<Heap>(longLived);
    VexalFinish();
    state.SetItemsProcessed(nodes);
}
BENCHMARK_TEMPLATE(BM_Churn, Plain)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Churn, Tracked)->Unit(benchmark::kMillisecond);

// Resident bytes per live node of the long-lived tree, plain and tracked; the
// difference is the library's bookkeeping per block. The plain tree stays
// live while the tracked one grows, so neither reuses the other's pages, and
// the heap is trimmed first, so that neither reuses pages of earlier runs.
void BM_ChurnBytesPerBlock(benchmark::State &state)
{
    const double nodes = static_cast<double>((std::size_t{1} << (kLongLivedDepth + 1)) - 1);
    double plainDelta = 0;
    double trackedDelta = 0;
    for (auto _ : state) {
        malloc_trim(0);
        long long before = residentBytes();
        TreeNode *plain = build<Plain>(kLongLivedDepth);
        plainDelta = static_cast<double>(residentBytes() - before);

        VexalInit(1, 0, "/dev/null", -1);
        malloc_trim(0);
        before = residentBytes();
        TreeNode *tracked = build<Tracked>(kLongLivedDepth);
        trackedDelta = static_cast<double>(residentBytes() - before);

        tearDown<Tracked>(tracked);
        VexalFinish();
        tearDown<Plain>(plain);
    }
    state.counters["bookkeeping_bytes_per_block"] = (trackedDelta - plainDelta) / nodes;
    state.counters["plain_bytes_per_block"] = plainDelta / nodes;
}
BENCHMARK(BM_ChurnBytesPerBlock)->Iterations(1)->Unit(benchmark::kMillisecond);

// From no live block to a million 16-byte ones, timed per block; every round
// starts from a trimmed heap, so page faults count on both sides.
template <typename Heap>
void BM_Grow(benchmark::State &state)
{
    std::vector<void *> blocks(kGrowBlocks, nullptr);  // touched here, not in the timed part
    for (auto _ : state) {
        malloc_trim(0);
        VexalInit(1, 0, "/dev/null", -1);
        const auto start = std::chrono::steady_clock::now();
        for (void *&p : blocks)
            p = Heap::get(kGrowBlockSize);
        const auto stop = std::chrono::steady_clock::now();
        for (void *p : blocks)
            Heap::put(p);
        VexalFinish();
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    }
    state.counters["blocks"] = static_cast<double>(kGrowBlocks);
}
BENCHMARK_TEMPLATE(BM_Grow, Plain)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Grow, Tracked)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
