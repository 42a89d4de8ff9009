#include "archive/Archive.h"

TArchive Archive{};
