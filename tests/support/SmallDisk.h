#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/mount.h>

// A file system that fills up at once, for the tests of full disks: a tmpfs of
// 8 KiB (two pages) on a folder of its own, unmounted when it goes. Mounting
// needs root; where it fails, Mounted() says so and the test skips.
class SmallDisk {
public:
    SmallDisk() {
        path_ = folder_.filePath(QStringLiteral("disk"));
        QDir().mkpath(path_);
        mounted_ = ::mount("tmpfs", QFile::encodeName(path_).constData(), "tmpfs", 0, "size=8k") == 0;
    }
    ~SmallDisk() {
        if (mounted_)
            ::umount2(QFile::encodeName(path_).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    QString File(const char* name) const { return path_ + QLatin1Char('/') + QLatin1String(name); }
    QStringList Files() const { return QDir(path_).entryList(QDir::Files | QDir::Hidden); }

private:
    QTemporaryDir folder_;
    QString path_;
    bool mounted_ = false;
};

