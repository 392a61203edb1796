#include "common/memory.hpp"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace memory {

void advise_large_block([[maybe_unused]] void* block, [[maybe_unused]] std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  // The whole huge pages inside the block: from its first huge-page boundary on.
  const auto address = reinterpret_cast<std::uintptr_t>(block);
  const std::size_t skip = ((address + kHuge - 1) & ~(kHuge - 1)) - address;
  if (size <= skip) return;
  const std::size_t length = (size - skip) & ~(kHuge - 1);
  if (length > 0) madvise(static_cast<char*>(block) + skip, length, MADV_HUGEPAGE);
#endif
}

}  // namespace memory
