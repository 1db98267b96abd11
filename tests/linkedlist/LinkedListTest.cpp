// SPDX-License-Identifier: MIT
// The record list module: a doubly linked list of pointer-sized data between
// two anchor links, addressed through any of its links.
#include <LinkedList.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

class LinkedListTest : public ::testing::Test {
protected:
    void SetUp() override { LinkedListInit(&start, &stop); }
    void TearDown() override { LinkedListFinish(&start, &stop); }

    // The data from the first data link to the last, walking forward.
    std::vector<intptr_t> forward() const {
        std::vector<intptr_t> data;
        for (Link *l = LinkedListGetFirst(start); l != nullptr; l = LinkedListGetNext(l)) {
            data.push_back(l->datum);
        }
        return data;
    }

    // The data from the last data link to the first, read back in list order.
    std::vector<intptr_t> backward() const {
        std::vector<intptr_t> data;
        for (Link *l = LinkedListGetLast(stop); l != nullptr; l = LinkedListGetPrev(l)) {
            data.insert(data.begin(), l->datum);
        }
        return data;
    }

    // Both walks must agree, and the raw chain must join start to stop.
    void expectList(const std::vector<intptr_t> &expected) const {
        EXPECT_EQ(forward(), expected);
        EXPECT_EQ(backward(), expected);
        EXPECT_EQ(LinkedListLength(start), static_cast<int>(expected.size()));
        EXPECT_EQ(LinkedListLength(stop), static_cast<int>(expected.size()));
        size_t hops = 0;
        const Link *l = start;
        while (l->next != nullptr) {
            EXPECT_EQ(l->next->prev, l);
            l = l->next;
            ++hops;
        }
        EXPECT_EQ(l, stop);
        EXPECT_EQ(hops, expected.size() + 1);
    }

    Link *start = nullptr;
    Link *stop = nullptr;
};

TEST_F(LinkedListTest, NewListIsTwoAnchorsPointingAtEachOther) {
    ASSERT_NE(start, nullptr);
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(start->prev, nullptr);
    EXPECT_EQ(start->next, stop);
    EXPECT_EQ(stop->prev, start);
    EXPECT_EQ(stop->next, nullptr);
    EXPECT_EQ(start->datum, LINKEDLIST_ANCHOR);
    EXPECT_EQ(stop->datum, LINKEDLIST_ANCHOR);

    EXPECT_EQ(LinkedListGetFirst(start), nullptr);
    EXPECT_EQ(LinkedListGetFirst(stop), nullptr);
    EXPECT_EQ(LinkedListGetLast(start), nullptr);
    EXPECT_EQ(LinkedListGetLast(stop), nullptr);
    EXPECT_EQ(LinkedListLength(start), 0);
    EXPECT_EQ(LinkedListLength(stop), 0);
    EXPECT_EQ(LinkedListGetNext(start), nullptr);
    EXPECT_EQ(LinkedListGetPrev(stop), nullptr);
}

TEST_F(LinkedListTest, AddLastKeepsInsertionOrderAndEveryLinkSeesTheWholeList) {
    Link *a = LinkedListAddLast(start, 'A');
    Link *b = LinkedListAddLast(stop, 'B');
    Link *c = LinkedListAddLast(a, 'C');
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(c, nullptr);

    expectList({'A', 'B', 'C'});
    EXPECT_EQ(LinkedListGetFirst(b), a);
    EXPECT_EQ(LinkedListGetLast(a), c);
    EXPECT_EQ(LinkedListGetFirst(c), a);
    EXPECT_EQ(LinkedListGetNext(a), b);
    EXPECT_EQ(LinkedListGetNext(c), nullptr);
    EXPECT_EQ(LinkedListGetPrev(a), nullptr);
    EXPECT_EQ(LinkedListGetPrev(c), b);
    EXPECT_EQ(LinkedListLength(a), 3);
    EXPECT_EQ(LinkedListLength(b), 3);
    EXPECT_EQ(LinkedListLength(c), 3);
}

