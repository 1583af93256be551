#include "workfolder/memory_tuning.h"

#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace strobo::workfolder {

void keepFreedMemoryForReuse() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest value the library accepts
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

}  // namespace strobo::workfolder
