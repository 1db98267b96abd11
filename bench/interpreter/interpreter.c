/* SPDX-License-Identifier: MIT */
/*
 * An allocation-heavy program shaped like a small dynamic-language
 * interpreter: short strings interned in a string table, tables with an array
 * part grown by realloc and a hash part, closures with their upvalues, and a
 * mark-and-sweep collector that frees, in batches, whatever the program no
 * longer reaches. About a quarter of a million blocks (a global table of
 * records) stay live throughout while one of four workloads churns
 * short-lived ones:
 *
 *   strings   formatting, interning, concatenating and joining strings
 *   tables    filling, reading and dropping tables of many sizes
 *   closures  making and calling small closures over small tables
 *   trees     binary trees of two-slot tables, one of them long-lived
 *
 * Every block goes through realloc and free, as an interpreter's allocator
 * hook makes them. Built twice from this one file: plain, and tracked with
 * -include VexalTrack.h. Usage: interpreter WORKLOAD. Prints a checksum,
 * which both builds must agree on.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(VEXAL_TRACK_H) && !defined(VEXAL_NO_TRACK)
#define TRACKED 1
#else
#define TRACKED 0
#endif

typedef enum { NIL, INT, STR, TAB, FUN } Tag;

typedef struct Obj {
    struct Obj *next; /* every collectable object but short strings */
    unsigned char tag;
    unsigned char marked;
} Obj;

typedef struct Value {
    Tag tag;
    union {
        long i;
        Obj *o;
    } as;
} Value;

typedef struct Str {
    Obj obj;
    struct Str *chain; /* next in the string table's bucket */
    unsigned hash;
    size_t len;
    char text[];
} Str;

typedef struct Entry {
    Value key, val;
} Entry;

typedef struct Tab {
    Obj obj;
    Value *array;
    size_t asize, acount;
    Entry *hash; /* open addressing; hsize a power of two */
    size_t hsize, hcount;
} Tab;

typedef struct Fun {
    Obj obj;
    long (*code)(struct Fun *, long);
    size_t nup;
    Value up[];
} Fun;

enum { kShortString = 40, kStackSize = 4096 };

/* Every block comes and goes through one function, as with an interpreter's
 * allocator hook (Lua's, for one): realloc makes, grows and shrinks blocks,
 * free ends them. */
static void *reallocate(void *block, size_t size)
{
    if (size == 0) {
        free(block);
        return NULL;
    }
    return realloc(block, size);
}
static void *allocate(size_t size) { return reallocate(NULL, size); }
static void release(void *block) { reallocate(block, 0); }
static void *allocateZeroed(size_t count, size_t size)
{
    void *block = allocate(count * size);
    memset(block, 0, count * size);
    return block;
}

static Obj *allObjects;
static Str **strings; /* short strings, interned */
static size_t stringBuckets, stringCount;
static size_t allocated, threshold = 1 << 20;
static Value stack[kStackSize];
static int top;
static Tab *globals;

static Value nil(void) { Value v = {NIL, {0}}; return v; }
static Value integer(long i) { Value v = {INT, {i}}; return v; }
static Value object(Tag tag, void *o) { Value v = {tag, {0}}; v.as.o = (Obj *)o; return v; }
static void push(Value v) { stack[top++] = v; }
static Value pop(void) { return stack[--top]; }

static void *newObject(size_t size, Tag tag, int listed)
{
    Obj *o = allocate(size);
    o->tag = (unsigned char)tag;
    o->marked = 0;
    o->next = NULL;
    if (listed) {
        o->next = allObjects;
        allObjects = o;
    }
    allocated += size;
    return o;
}

/* --- strings --------------------------------------------------------------- */

static unsigned hashText(const char *s, size_t len)
{
    unsigned h = 2166136261u;
    for (size_t i = 0; i < len; ++i)
        h = (h ^ (unsigned char)s[i]) * 16777619u;
    return h;
}

static void resizeStrings(size_t buckets)
{
    Str **fresh = allocateZeroed(buckets, sizeof *fresh);
    for (size_t i = 0; i < stringBuckets; ++i) {
        for (Str *s = strings[i], *next; s != NULL; s = next) {
            next = s->chain;
            s->chain = fresh[s->hash & (buckets - 1)];
            fresh[s->hash & (buckets - 1)] = s;
        }
    }
    release(strings);
    strings = fresh;
    stringBuckets = buckets;
}

