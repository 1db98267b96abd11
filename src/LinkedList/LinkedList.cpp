// SPDX-License-Identifier: MIT
#include "LinkedList.h"

#include <cstdlib>

namespace {

bool isAnchor(const Link *link) { return link->datum == LINKEDLIST_ANCHOR; }

void initLink(Link *link)
{
    link->prev = nullptr;
    link->next = nullptr;
    link->datum = LINKEDLIST_ANCHOR;
}

Link *prevLink(Link *link)
{
    if (link == nullptr || link->prev == nullptr || isAnchor(link->prev))
        return nullptr;
    return link->prev;
}

Link *nextLink(Link *link)
{
    if (link == nullptr || link->next == nullptr || isAnchor(link->next))
        return nullptr;
    return link->next;
}

Link *startAnchor(Link *link)
{
    if (link == nullptr)
        return nullptr;
    while (link->prev != nullptr)
        link = link->prev;
    return link;
}

Link *stopAnchor(Link *link)
{
    if (link == nullptr)
        return nullptr;
    while (link->next != nullptr)
        link = link->next;
    return link;
}

// Puts `fresh` next to `at` by the same rule as LinkedListAdd. `fresh` must
// not be in a list.
void insertLink(Link *at, int position, Link *fresh)
{
    const bool before = (position == 0 && at->prev != nullptr) || (position == 1 && at->next == nullptr);
    if (before) {
        fresh->next = at;
        fresh->prev = at->prev;
        at->prev->next = fresh;
        at->prev = fresh;
    } else {
        fresh->next = at->next;
        fresh->prev = at;
        if (at->next != nullptr)
            at->next->prev = fresh;
        at->next = fresh;
    }
}

// Takes a data link out of its list without freeing it.
void unlinkLink(Link *link)
{
    link->prev->next = link->next;
    link->next->prev = link->prev;
    link->prev = nullptr;
    link->next = nullptr;
}

Link *firstLink(Link *link) { return nextLink(startAnchor(link)); }
Link *lastLink(Link *link) { return prevLink(stopAnchor(link)); }

Link *addLink(Link *at, int position, intptr_t datum)
{
    // A failed link allocation is reported as a null result; the list is
    // left as it was.
    auto *fresh = static_cast<Link *>(std::malloc(sizeof(Link)));
    if (fresh == nullptr)
        return nullptr;
    initLink(fresh);
    insertLink(at, position, fresh);
    fresh->datum = datum;
    return fresh;
}

void removeLink(Link *link)
{
    if (link == nullptr || link->prev == nullptr || link->next == nullptr || isAnchor(link))
        return;
    unlinkLink(link);
    std::free(link);
}

} // namespace

extern "C" {

void LinkedListInit(Link **start, Link **stop)
{
    auto *first = static_cast<Link *>(std::malloc(sizeof(Link)));
    auto *last = static_cast<Link *>(std::malloc(sizeof(Link)));
    if (first == nullptr || last == nullptr) {
        std::free(first);
        std::free(last);
        *start = nullptr;
        *stop = nullptr;
        return;
    }
    initLink(first);
    initLink(last);
    first->next = last;
    last->prev = first;
    *start = first;
    *stop = last;
}

void LinkedListFinish(Link **start, Link **stop)
{
    LinkedListRemoveAll(*start != nullptr ? *start : *stop);
    std::free(*start);
    if (*stop != *start)
        std::free(*stop);
}

Link *LinkedListAdd(Link *at, int position, intptr_t datum)
{
    if (at == nullptr)
        return nullptr;
    return addLink(at, position, datum);
}

Link *LinkedListAddFirst(Link *any, intptr_t datum)
{
    Link *anchor = startAnchor(any);
    return anchor == nullptr ? nullptr : addLink(anchor, 1, datum);
}

Link *LinkedListAddLast(Link *any, intptr_t datum)
{
    Link *anchor = stopAnchor(any);
    return anchor == nullptr ? nullptr : addLink(anchor, 0, datum);
}

void LinkedListRemove(Link *link) { removeLink(link); }

Link *LinkedListRemoveFirst(Link *any)
{
    Link *first = firstLink(any);
    if (first == nullptr)
        return nullptr;
    Link *following = nextLink(first);
    removeLink(first);
    return following;
}

Link *LinkedListRemoveLast(Link *any)
{
    Link *last = lastLink(any);
    if (last == nullptr)
        return nullptr;
    Link *preceding = prevLink(last);
    removeLink(last);
    return preceding;
}

void LinkedListRemoveAll(Link *any)
{
    Link *current = firstLink(any);
    while (current != nullptr) {
        Link *following = nextLink(current);
        removeLink(current);
        current = following;
    }
}

Link *LinkedListGetFirst(Link *any) { return firstLink(any); }
Link *LinkedListGetLast(Link *any) { return lastLink(any); }
Link *LinkedListGetPrev(Link *link) { return prevLink(link); }
Link *LinkedListGetNext(Link *link) { return nextLink(link); }

int LinkedListLength(Link *link)
{
    if (link == nullptr)
        return 0;
    int count = (link->prev == nullptr || link->next == nullptr) ? -1 : 0;
    for (Link *l = link; l != nullptr; l = nextLink(l))
        ++count;
    for (Link *l = prevLink(link); l != nullptr; l = prevLink(l))
        ++count;
    return count;
}

} // extern "C"
