// What the allocation probe has counted since the process started.
#pragma once

struct AllocCounts {
    long long allocations; // successful malloc, calloc, realloc and aligned allocations
    long long bytes;       // bytes asked for by them
};
