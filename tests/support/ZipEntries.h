#pragma once

#include <QByteArray>
#include <QString>

#include <zip.h>

#include <vector>

// The entries of a ZIP package in memory, in the package's order.
struct ZipEntry {
    QString name;
    bool stored = false;
    QByteArray bytes;
};

inline std::vector<ZipEntry> ZipEntries(const QByteArray& package) {
    std::vector<ZipEntry> entries;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(package.constData(), static_cast<zip_uint64_t>(package.size()), 0, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (!archive) {
        if (source)
            zip_source_free(source);
        zip_error_fini(&error);
        return entries;
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        ZipEntry entry{QString::fromUtf8(stat.name), stat.comp_method == ZIP_CM_STORE, {}};
        entry.bytes.resize(static_cast<qsizetype>(stat.size));
        if (zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0)) {
            zip_fread(file, entry.bytes.data(), stat.size);
            zip_fclose(file);
        }
        entries.push_back(std::move(entry));
    }
    zip_discard(archive);
    zip_error_fini(&error);
    return entries;
}

inline QByteArray ZipEntryBytes(const std::vector<ZipEntry>& entries, const char* name) {
    for (const ZipEntry& entry : entries)
        if (entry.name == QLatin1String(name))
            return entry.bytes;
    return {};
}