TEST_F(LinkedListTest, AddFirstInsertsRightAfterTheStartAnchorFromAnyLink) {
    Link *b = LinkedListAddFirst(stop, 'B');
    LinkedListAddFirst(b, 'A');
    LinkedListAddLast(b, 'C');
    Link *z = LinkedListAddFirst(LinkedListGetLast(start), 'Z');
    expectList({'Z', 'A', 'B', 'C'});
    EXPECT_EQ(LinkedListGetFirst(stop), z);
    EXPECT_EQ(LinkedListGetNext(start), z);
}

TEST_F(LinkedListTest, AddAtAnAnchorStaysInsideTheList) {
    // Before the start anchor there is no room: position 0 inserts after it.
    LinkedListAdd(start, 0, 'B');
    // After the stop anchor there is no room: position 1 inserts before it.
    LinkedListAdd(stop, 1, 'C');
    LinkedListAdd(start, 1, 'A');
    LinkedListAdd(stop, 0, 'D');
    expectList({'A', 'B', 'C', 'D'});
    EXPECT_EQ(start->prev, nullptr);
    EXPECT_EQ(stop->next, nullptr);
}

TEST_F(LinkedListTest, AddAtADataLinkInsertsBeforeForZeroAndAfterForOne) {
    Link *m = LinkedListAddLast(start, 'M');
    Link *before = LinkedListAdd(m, 0, 'L');
    Link *after = LinkedListAdd(m, 1, 'N');
    expectList({'L', 'M', 'N'});
    EXPECT_EQ(before->datum, 'L');
    EXPECT_EQ(after->datum, 'N');
    EXPECT_EQ(LinkedListGetPrev(m), before);
    EXPECT_EQ(LinkedListGetNext(m), after);
}

TEST_F(LinkedListTest, AnyValueButAllOnesIsAData) {
    // Zero and other negative values are ordinary data, not anchors.
    int local = 0;
    const intptr_t pointer = reinterpret_cast<intptr_t>(&local);
    Link *zero = LinkedListAddLast(stop, 0);
    LinkedListAddLast(stop, -2);
    LinkedListAddLast(stop, INTPTR_MIN);
    LinkedListAddLast(stop, INTPTR_MAX);
    LinkedListAddLast(stop, pointer);
    expectList({0, -2, INTPTR_MIN, INTPTR_MAX, pointer});
    EXPECT_EQ(LinkedListGetFirst(stop), zero);
    EXPECT_EQ(LinkedListGetPrev(LinkedListGetNext(zero)), zero);
}

TEST_F(LinkedListTest, RemoveUnlinksADataLinkAndIgnoresAnchorsAndNull) {
    Link *a = LinkedListAddLast(stop, 1);
    Link *b = LinkedListAddLast(stop, 2);
    Link *c = LinkedListAddLast(stop, 3);

    LinkedListRemove(start);
    LinkedListRemove(stop);
    LinkedListRemove(nullptr);
    expectList({1, 2, 3});

    LinkedListRemove(b);
    expectList({1, 3});
    EXPECT_EQ(LinkedListGetNext(a), c);
    EXPECT_EQ(LinkedListGetPrev(c), a);

    LinkedListRemove(a);
    LinkedListRemove(c);
    expectList({});
}

TEST_F(LinkedListTest, RemoveFirstAndLastReturnTheNewNeighbour) {
    EXPECT_EQ(LinkedListRemoveFirst(start), nullptr);
    EXPECT_EQ(LinkedListRemoveLast(stop), nullptr);
    expectList({});

    LinkedListAddLast(stop, 'A');
    Link *b = LinkedListAddLast(stop, 'B');
    EXPECT_EQ(LinkedListRemoveFirst(stop), b);
    expectList({'B'});
    EXPECT_EQ(LinkedListRemoveFirst(start), nullptr);
    expectList({});

    Link *x = LinkedListAddLast(stop, 'X');
    LinkedListAddLast(stop, 'Y');
    EXPECT_EQ(LinkedListRemoveLast(start), x);
    expectList({'X'});
    EXPECT_EQ(LinkedListRemoveLast(x), nullptr);
    expectList({});
}

