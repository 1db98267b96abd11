/* SPDX-License-Identifier: MIT */
/*
 * TransferRecord: everything that crosses the connection between the
 * tracking library and its monitor, and the message numbers. Each side keeps
 * one: the library builds outgoing messages in it, the monitor stores what it
 * received. Which fields each message carries, and in what order, is
 * Protocol.h's business.
 *
 * Compiles as C11 and as C++.
 */
#ifndef VEXAL_TRANSFERRECORD_H
#define VEXAL_TRANSFERRECORD_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Message numbers; field 0 of every message. */
enum MonitorMessage {
    MSG_DISCONNECT = 0,   /* both ways: the monitor asks, the library echoes */
    MSG_SUMMARY = 1,      /* request; reply carries the 27 status values */
    MSG_LIST_START = 2,   /* request; reply carries the number of records */
    MSG_LIST_NEXT = 3,    /* request; reply carries one record */
    MSG_LIST_END = 4,     /* request; reply carries the 27 status values */
    MSG_PAUSE = 5,        /* request and acknowledgement */
    MSG_RELEASE = 6,      /* request and acknowledgement */
    MSG_SHOW_STATUS = 7,  /* library notice: the application called VexalShowStatus */
    MSG_SHOW_LIST = 8,    /* library notice: the application called VexalShowList */
    /* Leak sites: the live blocks grouped by call site. A library that does
     * not know 9 answers nothing, as to any unknown command. */
    MSG_SITES = 9,        /* request with an index bound; reply: one call site */
    MSG_SITES_END = 10    /* library, after the last site: the totals */
};

#define TRANSFER_STATUS_ROWS 12   /* counters sent per memory function: kinds 0 to 11 */
#define TRANSFER_FILENAME_SIZE 512
#define TRANSFER_STATUS_VALUES 27 /* 12 calls, 12 still allocated, 3 totals */

typedef struct TransferRecord {
    int command;
    int64_t calls[TRANSFER_STATUS_ROWS];
    int64_t stillAllocated[TRANSFER_STATUS_ROWS];
    int64_t freeFailed;
    int64_t addressNotStored;
    int64_t internalUse;
    int recordType;
    int listLength;
    int64_t recordSize;  /* bytes of the block, whole: blocks may exceed 4 GiB */
    int line;
    /* The block address, carried whole: a pointer's value as a signed
     * 64-bit number (a 32-bit host's addresses at or above 2^31 are negative). */
    int64_t address;
    char fileName[TRANSFER_FILENAME_SIZE];
    int threadId;
    int64_t recordIndex;
    /* Leak sites. A site is file, line and memory function (fileName, line,
     * recordType); the end message repeats the counts over every site. */
    int64_t sinceIndex;   /* request 9: only blocks with an index of this or more */
    int64_t siteBlocks;   /* 9: the site's live blocks; 10: over all sites */
    int64_t siteBytes;    /* 9: the site's live bytes; 10: over all sites */
    int64_t firstIndex;   /* 9: lowest index among the site's blocks */
    int64_t lastIndex;    /* 9: highest index among them */
    int64_t siteCount;    /* 10: sites sent */
    int64_t nextIndex;    /* 10: the index the library gives its next block */
} TransferRecord;

#ifdef __cplusplus
}
#endif

#endif /* VEXAL_TRANSFERRECORD_H */
