// Preloaded (LD_PRELOAD) beside the frame probe: counts the heap allocations
// of the whole process and the bytes asked for, by wrapping the C library's
// allocation functions. operator new reaches malloc, so C++ allocations are
// counted too. The frame probe reads the counts at its marked frames.
#define _GNU_SOURCE
#include <errno.h>
#include <stdatomic.h>
#include <stddef.h>

#include "alloc_counts.h"

// The C library's own allocator, under the names it exports for wrappers.
extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t count, size_t size);
extern void* __libc_realloc(void* old, size_t size);
extern void* __libc_memalign(size_t alignment, size_t size);

static _Atomic long long allocations;
static _Atomic long long bytes;

static void* counted(void* block, size_t size) {
    if (block) {
        atomic_fetch_add_explicit(&allocations, 1, memory_order_relaxed);
        atomic_fetch_add_explicit(&bytes, (long long)size, memory_order_relaxed);
    }
    return block;
}

void bench_alloc_counts(struct AllocCounts* counts) {
    counts->allocations = atomic_load(&allocations);
    counts->bytes = atomic_load(&bytes);
}

void* malloc(size_t size) {
    return counted(__libc_malloc(size), size);
}

void* calloc(size_t count, size_t size) {
    return counted(__libc_calloc(count, size), count * size);
}

void* realloc(void* old, size_t size) {
    return counted(__libc_realloc(old, size), size);
}

void* memalign(size_t alignment, size_t size) {
    return counted(__libc_memalign(alignment, size), size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    return counted(__libc_memalign(alignment, size), size);
}

int posix_memalign(void** result, size_t alignment, size_t size) {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    void* block = counted(__libc_memalign(alignment, size), size);
    if (!block)
        return ENOMEM;
    *result = block;
    return 0;
}