TEST_F(LinkedListTest, RemoveAllEmptiesTheListEvenWhenGivenOneOfItsDataLinks) {
    std::vector<intptr_t> none;
    LinkedListRemoveAll(start);
    expectList(none);

    Link *middle = nullptr;
    for (intptr_t i = 0; i < 100; ++i) {
        Link *l = LinkedListAddLast(start, i);
        if (i == 50) {
            middle = l;
        }
    }
    EXPECT_EQ(LinkedListLength(middle), 100);
    LinkedListRemoveAll(middle);
    expectList(none);

    // The list is usable afterwards.
    LinkedListAddFirst(stop, 7);
    expectList({7});
}

TEST_F(LinkedListTest, NullArgumentsGiveNoneAndChangeNothing) {
    LinkedListAddLast(stop, 5);
    EXPECT_EQ(LinkedListAddFirst(nullptr, 1), nullptr);
    EXPECT_EQ(LinkedListAddLast(nullptr, 1), nullptr);
    EXPECT_EQ(LinkedListRemoveFirst(nullptr), nullptr);
    EXPECT_EQ(LinkedListRemoveLast(nullptr), nullptr);
    LinkedListRemoveAll(nullptr);
    EXPECT_EQ(LinkedListGetFirst(nullptr), nullptr);
    EXPECT_EQ(LinkedListGetLast(nullptr), nullptr);
    EXPECT_EQ(LinkedListGetPrev(nullptr), nullptr);
    EXPECT_EQ(LinkedListGetNext(nullptr), nullptr);
    EXPECT_EQ(LinkedListLength(nullptr), 0);
    expectList({5});
}

TEST_F(LinkedListTest, MixedOperationsOnALongListStayConsistent) {
    std::vector<intptr_t> model;
    for (intptr_t i = 0; i < 200; ++i) {
        if (i % 3 == 0) {
            LinkedListAddFirst(stop, i);
            model.insert(model.begin(), i);
        } else {
            LinkedListAddLast(start, i);
            model.push_back(i);
        }
        if (i % 7 == 6) {
            LinkedListRemoveFirst(stop);
            model.erase(model.begin());
        }
        if (i % 11 == 10) {
            LinkedListRemoveLast(start);
            model.pop_back();
        }
    }
    expectList(model);
}

TEST(LinkedListLifecycle, FinishFreesALoadedListAndLeavesTheVariables) {
    Link *first = nullptr;
    Link *last = nullptr;
    LinkedListInit(&first, &last);
    for (intptr_t i = 0; i < 10; ++i) {
        LinkedListAddLast(last, i);
    }
    Link *const savedFirst = first;
    Link *const savedLast = last;
    LinkedListFinish(&first, &last);
    EXPECT_EQ(first, savedFirst);
    EXPECT_EQ(last, savedLast);

    // Finishing a list whose anchors were cleared is harmless.
    Link *none1 = nullptr;
    Link *none2 = nullptr;
    LinkedListFinish(&none1, &none2);
    EXPECT_EQ(none1, nullptr);
    EXPECT_EQ(none2, nullptr);
}

TEST(LinkedListLifecycle, TwoListsAreIndependent) {
    Link *s1 = nullptr, *e1 = nullptr, *s2 = nullptr, *e2 = nullptr;
    LinkedListInit(&s1, &e1);
    LinkedListInit(&s2, &e2);
    LinkedListAddLast(e1, 1);
    LinkedListAddLast(e2, 2);
    LinkedListAddLast(e2, 3);
    EXPECT_EQ(LinkedListLength(s1), 1);
    EXPECT_EQ(LinkedListLength(s2), 2);
    EXPECT_EQ(LinkedListGetFirst(e1)->datum, 1);
    EXPECT_EQ(LinkedListGetFirst(e2)->datum, 2);
    LinkedListFinish(&s1, &e1);
    EXPECT_EQ(LinkedListLength(s2), 2);
    LinkedListFinish(&s2, &e2);
}

}  // namespace
