// Preloaded into a Linux process (a Wine program's Unix side included): keeps
// every live malloc block with the address it was allocated from, and every
// TESRA_ALLOC_TRACE_SECONDS (10) writes the live blocks by caller, with the
// process's maps, to TESRA_ALLOC_TRACE_DIR/PID.N. What grows between two
// dumps of a steady loop is a leak, named by its caller. The immediate caller
// only: unwinding through Wine's Windows frames on every allocation is slow
// and can hang.
#define _GNU_SOURCE
#include <pthread.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

extern void* __libc_malloc(size_t);
extern void __libc_free(void*);
extern void* __libc_calloc(size_t, size_t);
extern void* __libc_realloc(void*, size_t);
extern void* __libc_memalign(size_t, size_t);

enum { kCallers = 1 << 18, kBlocks = 1 << 22 };
typedef struct {
    void* at;
    long count, bytes;
} Caller;
typedef struct {
    void* p;
    uint32_t caller, size;
} Block;

static Caller* callers;
static Block* blocks;
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static int ready;
static __thread int dumping;  // the dumper's own blocks are not counted: it holds the lock
static void* const kGone = (void*)1;
static char folder[256] = "/tmp";
static int seconds = 10;

static uint32_t Slot(const void* p, uint32_t mask) {
    return (uint32_t)((((uintptr_t)p >> 4) * 11400714819323198485ull) >> 40) & mask;
}

static void Add(void* p, size_t size, void* at) {
    if (!p || !ready || dumping) return;
    pthread_mutex_lock(&lock);
    uint32_t c = Slot(at, kCallers - 1);
    while (callers[c].at && callers[c].at != at) c = (c + 1) & (kCallers - 1);
    callers[c].at = at;
    callers[c].count++;
    callers[c].bytes += (long)size;
    uint32_t b = Slot(p, kBlocks - 1);
    while (blocks[b].p && blocks[b].p != kGone) b = (b + 1) & (kBlocks - 1);
    blocks[b] = (Block){p, c, (uint32_t)size};
    pthread_mutex_unlock(&lock);
}

static void Drop(void* p) {
    if (!p || !ready || dumping) return;
    pthread_mutex_lock(&lock);
    uint32_t b = Slot(p, kBlocks - 1);
    for (int n = 0; blocks[b].p && n < kBlocks; ++n, b = (b + 1) & (kBlocks - 1)) {
        if (blocks[b].p != p) continue;
        callers[blocks[b].caller].count--;
        callers[blocks[b].caller].bytes -= blocks[b].size;
        blocks[b].p = kGone;
        break;
    }
    pthread_mutex_unlock(&lock);
}

void* malloc(size_t n) {
    void* p = __libc_malloc(n);
    Add(p, n, __builtin_return_address(0));
    return p;
}
void free(void* p) {
    Drop(p);
    __libc_free(p);
}
void* calloc(size_t a, size_t b) {
    void* p = __libc_calloc(a, b);
    Add(p, a * b, __builtin_return_address(0));
    return p;
}
void* realloc(void* q, size_t n) {
    Drop(q);
    void* p = __libc_realloc(q, n);
    if (p) Add(p, n, __builtin_return_address(0));
    else if (q && n) Add(q, 0, __builtin_return_address(0));  // still the caller's
    return p;
}
void* memalign(size_t a, size_t n) {
    void* p = __libc_memalign(a, n);
    Add(p, n, __builtin_return_address(0));
    return p;
}
void* aligned_alloc(size_t a, size_t n) {
    void* p = __libc_memalign(a, n);
    Add(p, n, __builtin_return_address(0));
    return p;
}
int posix_memalign(void** out, size_t a, size_t n) {
    void* p = __libc_memalign(a, n);
    if (!p) return 12;  // ENOMEM
    Add(p, n, __builtin_return_address(0));
    *out = p;
    return 0;
}

static void Dump(int k) {
    char name[400];
    snprintf(name, sizeof name, "%s/%d.%d", folder, (int)getpid(), k);
    FILE* out = fopen(name, "w");
    if (!out) return;
    pthread_mutex_lock(&lock);
    for (uint32_t i = 0; i < kCallers; ++i)
        if (callers[i].at && callers[i].count) fprintf(out, "S %ld %ld %p\n", callers[i].count, callers[i].bytes, callers[i].at);
    pthread_mutex_unlock(&lock);
    FILE* maps = fopen("/proc/self/maps", "r");
    char line[512];
    while (maps && fgets(line, sizeof line, maps)) fprintf(out, "M %s", line);
    if (maps) fclose(maps);
    fclose(out);
}

static void* Dumper(void* unused) {
    (void)unused;
    dumping = 1;
    for (int k = 0;; ++k) {
        sleep((unsigned)seconds);
        Dump(k);
    }
    return NULL;
}

__attribute__((constructor)) static void Start(void) {
    const char* dir = getenv("TESRA_ALLOC_TRACE_DIR");
    const char* every = getenv("TESRA_ALLOC_TRACE_SECONDS");
    if (dir) snprintf(folder, sizeof folder, "%s", dir);
    if (every && atoi(every) > 0) seconds = atoi(every);
    callers = __libc_calloc(kCallers, sizeof(Caller));
    blocks = __libc_calloc(kBlocks, sizeof(Block));
    if (!callers || !blocks) return;
    ready = 1;
    // Wine signals its own threads; this one takes none.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    pthread_t t;
    if (pthread_create(&t, NULL, Dumper, NULL) == 0) pthread_detach(t);
    pthread_sigmask(SIG_SETMASK, &old, NULL);
}
