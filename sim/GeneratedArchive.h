#pragma once

#include "protocol/DeviceRecord.h"
#include "sim/MeterModel.h"

#include <vector>

// Made-up measurements for simulated meters that are given no archive file:
// the same records for the same count, every time.
//
// Record i (from 1) has the number i, for up to 65 535 records. The records
// are a working season: a dozen measurements a day, 40 minutes apart from
// 8 o'clock, the days one after another from 3 April 2023. Densities lie between 2000 and 2500 kg/m³, materials
// cycle over the first few asphalt indices (1 to 4), temperatures lie between
// 20 and 160 °C. No record carries the deleted mark; the reserved byte and
// the carried values are zero.
std::vector<DeviceRecord> GenerateRecords(int count);

// The same records as a meter's archive, chained in order (ChainArchive).
std::vector<ArchiveEntry> GenerateArchive(int count);
