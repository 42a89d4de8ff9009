// The Open and Save commands with real files, scripted dialogs and a window
// that records what it is asked to show.

#include "ui/ArchiveCommands.h"

#include "archive/Archive.h"
#include "support/FakeEnvironment.h"
#include "support/RecordingMainView.h"
#include "support/ScopedProcessState.h"
#include "support/SmallDisk.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <memory>

#include <unistd.h>

namespace {

using namespace MessageBox;
using Outcome = ArchiveCommands::Outcome;

const QString CreateFailed = QStringLiteral("Не удается создать файл. Возможно, нет места на диске.");
const QString WriteFailed = QStringLiteral("Не удается записать файл. Возможно, нет места на диске.");
constexpr unsigned DiskError = MB_DEFBUTTON2 | MB_ICONWARNING | MB_ABORTRETRYIGNORE;

class ArchiveCommandsTest : public ::testing::Test {
protected:
    QString Path(const char* name) const { return folder.filePath(QString::fromUtf8(name)); }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    static void Write(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // count records of arbitrary bytes, the unshown fields included.
    static QByteArray RandomRecords(int count) {
        QByteArray bytes(count * 24, '\0');
        QRandomGenerator random(2677);
        for (char& b : bytes)
            b = static_cast<char>(random.bounded(256));
        return bytes;
    }
    QByteArray ArchiveBytes() const {
        return QByteArray(reinterpret_cast<const char*>(archive->Records), archive->Count * 24);
    }
    void Answer(std::initializer_list<std::optional<QString>> paths) {
        dialogs.answers.assign(paths.begin(), paths.end());
    }
    QStringList BoxTexts() const {
        QStringList texts;
        for (const auto& box : boxes.shown)
            texts << box.text;
        return texts;
    }

    QTemporaryDir folder;
    std::unique_ptr<TArchive> archive = std::make_unique<TArchive>();
    RecordingMainView view;
    ScriptedMessageBoxes boxes;
    ScriptedFileDialogs dialogs;
    ArchiveCommands commands{view, boxes, dialogs, *archive, folder.path() + QLatin1Char('/')};
};

TEST_F(ArchiveCommandsTest, FullArchiveSurvivesSaveAndOpenByteForByte) {
    const QByteArray original = RandomRecords(ArchiveCapacity);
    Write(Path("source.Vel"), original);
    Answer({Path("source.Vel")});
    commands.Open();
    ASSERT_EQ(archive->Count, ArchiveCapacity);
    EXPECT_EQ(ArchiveBytes(), original);
    EXPECT_EQ(view.status, QStringLiteral("Считано с диска записей: 2677"));
    EXPECT_EQ(view.calls.front(), QStringLiteral("ClearTable"));
    EXPECT_EQ(view.calls.back(), QStringLiteral("ShowArchive"));

    Answer({Path("copy")});
    commands.Save();
    EXPECT_EQ(Read(Path("copy.Vel")), original);
    EXPECT_EQ(view.status, QStringLiteral("Сохранено на диск записей: 2677"));
    Answer({Path("again.Vel")});
    commands.Save();
    EXPECT_EQ(Read(Path("again.Vel")), original);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ArchiveCommandsTest, OpenTakesWholeRecordsUpToTheCapacity) {
    struct Case {
        int bytes;
        int records;
        const char* status;
    };
    const Case cases[] = {
        {0, 0, "before"},  // nothing read: the status keeps its text
        {100, 4, "Считано с диска записей: 4"},
        {24 * 3000, 2677, "Считано с диска записей: 2677"},
    };
    for (const Case& c : cases) {
        archive->Count = 9;  // an earlier archive
        const QByteArray content = RandomRecords(3000).left(c.bytes);
        Write(Path("case.Vel"), content);
        view.SetStatusText(QStringLiteral("before"));
        view.calls.clear();
        Answer({Path("case.Vel")});
        commands.Open();
        EXPECT_EQ(archive->Count, c.records) << c.bytes;
        EXPECT_EQ(ArchiveBytes(), content.left(c.records * 24)) << c.bytes;
        EXPECT_EQ(view.status, QString::fromUtf8(c.status)) << c.bytes;
        EXPECT_EQ(view.calls.count(QStringLiteral("ShowArchive")), 1) << c.bytes;
    }
}

TEST_F(ArchiveCommandsTest, FileThatCannotBeOpenedAsksRetryOrCancel) {
    archive->Count = 1;
    archive->Records[0].Number = 77;
    const QString missing = Path("missing.Vel");
    Answer({missing, missing});
    boxes.answers = {IDRETRY, IDCANCEL};
    commands.Open();

    ASSERT_EQ(dialogs.shown.size(), 2u);  // Retry showed the dialog again
    ASSERT_EQ(boxes.shown.size(), 2u);
    const auto& box = boxes.shown[0];
    EXPECT_EQ(box.text, QStringLiteral("Не могу открыть файл ") + missing);
    EXPECT_EQ(box.caption, QStringLiteral("Ошибка чтения файла"));
    EXPECT_EQ(box.type, MB_ICONWARNING | MB_RETRYCANCEL);
    EXPECT_EQ(view.status, QStringLiteral("Ошибка открытия файла ") + missing);
    // The archive and the table stay.
    EXPECT_EQ(archive->Count, 1);
    EXPECT_EQ(archive->Records[0].Number, 77);
    EXPECT_FALSE(view.calls.contains(QStringLiteral("ClearTable")));
    EXPECT_FALSE(view.calls.contains(QStringLiteral("ShowArchive")));
}

TEST_F(ArchiveCommandsTest, DialogsAreSetUpForArchiveFiles) {
    Answer({std::nullopt});
    commands.Open();
    archive->Count = 1;
    Answer({std::nullopt});
    commands.Save();

    ASSERT_EQ(dialogs.shown.size(), 2u);
    const TFileDialog& open = dialogs.shown[0].dialog;
    const TFileDialog& save = dialogs.shown[1].dialog;
    // "Все файлы" lists every file, names without a dot included.
    const QString filter = QStringLiteral("Файлы \"ВЕЛ-1\" (*.vel)|*.vel|Все файлы (*.*)|*");
    EXPECT_EQ(open.Title, QStringLiteral("Открыть файл..."));
    EXPECT_EQ(open.Filter, filter);
    EXPECT_EQ(open.InitialDir, folder.path() + QLatin1Char('/'));
    EXPECT_FALSE(open.OverwritePrompt);
    EXPECT_EQ(save.Title, QStringLiteral("Сохранить как..."));
    EXPECT_EQ(save.Filter, filter);
    EXPECT_EQ(save.InitialDir, folder.path() + QLatin1Char('/'));
    EXPECT_EQ(save.FileName, QStringLiteral("Default.Vel"));
    EXPECT_TRUE(save.OverwritePrompt);
    EXPECT_FALSE(dialogs.shown[0].save);
    EXPECT_TRUE(dialogs.shown[1].save);
}

TEST_F(ArchiveCommandsTest, SaveWithAnEmptyArchiveDoesNothing) {
    archive->Count = 0;
    commands.Save();
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ArchiveCommandsTest, OverwriteQuestionOnlyForAnExistingFinalName) {
    archive->Count = 2;
    const QByteArray saved = ArchiveBytes();
    Write(Path("old.Vel"), "OLD");
    const unsigned question = MB_TASKMODAL | MB_ICONQUESTION | MB_YESNOCANCEL;

    // "report.txt" does not exist as "report.txt.Vel": no question.
    Answer({Path("report.txt")});
    commands.Save();
    EXPECT_EQ(Read(Path("report.txt.Vel")), saved);
    EXPECT_TRUE(boxes.shown.empty());

    // "old" becomes "old.Vel", which exists: No shows the dialog again with
    // that name, Yes overwrites.
    Answer({Path("old"), Path("old.Vel")});
    boxes.answers = {IDNO, IDYES};
    commands.Save();
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Файл существует. Перезаписать?"));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("ВЕЛ. Плотномер асфальта"));
    EXPECT_EQ(boxes.shown[0].type, question);
    EXPECT_EQ(dialogs.shown.back().dialog.FileName, Path("old.Vel"));
    EXPECT_EQ(Read(Path("old.Vel")), saved);

    // Cancel stops with the old file as it was.
    Write(Path("old.Vel"), "OLD");
    Answer({Path("old.vel")});
    boxes.answers = {IDCANCEL};
    commands.Save();
    EXPECT_EQ(Read(Path("old.Vel")), QByteArray("OLD"));
}

// What one attempt with a chosen file comes to, by the answers the user gives.
TEST_F(ArchiveCommandsTest, EachAttemptEndsDoneAskAgainOrStop) {
    archive->Count = 1;
    Write(Path("exists.Vel"), "OLD");
    const QString nowhere = Path("no/such/folder/a.Vel");
    struct Case {
        const char* name;
        QString file;
        std::deque<int> answers;
        QStringList boxes;
        Outcome outcome;
    };
    const QString exists = QStringLiteral("Файл существует. Перезаписать?");
    const Case cases[] = {
        {"a new file", Path("new.Vel"), {}, {}, Outcome::Done},
        {"overwrite: yes", Path("exists.Vel"), {IDYES}, {exists}, Outcome::Done},
        {"overwrite: no", Path("exists.Vel"), {IDNO}, {exists}, Outcome::AskAgain},
        {"overwrite: cancel", Path("exists.Vel"), {IDCANCEL}, {exists}, Outcome::Stop},
        {"not created: abort", nowhere, {IDABORT}, {CreateFailed}, Outcome::Stop},
        {"not created: retry", nowhere, {IDRETRY}, {CreateFailed}, Outcome::AskAgain},
        {"not created: ignore, retry", nowhere, {IDIGNORE, IDRETRY}, {CreateFailed, WriteFailed}, Outcome::AskAgain},
        {"not created: ignore, ignore", nowhere, {IDIGNORE, IDIGNORE}, {CreateFailed, WriteFailed}, Outcome::Stop},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.shown.clear();
        boxes.answers = c.answers;
        EXPECT_EQ(commands.SaveTo(c.file), c.outcome);
        EXPECT_EQ(BoxTexts(), c.boxes);
    }

    boxes.shown.clear();
    Write(Path("records.Vel"), RandomRecords(2));
    EXPECT_EQ(commands.OpenFrom(Path("records.Vel")), Outcome::Done);
    boxes.answers = {IDRETRY};
    EXPECT_EQ(commands.OpenFrom(Path("missing.Vel")), Outcome::AskAgain);
    boxes.answers = {IDCANCEL};
    EXPECT_EQ(commands.OpenFrom(Path("missing.Vel")), Outcome::Stop);
    EXPECT_TRUE(boxes.answers.empty());
}

TEST_F(ArchiveCommandsTest, FileThatCannotBeCreatedOffersAbortRetryIgnore) {
    archive->Count = 1;
    const QString nowhere = Path("no/such/folder/a.Vel");
    Answer({nowhere, nowhere});
    boxes.answers = {IDRETRY, IDIGNORE, IDABORT};
    view.SetStatusText(QStringLiteral("before"));
    commands.Save();

    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[0].text, CreateFailed);
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Ошибка записи на диск"));
    EXPECT_EQ(boxes.shown[0].type, DiskError);
    EXPECT_EQ(dialogs.shown.size(), 2u);  // Retry showed the dialog again
    // Ignore counts as a failed write, whose own message follows.
    EXPECT_EQ(boxes.shown[2].text, WriteFailed);
    EXPECT_EQ(boxes.shown[2].type, DiskError);
    EXPECT_EQ(view.status, QStringLiteral("before"));
}

TEST_F(ArchiveCommandsTest, FailedWriteLeavesTheOldFileIntact) {
    archive->Count = ArchiveCapacity;
    const QString target = Path("kept.Vel");
    Write(target, "the archive that was on disk");

    Answer({target});
    boxes.answers = {IDYES, IDABORT};
    {
        // A file size limit makes the write fail the way a full disk does.
        ScopedProcessState state;
        state.LimitFileSize(1000);
        commands.Save();
    }

    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, WriteFailed);
    EXPECT_EQ(Read(target), QByteArray("the archive that was on disk"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("kept.Vel")});
}

