// SPDX-License-Identifier: MIT
// The address index and the name table behind the record list, checked
// against plain reference containers over many inserts and erases.
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

// Nodes with chosen addresses; the index only reads record.address and the
// chain field.
class Nodes {
public:
    RecordNode *make(std::uintptr_t address)
    {
        storage_.push_back(std::make_unique<RecordNode>());
        RecordNode *node = storage_.back().get();
        node->record.address = reinterpret_cast<void *>(address);
        node->olderSameAddress = nullptr;
        return node;
    }

private:
    std::vector<std::unique_ptr<RecordNode>> storage_;
};

// Checks every address of the reference against the index: present ones
// find their newest node, removed ones find nothing.
void expectMatches(const AddressIndex &index, const std::map<std::uintptr_t, std::vector<RecordNode *>> &reference)
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
        AddressIndex index;
        std::map<std::uintptr_t, std::vector<RecordNode *>> reference;
        std::vector<std::uintptr_t> live;
        constexpr std::size_t kCount = 20000;
        for (std::size_t i = 0; i < kCount; ++i) {
            const std::uintptr_t address = layout.address(i, rng);
            RecordNode *node = nodes.make(address);
            ASSERT_TRUE(index.insert(node));
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
            while (!chain.empty()) {
                index.erase(chain.back());
                chain.pop_back();
            }
            if (i % 997 == 0)
                expectMatches(index, reference);
        }
        expectMatches(index, reference);
        index.clear();
    }
}

TEST(AddressIndex, RepeatedAddressesAreFoundNewestFirstAndErasedFromAnyPosition)
{
    Nodes nodes;
    AddressIndex index;
    RecordNode *oldest = nodes.make(0x1000);
    RecordNode *middle = nodes.make(0x1000);
    RecordNode *newest = nodes.make(0x1000);
    for (RecordNode *n : {oldest, middle, newest})
        ASSERT_TRUE(index.insert(n));
    EXPECT_EQ(index.find(reinterpret_cast<void *>(0x1000)), newest);

    index.erase(middle);  // from inside the chain
    EXPECT_EQ(index.find(reinterpret_cast<void *>(0x1000)), newest);
    index.erase(newest);
    EXPECT_EQ(index.find(reinterpret_cast<void *>(0x1000)), oldest);
    index.erase(oldest);
    EXPECT_EQ(index.find(reinterpret_cast<void *>(0x1000)), nullptr);
    index.clear();
}

TEST(AddressIndex, ErasedNodeCanBeInsertedAgainAsTheNewest)
{
    // A failed realloc takes its record out and puts it back.
    Nodes nodes;
    AddressIndex index;
    RecordNode *first = nodes.make(0x2000);
    RecordNode *other = nodes.make(0x3000);
    ASSERT_TRUE(index.insert(first));
    ASSERT_TRUE(index.insert(other));
    index.erase(first);
    EXPECT_EQ(index.find(reinterpret_cast<void *>(0x2000)), nullptr);
    ASSERT_TRUE(index.insert(first));
    EXPECT_EQ(index.find(reinterpret_cast<void *>(0x2000)), first);
    EXPECT_EQ(index.find(reinterpret_cast<void *>(0x3000)), other);
    index.clear();
}

TEST(NameTable, EqualTextsShareOneCopyAndSurviveSweepsWhileReferenced)
{
    NameTable names;
    std::string dynamic = "src/parser.c";
    NameEntry *a = names.acquire("src/parser.c");
    NameEntry *b = names.acquire(dynamic.c_str());  // same text, other pointer
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_STREQ(NameTable::text(a), "src/parser.c");
    EXPECT_EQ(NameTable::length(a), 12u);

    // Enough names falling out of use to force several sweeps; the held
    // name must keep its text and identity throughout.
    for (int i = 0; i < 3000; ++i) {
        const std::string name = "gen/" + std::to_string(i) + ".c";
        NameEntry *e = names.acquire(name.c_str());
        ASSERT_NE(e, nullptr);
        ASSERT_STREQ(NameTable::text(e), name.c_str());
        names.release(e);
    }
    EXPECT_EQ(names.acquire("src/parser.c"), a);
    EXPECT_STREQ(NameTable::text(a), "src/parser.c");
    EXPECT_STREQ(NameTable::text(names.acquire("")), "");
    names.clear();
}

} // namespace
} // namespace vexal
