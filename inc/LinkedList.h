/* SPDX-License-Identifier: MIT */
/*
 * LinkedList: a doubly linked list of pointer-sized data between two anchor
 * links. Operations on the whole list accept any link of it; they are constant
 * time when given the anchor on the side they need. Links are allocated with
 * the platform malloc; data are never freed by the list.
 *
 * Compiles as C11 and as C++.
 */
#ifndef VEXAL_LINKEDLIST_H
#define VEXAL_LINKEDLIST_H

#include <stdint.h>

/* The list functions are exported by the POSIX library only. */
#if defined(_WIN32)
#  define VEXAL_LIST_API
#else
#  define VEXAL_LIST_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The datum that marks an anchor; it cannot be stored. */
#define LINKEDLIST_ANCHOR ((intptr_t)-1)

typedef struct Link {
    struct Link *prev;
    struct Link *next;
    intptr_t datum;
} Link;

/* Makes an empty list and stores its two anchors in *start and *stop. */
VEXAL_LIST_API void LinkedListInit(Link **start, Link **stop);

/* Removes every data link, then frees both anchors (the variables keep their
 * values). Null anchors are ignored. */
VEXAL_LIST_API void LinkedListFinish(Link **start, Link **stop);

/* Inserts a new link holding datum before `at` (position 0) or after it
 * (position 1); at an anchor the insertion stays inside the list. `at` must
 * not be null. Returns the new link, or null when it cannot be allocated. */
VEXAL_LIST_API Link *LinkedListAdd(Link *at, int position, intptr_t datum);

/* Inserts right after the start anchor / right before the stop anchor of the
 * list of `any`. Return the new link; null for a null `any`. */
VEXAL_LIST_API Link *LinkedListAddFirst(Link *any, intptr_t datum);
VEXAL_LIST_API Link *LinkedListAddLast(Link *any, intptr_t datum);

/* Unlinks and frees a data link; nothing for null or an anchor. */
VEXAL_LIST_API void LinkedListRemove(Link *link);

/* Remove the first / last data link; return the data link that followed /
 * preceded it, or null. */
VEXAL_LIST_API Link *LinkedListRemoveFirst(Link *any);
VEXAL_LIST_API Link *LinkedListRemoveLast(Link *any);

/* Removes every data link, first to last. */
VEXAL_LIST_API void LinkedListRemoveAll(Link *any);

/* First / last data link of the list of `any`, or null. */
VEXAL_LIST_API Link *LinkedListGetFirst(Link *any);
VEXAL_LIST_API Link *LinkedListGetLast(Link *any);

/* The neighbouring data link, or null at an anchor or for null. */
VEXAL_LIST_API Link *LinkedListGetPrev(Link *link);
VEXAL_LIST_API Link *LinkedListGetNext(Link *link);

/* Number of data links in the list of `link`; 0 for null. */
VEXAL_LIST_API int LinkedListLength(Link *link);

#ifdef __cplusplus
}
#endif

#endif /* VEXAL_LINKEDLIST_H */
