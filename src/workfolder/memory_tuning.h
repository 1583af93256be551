#pragma once

namespace strobo::workfolder {

// The stages allocate and free the same picture-sized blocks (a megabyte or so) at every step.
// By default the C library hands such blocks back to the system at once and takes fresh pages
// the next time, which costs more than the work on the pixels. Asks it to keep them for reuse.
// Memory stays bounded by the largest working set of one step. Call once at program start.
void keepFreedMemoryForReuse();

}  // namespace strobo::workfolder
