#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>

class QIODevice;
struct TArchive;

// Archive files (".Vel") are the byte image of the archive's records: 24 bytes
// each, first record first, no header and no trailer, every byte as held
// (Reserved and the two carried values included). The number of records is the
// file length divided by 24.

// Appends whole records read from file to archive.Records at index Count,
// raising Count, until the file ends or the archive is full. Trailing bytes
// that make no whole record, and records beyond the capacity, are ignored.
// afterRecord(count) runs after each record with the new Count.
void ReadArchiveRecords(QIODevice& file, TArchive& archive, const std::function<void(int count)>& afterRecord);

// The bytes of the archive's file: 24 × Count, the Count kept to the capacity.
QByteArrayView ArchiveFileImage(const TArchive& archive);

// The name Save writes to: the chosen name with ".Vel" appended, unless the
// extension of its last component already begins with ".vel" in any case.
// report -> report.Vel, report.VEL stays, report.txt -> report.txt.Vel.
QString WithVelExtension(const QString& fileName);
