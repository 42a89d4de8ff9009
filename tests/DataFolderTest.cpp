#include "platform/DataFolder.h"

#include "support/ScopedProcessState.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

TEST(DataFolder, WritableProgramFolderIsUsed) {
    QTemporaryDir dir;
    EXPECT_EQ(WritableDataFolder(dir.path()), dir.path());
}

TEST(DataFolder, ReadOnlyProgramFolderFallsBackToTheUserFolder) {
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    if (access(dir.path().toLocal8Bit().constData(), W_OK) == 0)
        GTEST_SKIP() << "running as a user that may write anywhere";
    ScopedProcessState state;
    state.SetStandardPathsTestMode(true);
    const QString folder = WritableDataFolder(dir.path());
    EXPECT_NE(folder, dir.path());
    EXPECT_TRUE(QDir(folder).exists());
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(DataFolder, MissingProgramFolderFallsBackToTheUserFolder) {
    ScopedProcessState state;
    state.SetStandardPathsTestMode(true);
    const QString folder = WritableDataFolder(QStringLiteral("/no/such/program/folder"));
    EXPECT_NE(folder, QStringLiteral("/no/such/program/folder"));
    EXPECT_TRUE(QDir(folder).exists());
}

}  // namespace

namespace {

TEST(DataFolder, AnInstalledProgramWritesToTheUserFolderEvenWhereItMayWrite) {
    QTemporaryDir prefix;
    ASSERT_TRUE(QDir().mkpath(prefix.filePath(QStringLiteral("bin"))));
    ASSERT_TRUE(QDir().mkpath(prefix.filePath(QStringLiteral("share/vel/Help"))));
    ScopedProcessState state;
    state.SetStandardPathsTestMode(true);
    const QString folder = WritableDataFolder(prefix.filePath(QStringLiteral("bin")));
    EXPECT_EQ(folder, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    EXPECT_TRUE(QDir(folder).exists());
}

}  // namespace
