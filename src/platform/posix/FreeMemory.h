#pragma once

// Hands the allocator's free pages back to the system. The program spends
// most of its life idle in the tray; after a burst of work (start-up, an
// opening of the overlay) the C library keeps the freed memory resident.
void returnFreeMemory();
