// SPDX-License-Identifier: MIT
// The record pool, the address index and the name table behind the
// records, checked against plain reference containers over many inserts and
// erases.
#include "RecordStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace vexal {
namespace {

// Pool records with chosen addresses; the index only reads their address.
class Nodes {
public:
    ~Nodes() { pool.clear(); }

    Record *make(std::uintptr_t address)
    {
        std::uint32_t number;
        Record *record = pool.acquire(number);
        record->address = reinterpret_cast<void *>(address);
        record->type = VXL_MALLOC;
        return record;
    }

    // Puts a record in, or takes it out checking the number the index held.
    bool insert(AddressIndex &index, Record *record) { return index.insert(record, pool.numberOf(record)); }
    void erase(AddressIndex &index, Record *record) { EXPECT_EQ(index.erase(record), pool.numberOf(record)); }

    NodePool pool;
};

// Checks every address of the reference against the index: present ones
// find their newest node, removed ones find nothing.
void expectMatches(const AddressIndex &index, const std::map<std::uintptr_t, std::vector<Record *>> &reference)
{
    for (const auto &[address, nodes] : reference) {
        const void *key = reinterpret_cast<const void *>(address);
        if (nodes.empty())
            ASSERT_EQ(index.find(key), nullptr) << std::hex << address;
        else
            ASSERT_EQ(index.find(key), nodes.back()) << std::hex << address;
    }
}

struct Layout {
    const char *name;
    std::uintptr_t (*address)(std::size_t i, std::mt19937_64 &rng);
};

const Layout kLayouts[] = {
    {"dense 80-byte blocks", [](std::size_t i, std::mt19937_64 &) { return 0x7f0000001000 + i * 80; }},
    {"page-aligned blocks", [](std::size_t i, std::mt19937_64 &) { return 0x7f0000000000 + i * 4096; }},
    {"1 MiB-aligned blocks", [](std::size_t i, std::mt19937_64 &) { return 0x7f0000000000 + (i << 20); }},
    {"scattered blocks",
     [](std::size_t, std::mt19937_64 &rng) -> std::uintptr_t { return (rng() & 0x7ffffffffff0ULL) | 0x10; }},
};

TEST(AddressIndex, FindsTheNewestNodeOfEveryAddressThroughGrowthAndShrinking)
{
    for (const Layout &layout : kLayouts) {
        SCOPED_TRACE(layout.name);
        std::mt19937_64 rng(42);
        Nodes nodes;
        AddressIndex index(nodes.pool);
        std::map<std::uintptr_t, std::vector<Record *>> reference;
        std::vector<std::uintptr_t> live;
        constexpr std::size_t kCount = 20000;
        for (std::size_t i = 0; i < kCount; ++i) {
            // Every seventh record repeats an earlier address: repeats must
            // stay newest first through every growth and backward shift.
            const std::uintptr_t address = i % 7 == 6 ? live[rng() % live.size()] : layout.address(i, rng);
            Record *node = nodes.make(address);
            ASSERT_TRUE(nodes.insert(index, node));
            if (reference[address].empty())
                live.push_back(address);
            reference[address].push_back(node);
        }
        expectMatches(index, reference);
        // Erase in random order down to a few, so the table shrinks; probe
        // runs must survive every backward shift.
        std::shuffle(live.begin(), live.end(), rng);
        for (std::size_t i = 0; i + 10 < live.size(); ++i) {
            auto &chain = reference[live[i]];
            if (chain.size() > 1) {  // an older record first, as a realloc of it would
                nodes.erase(index, chain.front());
                chain.erase(chain.begin());
            }
            while (!chain.empty()) {
                nodes.erase(index, chain.back());
                chain.pop_back();
            }
            if (i % 997 == 0)
                expectMatches(index, reference);
        }
        expectMatches(index, reference);
        index.clear();
    }
}

TEST(AddressIndex, GrowingATableOfManyPagesKeepsEveryEntry)
{
    // Past some megabytes a growing table gives its old pages back while it
    // copies them: each must be copied whole first, including the part of
    // the first one that the copy reaches only at its end.
    Nodes nodes;
    AddressIndex index(nodes.pool);
    std::vector<Record *> records;
    constexpr std::size_t kCount = 950000;  // grows from a table of 4 MiB, then of 8 MiB
    for (std::size_t i = 0; i < kCount; ++i) {
        records.push_back(nodes.make(0x7f0000001000 + i * 48));
        ASSERT_TRUE(nodes.insert(index, records.back()));
    }
    for (Record *record : records)
        ASSERT_EQ(index.find(record->address), record) << record->address;
    index.clear();
}

TEST(AddressIndex, RepeatedAddressesAreFoundNewestFirstAndErasedFromAnyPosition)
{
    Nodes nodes;
    AddressIndex index(nodes.pool);
    Record *oldest = nodes.make(0x1000);
    Record *middle = nodes.make(0x1000);
    Record *newest = nodes.make(0x1000);
    for (Record *n : {oldest, middle, newest})
        ASSERT_TRUE(nodes.insert(index, n));
    EXPECT_EQ(index.find(reinterpret_cast<void *>(0x1000)), newest);

    nodes.erase(index, middle);  // from inside the chain
    EXPECT_EQ(index.find(reinterpret_cast<void *>(0x1000)), newest);
    nodes.erase(index, newest);
    EXPECT_EQ(index.find(reinterpret_cast<void *>(0x1000)), oldest);
    nodes.erase(index, oldest);
    EXPECT_EQ(index.find(reinterpret_cast<void *>(0x1000)), nullptr);
    index.clear();
}

TEST(AddressIndex, ErasedNodeCanBeInsertedAgainAsTheNewest)
{
    // A failed realloc takes its record out and puts it back.
    Nodes nodes;
    AddressIndex index(nodes.pool);
    Record *first = nodes.make(0x2000);
    Record *other = nodes.make(0x3000);
    ASSERT_TRUE(nodes.insert(index, first));
    ASSERT_TRUE(nodes.insert(index, other));
    nodes.erase(index, first);
    EXPECT_EQ(index.find(reinterpret_cast<void *>(0x2000)), nullptr);
    ASSERT_TRUE(nodes.insert(index, first));
    EXPECT_EQ(index.find(reinterpret_cast<void *>(0x2000)), first);
    EXPECT_EQ(index.find(reinterpret_cast<void *>(0x3000)), other);
    index.clear();
}

TEST(NameTable, EqualTextsShareOneNumberAndSurviveSweepsWhileReferenced)
{
    NameTable names;
    std::string dynamic = "src/parser.c";
    const std::uint32_t a = names.acquire("src/parser.c");
    const std::uint32_t b = names.acquire(dynamic.c_str());  // same text, other pointer
    ASSERT_NE(a, 0u);
    EXPECT_EQ(a, b);
    EXPECT_STREQ(names.text(a), "src/parser.c");
    EXPECT_EQ(names.length(a), 12u);
    const char *kept = names.text(a);

    // One buffer passed with changing names must not be taken for the last.
    dynamic = "src/lexer.c!";
    const std::uint32_t c = names.acquire(dynamic.c_str());
    EXPECT_STREQ(names.text(c), "src/lexer.c!");
    EXPECT_NE(c, a);

    // Enough names falling out of use to force several sweeps, which give
    // their numbers to new names; the held name must keep its text, copy
    // and number throughout.
    std::uint32_t highest = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string name = "gen/" + std::to_string(i) + ".c";
        const std::uint32_t e = names.acquire(name.c_str());
        ASSERT_NE(e, 0u);
        ASSERT_STREQ(names.text(e), name.c_str());
        highest = std::max(highest, e);
        names.release(e);
    }
    EXPECT_LT(highest, 1000u) << "numbers of swept names are not reused";
    EXPECT_EQ(names.acquire("src/parser.c"), a);
    EXPECT_EQ(names.text(a), kept);
    EXPECT_STREQ(names.text(names.acquire("")), "");
    names.clear();
}

