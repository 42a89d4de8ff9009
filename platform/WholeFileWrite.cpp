#include "WholeFileWrite.h"

#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool ReplacingWouldDetach(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return st.st_nlink > 1 || st.st_uid != ::geteuid();
}

FileWriteResult WriteInPlace(const QString& path, QByteArrayView bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return FileWriteResult::NotCreated;
    const bool written = file.write(bytes.data(), bytes.size()) == bytes.size() && file.flush();
    file.close();
    return written && file.error() == QFileDevice::NoError ? FileWriteResult::Written : FileWriteResult::NotWritten;
}

}  // namespace

FileWriteResult WriteWholeFile(const QString& path, QByteArrayView bytes) {
    if (ReplacingWouldDetach(path))
        return WriteInPlace(path, bytes);

    QSaveFile file(path);
    // Falls back to writing the existing file in place when the folder
    // refuses the temporary file.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return FileWriteResult::NotCreated;
    // Flushed before the commit: a commit whose own flush fails (a full disk
    // taking the last buffered bytes) still renames the temporary file over
    // the target in Qt 6.4 and reports success, and the old file is gone.
    if (file.write(bytes.data(), bytes.size()) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return FileWriteResult::NotWritten;
    }
    return file.commit() ? FileWriteResult::Written : FileWriteResult::NotWritten;
}