static Str *newString(const char *text, size_t len)
{
    const unsigned hash = hashText(text, len);
    if (len <= kShortString) {
        for (Str *s = strings[hash & (stringBuckets - 1)]; s != NULL; s = s->chain) {
            if (s->hash == hash && s->len == len && memcmp(s->text, text, len) == 0)
                return s;
        }
    }
    Str *s = newObject(sizeof(Str) + len + 1, STR, len > kShortString);
    s->hash = hash;
    s->len = len;
    memcpy(s->text, text, len);
    s->text[len] = '\0';
    s->chain = NULL;
    if (len <= kShortString) {
        if (stringCount >= stringBuckets)
            resizeStrings(stringBuckets * 2);
        s->chain = strings[hash & (stringBuckets - 1)];
        strings[hash & (stringBuckets - 1)] = s;
        ++stringCount;
    }
    return s;
}

static Str *cstring(const char *text) { return newString(text, strlen(text)); }

static Str *concat(const Str *a, const Str *b)
{
    char small[2 * kShortString + 2];
    const size_t len = a->len + b->len;
    char *buf = len < sizeof small ? small : allocate(len + 1);
    memcpy(buf, a->text, a->len);
    memcpy(buf + a->len, b->text, b->len);
    Str *s = newString(buf, len);
    if (buf != small)
        release(buf);
    return s;
}

/* --- tables ---------------------------------------------------------------- */

static Tab *newTable(size_t asize)
{
    Tab *t = newObject(sizeof(Tab), TAB, 1);
    t->array = asize > 0 ? allocate(asize * sizeof(Value)) : NULL;
    t->asize = asize;
    t->acount = 0;
    t->hash = NULL;
    t->hsize = t->hcount = 0;
    allocated += asize * sizeof(Value);
    return t;
}

static size_t keyHash(Value key) { return key.tag == STR ? ((Str *)key.as.o)->hash : (size_t)key.as.i * 2654435761u; }
static int sameKey(Value a, Value b) { return a.tag == b.tag && (a.tag == STR ? a.as.o == b.as.o : a.as.i == b.as.i); }

static Entry *slotOf(Entry *hash, size_t hsize, Value key)
{
    size_t i = keyHash(key) & (hsize - 1);
    while (hash[i].key.tag != NIL && !sameKey(hash[i].key, key))
        i = (i + 1) & (hsize - 1);
    return &hash[i];
}

static void setField(Tab *t, Value key, Value val)
{
    if ((t->hcount + 1) * 4 > t->hsize * 3) {
        const size_t hsize = t->hsize == 0 ? 4 : t->hsize * 2;
        Entry *fresh = allocateZeroed(hsize, sizeof(Entry));
        for (size_t i = 0; i < t->hsize; ++i) {
            if (t->hash[i].key.tag != NIL)
                *slotOf(fresh, hsize, t->hash[i].key) = t->hash[i];
        }
        release(t->hash);
        allocated += (hsize - t->hsize) * sizeof(Entry);
        t->hash = fresh;
        t->hsize = hsize;
    }
    Entry *e = slotOf(t->hash, t->hsize, key);
    if (e->key.tag == NIL)
        ++t->hcount;
    e->key = key;
    e->val = val;
}

static Value getField(const Tab *t, Value key)
{
    if (t->hsize == 0)
        return nil();
    return slotOf(t->hash, t->hsize, key)->val;
}

static void append(Tab *t, Value v)
{
    if (t->acount == t->asize) {
        const size_t asize = t->asize == 0 ? 4 : t->asize * 2;
        t->array = reallocate(t->array, asize * sizeof(Value));
        allocated += (asize - t->asize) * sizeof(Value);
        t->asize = asize;
    }
    t->array[t->acount++] = v;
}

/* --- collector ------------------------------------------------------------- */

static void mark(Value v)
{
    if (v.tag < STR || v.as.o->marked)
        return;
    v.as.o->marked = 1;
    if (v.tag == TAB) {
        const Tab *t = (const Tab *)v.as.o;
        for (size_t i = 0; i < t->acount; ++i)
            mark(t->array[i]);
        for (size_t i = 0; i < t->hsize; ++i) {
            if (t->hash[i].key.tag != NIL) {
                mark(t->hash[i].key);
                mark(t->hash[i].val);
            }
        }
    } else if (v.tag == FUN) {
        const Fun *f = (const Fun *)v.as.o;
        for (size_t i = 0; i < f->nup; ++i)
            mark(f->up[i]);
    }
}

