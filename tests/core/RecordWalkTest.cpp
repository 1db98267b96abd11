// SPDX-License-Identifier: MIT
// Walks over the records: every live record once, in the order of their
// indexes, whatever order the pool holds them in.
#include "RecordWalk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace vexal {
namespace {

class Records {
public:
    ~Records() { pool.clear(); }

    Record *make(std::uint64_t index)
    {
        std::uint32_t number;
        Record *record = pool.acquire(number);
        record->type = VXL_MALLOC;
        record->index = index;
        return record;
    }

    void drop(Record *record) { pool.release(record, pool.numberOf(record)); }

    NodePool pool;
};

std::vector<std::uint64_t> indexesFrom(RecordWalk &walk, Record *first)
{
    std::vector<std::uint64_t> seen;
    for (Record *r = first; r != nullptr; r = walk.next())
        seen.push_back(r->index);
    EXPECT_EQ(walk.next(), nullptr);  // and stays past the end
    return seen;
}

TEST(RecordWalk, VisitsEveryLiveRecordOnceInIndexOrderEitherWay)
{
    // A few records sort in place, many in radix passes; the indexes span
    // several digits, and releases and reuse scramble the pool's order.
    for (const std::size_t count : {std::size_t{20}, std::size_t{5000}}) {
        SCOPED_TRACE(count);
        Records records;
        std::mt19937_64 rng(7);
        std::vector<Record *> made;
        std::uint64_t index = 0;
        for (std::size_t i = 0; i < count; ++i)
            made.push_back(records.make(index += 1 + rng() % (std::uint64_t{1} << 24)));
        std::shuffle(made.begin(), made.end(), rng);
        for (std::size_t i = 0; i < count / 2; ++i)
            records.drop(made[i]);
        made.erase(made.begin(), made.begin() + static_cast<std::ptrdiff_t>(count / 2));
        for (std::size_t i = 0; i < count / 4; ++i)
            made.push_back(records.make(index += 1 + rng() % 1000));

        std::vector<std::uint64_t> expected;
        for (const Record *r : made)
            expected.push_back(r->index);
        std::sort(expected.begin(), expected.end());
        RecordWalk walk;
        EXPECT_EQ(indexesFrom(walk, walk.start(records.pool, UINT64_MAX)), expected);
        std::reverse(expected.begin(), expected.end());
        EXPECT_EQ(indexesFrom(walk, walk.start(records.pool, UINT64_MAX, true)), expected);
    }
}

TEST(RecordWalk, SkipsRecordsReleasedDuringTheWalkAndGoesOnToThoseMadeSince)
{
    Records records;
    std::vector<Record *> made;
    for (std::uint64_t i = 0; i < 40; ++i)
        made.push_back(records.make(i));
    RecordWalk walk;
    Record *first = walk.start(records.pool, 40);
    ASSERT_EQ(first, made[0]);
    records.drop(made[1]);
    records.drop(made[0]);
    EXPECT_EQ(walk.current(), nullptr);  // the record it stood on is gone
    EXPECT_EQ(records.make(40), made[0]);  // its place comes back with a newer record
    EXPECT_EQ(walk.current(), nullptr);

    std::vector<std::uint64_t> expected;
    for (std::uint64_t i = 2; i < 40; ++i)
        expected.push_back(i);
    std::vector<std::uint64_t> seen;
    for (Record *r = walk.next(); r != nullptr; r = walk.next())
        seen.push_back(r->index);
    EXPECT_EQ(seen, expected);  // not the new record: it came after the start

    // Extended, the walk goes on to it, newer ones after, and only to them.
    records.make(41);
    EXPECT_EQ(indexesFrom(walk, walk.extend(42)), (std::vector<std::uint64_t>{40, 41}));
    EXPECT_EQ(walk.extend(42), nullptr);
}

} // namespace
} // namespace vexal
