/* SPDX-License-Identifier: MIT */
/* vexal_example: a small multi-threaded job runner that leaks on purpose, to
 * show what Vexal reports. example.h lists the leaks. Tracked through
 * VexalTrack.h, which the build adds to every file with -include.
 *
 *   vexal_example [--log] [--output FILE] [--port N] [--seconds S]
 */
#include "example.h"

#include <Vexal.h>

#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Long lines carry a comment, so that the parser has to grow its buffer. */
static const char jobScript[] =
    "fill-one fill 100\n"
    "fill-two fill 200\n"
    "digest-a digest 48\n"
    "copy-out copy 300   # the result is handed on\n"
    "digest-b digest 48\n"
    "grow-buf grow 64    # doubles its buffer\n";

struct options {
    int log;
    const char *output;
    int port;
    double seconds;
};

/* This program leaks on purpose: keep LeakSanitizer (asan builds) from
 * failing it at exit. The runtime looks the hook up dynamically, so it must
 * stay visible although the project hides symbols by default. */
#if defined(__GNUC__)
__attribute__((visibility("default")))
#endif
int __lsan_is_turned_off(void);
int __lsan_is_turned_off(void) { return 1; }

static void usage(FILE *out, const char *argv0)
{
    fprintf(out,
            "Usage: %s [--log] [--output FILE] [--port N] [--seconds S]\n"
            "Runs a few jobs on %d threads, leaking on purpose, and prints Vexal's\n"
            "status and list reports.\n"
            "  --log          log every tracked call\n"
            "  --output FILE  write log and reports to FILE instead of standard output\n"
            "  --port N       serve a monitor on port N (0: default port; -1, the\n"
            "                 default: none)\n"
            "  --seconds S    keep working, and leaking a little, for S seconds\n"
            "                 (default 0: run the jobs once)\n"
            "  --help         show this text\n",
            argv0, EXAMPLE_WORKERS);
}

static int parse_int(const char *text, long min, long max, int *value)
{
    char *end;
    errno = 0;
    long parsed = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < min || parsed > max)
        return -1;
    *value = (int)parsed;
    return 0;
}

static int parse_seconds(const char *text, double *value)
{
    char *end;
    errno = 0;
    double parsed = strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !isfinite(parsed) || parsed < 0 || parsed > 1e6)
        return -1;
    *value = parsed;
    return 0;
}

/* Returns 0 to run, 1 after --help, 2 on a bad command line. */
static int parse_options(int argc, char **argv, struct options *opt)
{
    opt->log = 0;
    opt->output = NULL;
    opt->port = -1;
    opt->seconds = 0;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : NULL;
        if (strcmp(arg, "--help") == 0) {
            usage(stdout, argv[0]);
            return 1;
        } else if (strcmp(arg, "--log") == 0) {
            opt->log = 1;
            continue;
        } else if (value == NULL) {
            /* every other option takes a value */
        } else if (strcmp(arg, "--output") == 0) {
            opt->output = value;
            ++i;
            continue;
        } else if (strcmp(arg, "--port") == 0) {
            if (parse_int(value, -1, 65535, &opt->port) == 0) {
                ++i;
                continue;
            }
        } else if (strcmp(arg, "--seconds") == 0) {
            if (parse_seconds(value, &opt->seconds) == 0) {
                ++i;
                continue;
            }
        }
        fprintf(stderr, "%s: bad or incomplete option '%s'\n", argv[0], arg);
        usage(stderr, argv[0]);
        return 2;
    }
    return 0;
}

int main(int argc, char **argv)
{
    struct options opt;
    int parsed = parse_options(argc, argv, &opt);
    if (parsed != 0)
        return parsed == 1 ? 0 : 2;

    VexalInit(1, opt.log, opt.output, opt.port);

    /* Leak on purpose: the name is used for messages and never freed. */
    char *program = strdup("vexal-example"); /* tracked strdup: 1 call, leaks 1 x 14 B */
    if (program == NULL)
        program = argv[0];

    int status = 0;
    struct job_list jobs;
    if (parse_jobs(jobScript, &jobs) != 0) {
        fprintf(stderr, "%s: the job script does not parse\n", program);
        status = 1;
    } else {
        cache_init();
        uint32_t *results = calloc(EXAMPLE_WORKERS, sizeof(uint32_t)); /* tracked calloc: 1 call */
        if (results == NULL || run_workers(&jobs, opt.seconds, results) != 0) {
            fprintf(stderr, "%s: could not run the workers\n", program);
            status = 1;
        }
        free(results);
        cache_shutdown();
        free_jobs(&jobs);
    }

    VexalShowStatus(__FILE__, __LINE__);
    VexalShowList(__FILE__, __LINE__);
    VexalFinish();
    return status;
}
