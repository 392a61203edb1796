// Hints to the system about memory. Only hints: nothing depends on them being followed.
#pragma once

#include <cstddef>

namespace memory {

// A large block that is about to be filled page by page: on Linux, huge pages cut the cost of
// first touching it several times over.
void advise_large_block(void* block, std::size_t size);

}  // namespace memory
