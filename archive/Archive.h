#pragma once

#include "archive/TMeasurement.h"

#include <cstdint>

inline constexpr int ArchiveCapacity = 2677;

// The measurements last read from the meter or from an archive file.
// Invariant: the first Count entries of Records are valid, 0 <= Count <=
// ArchiveCapacity. The file reader and the two meter read-outs write Records
// and Count; ShowArchive reads them (and alone uses DisplayOrder).
struct TArchive {
    TMeasurement Records[ArchiveCapacity];
    std::int32_t Count;
    std::int32_t DisplayOrder[ArchiveCapacity];  // table position -> record index
};

// The program's one archive, alive for the whole run; all bytes 0 at start.
extern TArchive Archive;

// Count kept to 0..ArchiveCapacity: the number of records that may be read,
// whatever a writer left in Count.
int ValidCount(const TArchive& archive);
