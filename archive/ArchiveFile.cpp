#include "archive/ArchiveFile.h"

#include "archive/Archive.h"

#include <QIODevice>

#include <cstring>

void ReadArchiveRecords(QIODevice& file, TArchive& archive, const std::function<void(int count)>& afterRecord) {
    char record[sizeof(TMeasurement)];
    while (archive.Count >= 0 && archive.Count < ArchiveCapacity) {
        if (file.read(record, sizeof record) != static_cast<qint64>(sizeof record))
            break;
        std::memcpy(&archive.Records[archive.Count], record, sizeof record);
        ++archive.Count;
        if (afterRecord)
            afterRecord(archive.Count);
    }
}

QByteArrayView ArchiveFileImage(const TArchive& archive) {
    const int count = ValidCount(archive);
    return {reinterpret_cast<const char*>(archive.Records), static_cast<qsizetype>(count * sizeof(TMeasurement))};
}

QString WithVelExtension(const QString& fileName) {
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const bool hasVel = dot > slash && fileName.mid(dot, 4).compare(QLatin1String(".vel"), Qt::CaseInsensitive) == 0;
    return hasVel ? fileName : fileName + QLatin1String(".Vel");
}
