// A picture block kept in a std::vector: the allocator the portable decoders fill in the
// native tests and fuzzers, where there is no global memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "picture.h"

struct VectorBlock {
    std::vector<uint8_t> bytes;
    static uint8_t* allocate(void* context, size_t size)
    {
        auto* self = static_cast<VectorBlock*>(context);
        self->bytes.assign(size, 0);
        return self->bytes.data();
    }
    BlockAllocator allocator() { return BlockAllocator{this, allocate}; }
};
