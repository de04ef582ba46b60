// Functions of the POSIX platform layer that only the tests call.
#pragma once

// Lowers the bounds of a search's batches (out-of-range values restore them).
void setSearchBatchLimits(int entries, int nameBytes);