static void freeObject(Obj *o)
{
    if (o->tag == TAB) {
        release(((Tab *)o)->array);
        release(((Tab *)o)->hash);
    }
    release(o);
}

/* Called only where every value the program still needs is on the stack or
 * in the globals, as an interpreter's safe points are. */
static void collectIfDue(void)
{
    if (allocated < threshold)
        return;
    if (globals != NULL)
        mark(object(TAB, globals));
    for (int i = 0; i < top; ++i)
        mark(stack[i]);
    size_t survivors = 0;
    for (Obj **link = &allObjects; *link != NULL;) {
        Obj *o = *link;
        if (o->marked) {
            o->marked = 0;
            survivors += o->tag == TAB ? sizeof(Tab) + ((Tab *)o)->asize * sizeof(Value) +
                                             ((Tab *)o)->hsize * sizeof(Entry)
                                       : 64;
            link = &o->next;
        } else {
            *link = o->next;
            freeObject(o);
        }
    }
    for (size_t b = 0; b < stringBuckets; ++b) {
        for (Str **link = &strings[b]; *link != NULL;) {
            Str *s = *link;
            if (s->obj.marked) {
                s->obj.marked = 0;
                survivors += sizeof(Str) + s->len;
                link = &s->chain;
            } else {
                *link = s->chain;
                --stringCount;
                release(s);
            }
        }
    }
    allocated = survivors;
    threshold = 2 * survivors; /* collect again when the heap has doubled */
}

/* --- the program's long-lived data ----------------------------------------- */

enum { kRecords = 60000 };

static void loadGlobals(void)
{
    char buf[64];
    globals = newTable(0);
    for (int i = 0; i < kRecords; ++i) {
        Tab *record = newTable(2);
        append(record, integer(i));
        snprintf(buf, sizeof buf, "record number %d of the global table", i);
        append(record, object(STR, newString(buf, strlen(buf))));
        snprintf(buf, sizeof buf, "name%d", i);
        setField(globals, object(STR, cstring(buf)), object(TAB, record));
    }
}

/* --- workloads ------------------------------------------------------------- */

static const char *const kWords[] = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta"};

static long strings_(void)
{
    long sum = 0;
    char buf[32];
    Str *numbers[100];
    for (int k = 0; k < 100; ++k) {
        snprintf(buf, sizeof buf, "%d", k);
        numbers[k] = cstring(buf);
        push(object(STR, numbers[k]));
    }
    for (int i = 0; i < 60000; ++i) {
        collectIfDue();
        Tab *parts = newTable(0);
        push(object(TAB, parts));
        for (int k = 0; k < 16; ++k) {
            Str *piece = concat(cstring(kWords[k & 7]), numbers[(i * (k + 1)) % 100]);
            append(parts, object(STR, piece));
            if (k & 1) /* longer texts: not interned */
                append(parts, object(STR, concat(concat(piece, piece), (Str *)parts->array[0].as.o)));
        }
        /* Join with a buffer grown by realloc, as a string builder does. */
        size_t cap = 16, len = 0;
        char *joined = allocate(cap);
        for (size_t k = 0; k < parts->acount; ++k) {
            const Str *s = (const Str *)parts->array[k].as.o;
            while (len + s->len + 1 >= cap)
                joined = reallocate(joined, cap *= 2);
            memcpy(joined + len, s->text, s->len);
            len += s->len;
            joined[len++] = ',';
        }
        Str *whole = newString(joined, len);
        release(joined);
        char *copy = strdup(whole->text); /* a C-side copy, as library code keeps */
        sum += (long)whole->hash % 1000 + (long)strlen(copy);
        release(copy);
        snprintf(buf, sizeof buf, "name%d", i % kRecords);
        sum += getField(globals, object(STR, cstring(buf))).tag;
        pop();
    }
    top -= 100;
    return sum;
}

static long tables(void)
{
    long sum = 0;
    Str *keys[32];
    char buf[16];
    for (int k = 0; k < 32; ++k) {
        snprintf(buf, sizeof buf, "field%d", k);
        keys[k] = cstring(buf);
        push(object(STR, keys[k]));
    }
    for (int i = 0; i < 40000; ++i) {
        collectIfDue();
        Tab *t = newTable(0);
        push(object(TAB, t));
        const int n = 1 + (i * 7) % 120;
        for (int k = 0; k < n; ++k)
            append(t, integer(k * i));
        for (int k = 0; k < n / 4; ++k)
            setField(t, object(STR, keys[k & 31]), integer(k));
        for (int k = 0; k < n / 8; ++k) {
            Tab *inner = newTable(2); /* a small record inside */
            append(inner, integer(k));
            append(inner, integer(i));
            setField(t, integer(1000 + k), object(TAB, inner));
        }
        for (size_t k = 0; k < t->acount; ++k)
            sum += t->array[k].as.i & 0xff;
        for (int k = 0; k < n / 4; ++k)
            sum += getField(t, object(STR, keys[k & 31])).as.i;
        pop();
    }
    top -= 32;
    return sum;
}

