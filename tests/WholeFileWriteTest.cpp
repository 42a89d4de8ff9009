#include "platform/WholeFileWrite.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

namespace {

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

struct stat Stat(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

TEST(WholeFileWrite, ReplacesTheWholeContent) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("a.Vel"));
    EXPECT_EQ(WriteWholeFile(path, "new file"), FileWriteResult::Written);
    EXPECT_EQ(Read(path), QByteArray("new file"));

    Write(path, "an older and much longer content");
    EXPECT_EQ(WriteWholeFile(path, "short"), FileWriteResult::Written);
    EXPECT_EQ(Read(path), QByteArray("short"));

    // Through a symbolic link the target is written and the link stays.
    const QString link = folder.filePath(QStringLiteral("link.Vel"));
    ASSERT_TRUE(QFile::link(path, link));
    EXPECT_EQ(WriteWholeFile(link, "via the link"), FileWriteResult::Written);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(Read(path), QByteArray("via the link"));
    EXPECT_EQ(FilesIn(folder.path()), (QStringList{QStringLiteral("a.Vel"), QStringLiteral("link.Vel")}));

    EXPECT_EQ(WriteWholeFile(folder.filePath(QStringLiteral("no/such/folder/a.Vel")), "x"),
              FileWriteResult::NotCreated);
}

// A file with further names keeps them: it is written in place, not replaced.
TEST(WholeFileWrite, HardLinkedFileKeepsItsOtherNames) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("a.Vel"));
    const QString other = folder.filePath(QStringLiteral("copy-of-a.Vel"));
    Write(path, "old content");
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
    const ino_t inode = Stat(path).st_ino;

    EXPECT_EQ(WriteWholeFile(path, "new"), FileWriteResult::Written);
    EXPECT_EQ(Read(other), QByteArray("new"));
    EXPECT_EQ(Stat(path).st_ino, inode);
    EXPECT_EQ(Stat(path).st_nlink, 2u);
}

constexpr uid_t Nobody = 65534;

// Saving over another user's file (as root may) keeps it theirs.
TEST(WholeFileWrite, AnotherUsersFileStaysTheirs) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("a.Vel"));
    Write(path, "old content");
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), Nobody, Nobody), 0);
    EXPECT_EQ(WriteWholeFile(path, "new"), FileWriteResult::Written);
    EXPECT_EQ(Read(path), QByteArray("new"));
    EXPECT_EQ(Stat(path).st_uid, Nobody);
    EXPECT_EQ(Stat(path).st_gid, Nobody);
}
constexpr int NoSuchUser = 77;

// Runs the probe on path: as the user nobody when the suite runs as root (root
// may write into any folder), otherwise as this user. Empty when the probe
// could not run or could not change its user.
std::optional<int> RunProbe(const QString& probe, const QString& path, const QByteArray& text) {
    QProcess process;
    process.setProgram(probe);
    process.setArguments({path, QString::fromLatin1(text)});
    process.setChildProcessModifier([] {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0))
            ::_exit(NoSuchUser);
    });
    process.start();
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() == NoSuchUser)
        return std::nullopt;
    return process.exitCode();
}

// Where the user may write the file but not its folder, no temporary file can
// be made beside it: the file is written in place, and it stays its owner's.
TEST(WholeFileWrite, FileInAFolderThatMayNotBeWrittenIsWrittenInPlace) {
    const bool root = ::geteuid() == 0;
    const uid_t writer = root ? Nobody : ::geteuid();
    struct Case {
        const char* name;
        bool ownedByWriter;  // otherwise by root, writable for everyone
    };
    const Case cases[] = {
        {"the writer's own file", true},
        {"another user's file", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.ownedByWriter && !root)
            continue;  // only root can give a file to another user
        QTemporaryDir base;
        // The writer must reach the probe and the folder.
        ASSERT_TRUE(QFile::setPermissions(base.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                           QFile::ReadOther | QFile::ExeOther));
        const QString probe = base.filePath(QStringLiteral("probe"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(VEL_WRITE_PROBE), probe));
        ASSERT_TRUE(QFile::setPermissions(probe, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                                     QFile::ExeOther));
        const QString locked = base.filePath(QStringLiteral("locked"));
        ASSERT_TRUE(QDir().mkdir(locked));
        const QString path = locked + QStringLiteral("/a.Vel");
        Write(path, "the archive that was on disk, longer than the new one");
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0666), 0);
        if (root && c.ownedByWriter) {
            ASSERT_EQ(::chown(QFile::encodeName(path).constData(), Nobody, Nobody), 0);
        }
        const uid_t owner = Stat(path).st_uid;
        ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0555), 0);

        const std::optional<int> result = RunProbe(probe, path, "new archive");
        ::chmod(QFile::encodeName(locked).constData(), 0755);
        if (!result)
            GTEST_SKIP() << "no unprivileged user (uid " << writer << ") can be used here";
        EXPECT_EQ(*result, static_cast<int>(FileWriteResult::Written));
        EXPECT_EQ(Read(path), QByteArray("new archive"));
        EXPECT_EQ(Stat(path).st_uid, owner);
        EXPECT_EQ(FilesIn(locked), QStringList{QStringLiteral("a.Vel")});
    }
}

// A save cut off by the process dying at any moment (power loss, kill -9)
// leaves the old file or the new one, never a mixture or a shorter file.
TEST(WholeFileWrite, AWriterKilledAtAnyMomentLeavesTheOldFileOrTheNew) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("a.Vel"));
    constexpr int Size = 256 * 1024;
    std::srand(20261211);
    for (int round = 0; round < 40; ++round) {
        QProcess writer;
        writer.start(QStringLiteral(VEL_WRITE_PROBE), {QStringLiteral("--alternate"), path, QString::number(Size)});
        ASSERT_TRUE(writer.waitForReadyRead(30000)) << "round " << round;
        // Somewhere in the middle of one of the next writes.
        ::usleep(static_cast<useconds_t>(std::rand() % 20000));
        writer.kill();
        ASSERT_TRUE(writer.waitForFinished(30000));

        const QByteArray bytes = Read(path);
        ASSERT_EQ(bytes.size(), Size) << "round " << round;
        const char first = bytes[0];
        ASSERT_TRUE(first == 'a' || first == 'b') << "round " << round;
        ASSERT_EQ(bytes.count(first), Size) << "round " << round << ": a mixture";
    }
}

}  // namespace
