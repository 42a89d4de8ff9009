#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// A ZIP package made in memory, entry after entry in the order added, every
// entry dated alike so the same entries give the same bytes: what
// OpenDocument files are (their "mimetype" first and stored, the rest
// compressed).
class ZipPackage {
public:
    void Add(const QString& name, QByteArray bytes, bool stored = false);

    // The package's bytes, or an empty array with why not in *failure.
    QByteArray Bytes(QString* failure) const;

private:
    struct Entry {
        QString name;
        QByteArray bytes;
        bool stored;
    };
    std::vector<Entry> entries_;
};