static long adder(Fun *f, long x) { return x + f->up[0].as.i + (long)((Tab *)f->up[1].as.o)->acount; }

static long composed(Fun *f, long x)
{
    Fun *g = (Fun *)f->up[0].as.o, *h = (Fun *)f->up[1].as.o;
    return g->code(g, h->code(h, x));
}

static Fun *newFunction(long (*code)(Fun *, long), size_t nup)
{
    Fun *f = newObject(sizeof(Fun) + nup * sizeof(Value), FUN, 1);
    f->code = code;
    f->nup = nup;
    for (size_t i = 0; i < nup; ++i)
        f->up[i] = nil();
    return f;
}

static long closures(void)
{
    long sum = 0;
    for (int i = 0; i < 250000; ++i) {
        collectIfDue();
        Tab *env = newTable(2);
        push(object(TAB, env));
        append(env, integer(i));
        Fun *g = newFunction(adder, 2);
        g->up[0] = integer(i & 15);
        g->up[1] = object(TAB, env);
        push(object(FUN, g));
        Fun *h = newFunction(adder, 2);
        h->up[0] = integer(3);
        h->up[1] = object(TAB, env);
        push(object(FUN, h));
        Fun *f = newFunction(composed, 2);
        f->up[0] = object(FUN, g);
        f->up[1] = object(FUN, h);
        for (int k = 0; k < 4; ++k)
            sum += f->code(f, i + k) & 0xffff;
        top -= 3;
    }
    return sum;
}

static Tab *bottomUp(int depth)
{
    Tab *t = newTable(2);
    if (depth > 0) {
        push(object(TAB, t));
        append(t, object(TAB, bottomUp(depth - 1)));
        append(t, object(TAB, bottomUp(depth - 1)));
        pop();
    }
    return t;
}

static long itemCheck(const Tab *t)
{
    return t->acount == 0 ? 1 : 1 + itemCheck((Tab *)t->array[0].as.o) + itemCheck((Tab *)t->array[1].as.o);
}

static long trees(void)
{
    enum { kMinDepth = 4, kMaxDepth = 15 };
    long sum = itemCheck(bottomUp(kMaxDepth + 1)); /* the stretch tree, garbage at once */
    collectIfDue();
    Tab *longLived = bottomUp(kMaxDepth);
    push(object(TAB, longLived));
    for (int depth = kMinDepth; depth <= kMaxDepth; depth += 2) {
        for (int i = 0; i < 1 << (kMaxDepth - depth + kMinDepth); ++i) {
            collectIfDue();
            sum += itemCheck(bottomUp(depth));
        }
    }
    sum += itemCheck(longLived);
    pop();
    return sum;
}

int main(int argc, char **argv)
{
    static const struct {
        const char *name;
        long (*run)(void);
    } workloads[] = {{"strings", strings_}, {"tables", tables}, {"closures", closures}, {"trees", trees}};
    if (argc != 2) {
        fprintf(stderr, "usage: %s strings|tables|closures|trees\n", argv[0]);
        return 2;
    }
#if TRACKED
    VexalInit(1, 0, NULL, -1);
#endif
    stringBuckets = 1024;
    strings = allocateZeroed(stringBuckets, sizeof *strings);
    loadGlobals();
    long sum = -1;
    for (size_t i = 0; i < sizeof workloads / sizeof workloads[0]; ++i) {
        if (strcmp(argv[1], workloads[i].name) == 0)
            sum = workloads[i].run();
    }
    if (sum < 0) {
        fprintf(stderr, "unknown workload %s\n", argv[1]);
        return 2;
    }
    printf("%s %ld\n", argv[1], sum);
    /* Everything goes at the end, as an interpreter's closing does. */
    globals = NULL;
    top = 0;
    threshold = 0;
    collectIfDue();
    release(strings);
#if TRACKED
    VexalFinish();
#endif
    return 0;
}
