#include "archive/Archive.h"

#include <algorithm>

TArchive Archive{};

int ValidCount(const TArchive& archive) {
    return std::clamp<int>(archive.Count, 0, ArchiveCapacity);
}