TEST(NodePool, NumbersNameTheirRecordsAcrossSlabsAndFreedRecordsComeBack)
{
    NodePool pool;
    std::vector<Record *> records;
    const std::size_t count = 2 * NodePool::kNodesPerSlab + 10;  // into a third slab
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t given = 0;
        Record *record = pool.acquire(given);
        ASSERT_NE(record, nullptr);
        record->type = VXL_MALLOC;
        ASSERT_EQ(given, number = pool.next(number)) << i;  // handed out in order
        ASSERT_EQ(pool.numberOf(record), number) << i;
        ASSERT_EQ(pool.record(number), record) << i;
        records.push_back(record);
    }
    EXPECT_EQ(pool.next(number), pool.end());
    EXPECT_EQ(pool.live(), count);
    std::sort(records.begin(), records.end());
    EXPECT_EQ(std::adjacent_find(records.begin(), records.end()), records.end()) << "a record handed out twice";
    pool.release(records[5], pool.numberOf(records[5]));
    pool.release(records[7], pool.numberOf(records[7]));
    EXPECT_TRUE(NodePool::isFree(*records[5]));
    EXPECT_EQ(pool.live(), count - 2);
    std::uint32_t given = 0;
    EXPECT_EQ(pool.acquire(given), records[7]);
    EXPECT_EQ(given, pool.numberOf(records[7]));
    EXPECT_EQ(pool.acquire(given), records[5]);
    pool.clear();
}

} // namespace
} // namespace vexal
