/* SPDX-License-Identifier: MIT */
/* A binary-trees workload, as allocation benchmarks run it: a long-lived
 * tree, and many short-lived trees built and freed depth by depth. Plain C
 * with malloc and free, built without the track header: the program that
 * vexal-run is measured on.
 *
 *   binary_trees [MAX_DEPTH]    (default 16)
 */
#include <stdio.h>
#include <stdlib.h>

struct node {
    struct node *left;
    struct node *right;
};

static struct node *make(int depth)
{
    struct node *n = malloc(sizeof *n);
    if (n == NULL) {
        perror("malloc");
        exit(1);
    }
    n->left = depth > 0 ? make(depth - 1) : NULL;
    n->right = depth > 0 ? make(depth - 1) : NULL;
    return n;
}

static long check(const struct node *n)
{
    return 1 + (n->left != NULL ? check(n->left) + check(n->right) : 0);
}

static void drop(struct node *n)
{
    if (n->left != NULL) {
        drop(n->left);
        drop(n->right);
    }
    free(n);
}

int main(int argc, char **argv)
{
    const int maxDepth = argc > 1 ? atoi(argv[1]) : 16;
    const int minDepth = 4;

    struct node *stretch = make(maxDepth + 1);
    printf("stretch tree of depth %d\t check: %ld\n", maxDepth + 1, check(stretch));
    drop(stretch);

    struct node *longLived = make(maxDepth);
    for (int depth = minDepth; depth <= maxDepth; depth += 2) {
        const long iterations = 1L << (maxDepth - depth + minDepth);
        long sum = 0;
        for (long i = 0; i < iterations; ++i) {
            struct node *t = make(depth);
            sum += check(t);
            drop(t);
        }
        printf("%ld\t trees of depth %d\t check: %ld\n", iterations, depth, sum);
    }
    printf("long lived tree of depth %d\t check: %ld\n", maxDepth, check(longLived));
    drop(longLived);
    return 0;
}
