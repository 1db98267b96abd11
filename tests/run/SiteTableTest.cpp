// SPDX-License-Identifier: MIT
// The table of return addresses is read without a lock while one writer
// inserts and grows it.
#include "SiteTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

namespace {

using vexal::run::SiteTable;

TEST(SiteTable, ReadersFindEveryPublishedKeyWhileTheWriterGrowsTheTable)
{
    constexpr std::uintptr_t kKeys = 20000;  // grows the table several times
    std::vector<std::uintptr_t> values(kKeys + 1);
    for (std::uintptr_t k = 0; k <= kKeys; ++k)
        values[k] = k;
    static SiteTable<std::uintptr_t> table;  // never freed, as in the library
    std::atomic<std::uintptr_t> published{0};
    std::atomic<int> wrong{0};
    std::atomic<int> missing{0};

    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&, r] {
            std::minstd_rand random(static_cast<unsigned>(r + 1));
            for (;;) {
                const std::uintptr_t last = published.load(std::memory_order_acquire);
                if (last == 0)
                    continue;
                // Keys are return addresses: spread them like those.
                const std::uintptr_t k = 1 + random() % last;
                const std::uintptr_t *found = table.find(0x400000 + 16 * k);
                if (found == nullptr)
                    missing.fetch_add(1);
                else if (*found != k)
                    wrong.fetch_add(1);
                if (last == kKeys)
                    return;
            }
        });
    }
    for (std::uintptr_t k = 1; k <= kKeys; ++k) {
        ASSERT_TRUE(table.insert(0x400000 + 16 * k, &values[k]));
        published.store(k, std::memory_order_release);
    }
    for (std::thread &t : readers)
        t.join();
    EXPECT_EQ(missing.load(), 0);
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(table.find(0x400000 + 16 * (kKeys + 1)), nullptr);
}

} // namespace
