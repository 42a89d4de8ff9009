#include "report/ZipPackage.h"

#include <zip.h>

#include <memory>

namespace {

// 2000-01-01 00:00 local time, as ZIP dates have no zone.
constexpr time_t EntryTime = 946684800;

struct SourceFree {
    void operator()(zip_source_t* source) const { zip_source_free(source); }
};
struct ArchiveDiscard {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ErrorFini {
    void operator()(zip_error_t* error) const { zip_error_fini(error); }
};

}  // namespace

void ZipPackage::Add(const QString& name, QByteArray bytes, bool stored) {
    entries_.push_back({name, std::move(bytes), stored});
}

QByteArray ZipPackage::Bytes(QString* failure) const {
    zip_error_t error;
    zip_error_init(&error);
    const std::unique_ptr<zip_error_t, ErrorFini> errorOwner(&error);
    const auto fail = [&](const char* what) {
        *failure = QString::fromUtf8(what);
        return QByteArray();
    };

    // The package is written into a buffer source, kept past the close to be
    // read back.
    std::unique_ptr<zip_source_t, SourceFree> buffer(zip_source_buffer_create(nullptr, 0, 0, &error));
    if (!buffer)
        return fail(zip_error_strerror(&error));
    std::unique_ptr<zip_t, ArchiveDiscard> archive(zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &error));
    if (!archive)
        return fail(zip_error_strerror(&error));
    zip_source_keep(buffer.get());  // the archive holds one reference now, we the other

    for (const Entry& entry : entries_) {
        // The entries' bytes live in entries_ until the close below.
        zip_source_t* source = zip_source_buffer(archive.get(), entry.bytes.constData(),
                                                 static_cast<zip_uint64_t>(entry.bytes.size()), 0);
        if (!source)
            return fail(zip_strerror(archive.get()));
        const zip_int64_t index = zip_file_add(archive.get(), entry.name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            return fail(zip_strerror(archive.get()));
        }
        const auto at = static_cast<zip_uint64_t>(index);
        if (zip_set_file_compression(archive.get(), at, entry.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0) != 0 ||
            zip_file_set_mtime(archive.get(), at, EntryTime, 0) != 0)
            return fail(zip_strerror(archive.get()));
    }
    if (zip_close(archive.get()) != 0)
        return fail(zip_strerror(archive.get()));
    archive.release();  // closed: the handle is gone

    zip_stat_t stat;
    if (zip_source_stat(buffer.get(), &stat) != 0 || zip_source_open(buffer.get()) != 0)
        return fail(zip_error_strerror(zip_source_error(buffer.get())));
    QByteArray bytes(static_cast<qsizetype>(stat.size), Qt::Uninitialized);
    const zip_int64_t read = zip_source_read(buffer.get(), bytes.data(), stat.size);
    zip_source_close(buffer.get());
    if (read != static_cast<zip_int64_t>(stat.size))
        return fail("the package cannot be read back");
    return bytes;
}