TEST_F(ArchiveCommandsTest, ASaveOntoAFullDiskKeepsTheOldFileAndSaysSo) {
    SmallDisk disk;
    if (!disk.Mounted())
        GTEST_SKIP() << "no small file system can be mounted here";
    const QString target = disk.File("kept.Vel");
    Write(target, "the archive that was on disk");
    archive->Count = ArchiveCapacity;  // 64 KiB, the disk holds 8

    Answer({target});
    boxes.answers = {IDYES, IDABORT};
    commands.Save();
    EXPECT_EQ(BoxTexts(), (QStringList{boxes.shown.empty() ? QString() : boxes.shown[0].text, WriteFailed}));
    EXPECT_EQ(Read(target), QByteArray("the archive that was on disk"));
    EXPECT_EQ(disk.Files(), QStringList{QStringLiteral("kept.Vel")}) << "no temporary file left";
}

// In a folder the user may not write into, a file the user may write is saved
// in place; one the user may not write is reported and kept.
TEST_F(ArchiveCommandsTest, ReadOnlyFolderTakesOnlyItsWritableFiles) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write anywhere (WholeFileWrite's tests run this as another user)";
    archive->Count = 3;
    const QByteArray saved = ArchiveBytes();
    QDir(folder.path()).mkdir(QStringLiteral("locked"));
    Write(Path("locked/writable.Vel"), "old");
    Write(Path("locked/read-only.Vel"), "old");
    QFile::setPermissions(Path("locked/read-only.Vel"), QFile::ReadOwner);
    QFile::setPermissions(Path("locked"), QFile::ReadOwner | QFile::ExeOwner);

    Answer({Path("locked/writable.Vel"), Path("locked/read-only.Vel")});
    boxes.answers = {IDYES, IDYES, IDABORT};
    commands.Save();
    commands.Save();
    QFile::setPermissions(Path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    EXPECT_EQ(Read(Path("locked/writable.Vel")), saved);
    EXPECT_EQ(Read(Path("locked/read-only.Vel")), QByteArray("old"));
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[2].text, CreateFailed);
}

}  // namespace
