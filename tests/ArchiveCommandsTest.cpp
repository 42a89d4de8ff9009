// Opening and saving archive files through the main window's commands, with
// real files and scripted dialogs.

#include "app/AppPaths.h"
#include "archive/Archive.h"
#include "archive/StringGrid.h"
#include "support/FakeEnvironment.h"
#include "ui/StatusBar.h"
#include "ui/TForm1.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <csignal>
#include <cstring>
#include <memory>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace MessageBox;

class ArchiveCommandsTest : public ::testing::Test {
protected:
    void SetUp() override { form = std::make_unique<TForm1>(env.Get()); }
    void TearDown() override { std::memset(&Archive, 0, sizeof Archive); }

    QString Path(const char* name) const { return env.folder.filePath(QString::fromUtf8(name)); }
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
    static QByteArray ArchiveBytes() {
        return QByteArray(reinterpret_cast<const char*>(Archive.Records), Archive.Count * 24);
    }
    QString Status() const { return form->StatusBar1->PanelText(0); }
    void Answer(std::initializer_list<std::optional<QString>> paths) {
        env.fileDialogs.answers.assign(paths.begin(), paths.end());
    }

    FakeEnvironment env;
    std::unique_ptr<TForm1> form;
};

TEST_F(ArchiveCommandsTest, FullArchiveSurvivesSaveAndOpenByteForByte) {
    const QByteArray original = RandomRecords(ArchiveCapacity);
    Write(Path("source.Vel"), original);
    Answer({Path("source.Vel")});
    form->AOpenExecute();
    ASSERT_EQ(Archive.Count, ArchiveCapacity);
    EXPECT_EQ(ArchiveBytes(), original);
    EXPECT_EQ(Status(), QStringLiteral("Считано с диска записей: 2677"));
    // The last record of the file stands first.
    const TMeasurement& last = Archive.Records[ArchiveCapacity - 1];
    EXPECT_EQ(form->Grid().Cells(0, 2), QString::number(last.Number));
    EXPECT_EQ(form->Grid().Cells(0, 1), QStringLiteral("(2677)"));

    Answer({Path("copy")});
    form->ASaveExecute();
    EXPECT_EQ(Read(Path("copy.Vel")), original);
    EXPECT_EQ(Status(), QStringLiteral("Сохранено на диск записей: 2677"));
    Answer({Path("again.Vel")});
    form->ASaveExecute();
    EXPECT_EQ(Read(Path("again.Vel")), original);
    EXPECT_TRUE(env.messageBoxes.shown.empty());
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
        Archive.Count = 9;  // an earlier archive
        const QByteArray content = RandomRecords(3000).left(c.bytes);
        Write(Path("case.Vel"), content);
        form->SetStatusText(QStringLiteral("before"));
        Answer({Path("case.Vel")});
        form->AOpenExecute();
        EXPECT_EQ(Archive.Count, c.records) << c.bytes;
        EXPECT_EQ(ArchiveBytes(), content.left(c.records * 24)) << c.bytes;
        EXPECT_EQ(Status(), QString::fromUtf8(c.status)) << c.bytes;
        EXPECT_EQ(form->Grid().RowCount(), c.records + 2) << c.bytes;
        EXPECT_EQ(form->Grid().Cells(0, 1), QStringLiteral("(%1)").arg(c.records)) << c.bytes;
    }
}

TEST_F(ArchiveCommandsTest, FileThatCannotBeOpenedAsksRetryOrCancel) {
    Archive.Count = 1;
    Archive.Records[0].Number = 77;
    form->ShowArchive();
    const QString missing = Path("missing.Vel");
    Answer({missing, missing});
    env.messageBoxes.answers = {IDRETRY, IDCANCEL};
    form->AOpenExecute();

    ASSERT_EQ(env.fileDialogs.shown.size(), 2u);  // Retry showed the dialog again
    ASSERT_EQ(env.messageBoxes.shown.size(), 2u);
    const auto& box = env.messageBoxes.shown[0];
    EXPECT_EQ(box.text, QStringLiteral("Не могу открыть файл ") + missing);
    EXPECT_EQ(box.caption, QStringLiteral("Ошибка чтения файла"));
    EXPECT_EQ(box.type, MB_ICONWARNING | MB_RETRYCANCEL);
    EXPECT_EQ(Status(), QStringLiteral("Ошибка открытия файла ") + missing);
    EXPECT_EQ(Archive.Count, 1);  // the archive and the table stay
    EXPECT_EQ(form->Grid().Cells(0, 2), QStringLiteral("77"));
}

TEST_F(ArchiveCommandsTest, DialogsAreSetUpForArchiveFiles) {
    Answer({std::nullopt});
    form->AOpenExecute();
    Archive.Count = 1;
    Answer({std::nullopt});
    form->ASaveExecute();

    ASSERT_EQ(env.fileDialogs.shown.size(), 2u);
    const TFileDialog& open = env.fileDialogs.shown[0].dialog;
    const TFileDialog& save = env.fileDialogs.shown[1].dialog;
    const QString filter = QStringLiteral("Файлы \"ВЕЛ-1\" (*.vel)|*.vel|Все файлы (*.*)|*.*");
    EXPECT_EQ(open.Title, QStringLiteral("Открыть файл..."));
    EXPECT_EQ(open.Filter, filter);
    EXPECT_EQ(open.InitialDir, env.folder.path() + QLatin1Char('/'));
    EXPECT_FALSE(open.OverwritePrompt);
    EXPECT_EQ(save.Title, QStringLiteral("Сохранить как..."));
    EXPECT_EQ(save.Filter, filter);
    EXPECT_EQ(save.InitialDir, env.folder.path() + QLatin1Char('/'));
    EXPECT_EQ(save.FileName, QStringLiteral("Default.Vel"));
    EXPECT_TRUE(save.OverwritePrompt);
    EXPECT_FALSE(env.fileDialogs.shown[0].save);
    EXPECT_TRUE(env.fileDialogs.shown[1].save);
}

TEST_F(ArchiveCommandsTest, SaveWithAnEmptyArchiveDoesNothing) {
    Archive.Count = 0;
    form->ASaveExecute();
    EXPECT_TRUE(env.fileDialogs.shown.empty());
}

TEST_F(ArchiveCommandsTest, OverwriteQuestionOnlyForAnExistingFinalName) {
    Archive.Count = 2;
    const QByteArray saved = ArchiveBytes();
    Write(Path("old.Vel"), "OLD");
    const unsigned question = MB_TASKMODAL | MB_ICONQUESTION | MB_YESNOCANCEL;

    // "report.txt" does not exist as "report.txt.Vel": no question.
    Answer({Path("report.txt")});
    form->ASaveExecute();
    EXPECT_EQ(Read(Path("report.txt.Vel")), saved);
    EXPECT_TRUE(env.messageBoxes.shown.empty());

    // "old" becomes "old.Vel", which exists: No shows the dialog again with
    // that name, Yes overwrites.
    Answer({Path("old"), Path("old.Vel")});
    env.messageBoxes.answers = {IDNO, IDYES};
    form->ASaveExecute();
    ASSERT_EQ(env.messageBoxes.shown.size(), 2u);
    EXPECT_EQ(env.messageBoxes.shown[0].text, QStringLiteral("Файл существует. Перезаписать?"));
    EXPECT_EQ(env.messageBoxes.shown[0].caption, QStringLiteral("ВЕЛ. Плотномер асфальта"));
    EXPECT_EQ(env.messageBoxes.shown[0].type, question);
    EXPECT_EQ(env.fileDialogs.shown.back().dialog.FileName, Path("old.Vel"));
    EXPECT_EQ(Read(Path("old.Vel")), saved);

    // Cancel stops with the old file as it was.
    Write(Path("old.Vel"), "OLD");
    Answer({Path("old.vel")});
    env.messageBoxes.answers = {IDCANCEL};
    form->ASaveExecute();
    EXPECT_EQ(Read(Path("old.Vel")), QByteArray("OLD"));
}

TEST_F(ArchiveCommandsTest, FileThatCannotBeCreatedOffersAbortRetryIgnore) {
    Archive.Count = 1;
    const QString nowhere = Path("no/such/folder/a.Vel");
    const unsigned diskError = MB_DEFBUTTON2 | MB_ICONWARNING | MB_ABORTRETRYIGNORE;
    Answer({nowhere, nowhere});
    env.messageBoxes.answers = {IDRETRY, IDIGNORE, IDABORT};
    form->SetStatusText(QStringLiteral("before"));
    form->ASaveExecute();

    ASSERT_EQ(env.messageBoxes.shown.size(), 3u);
    EXPECT_EQ(env.messageBoxes.shown[0].text, QStringLiteral("Не удается создать файл. Возможно, нет места на диске."));
    EXPECT_EQ(env.messageBoxes.shown[0].caption, QStringLiteral("Ошибка записи на диск"));
    EXPECT_EQ(env.messageBoxes.shown[0].type, diskError);
    EXPECT_EQ(env.fileDialogs.shown.size(), 2u);  // Retry showed the dialog again
    // Ignore counts as a failed write, whose own message follows.
    EXPECT_EQ(env.messageBoxes.shown[2].text, QStringLiteral("Не удается записать файл. Возможно, нет места на диске."));
    EXPECT_EQ(env.messageBoxes.shown[2].type, diskError);
    EXPECT_EQ(Status(), QStringLiteral("before"));
}

TEST_F(ArchiveCommandsTest, FailedWriteLeavesTheOldFileIntact) {
    Archive.Count = ArchiveCapacity;
    const QString target = Path("kept.Vel");
    Write(target, "the archive that was on disk");

    // A file size limit makes the write fail the way a full disk does.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit small = oldLimit;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Answer({target});
    env.messageBoxes.answers = {IDYES, IDABORT};
    form->ASaveExecute();
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_EQ(env.messageBoxes.shown.size(), 2u);
    EXPECT_EQ(env.messageBoxes.shown[1].text, QStringLiteral("Не удается записать файл. Возможно, нет места на диске."));
    EXPECT_EQ(Read(target), QByteArray("the archive that was on disk"));
    QStringList files = QDir(env.folder.path()).entryList(QDir::Files);
    files.sort();
    EXPECT_EQ(files, (QStringList{QStringLiteral("Vel.ini"), QStringLiteral("kept.Vel")}));  // no leftovers
}

TEST_F(ArchiveCommandsTest, ReadOnlyFolderKeepsItsFile) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write into any folder";
    Archive.Count = 3;
    QDir(env.folder.path()).mkdir(QStringLiteral("locked"));
    const QString target = Path("locked/a.Vel");
    Write(target, "old");
    QFile::setPermissions(Path("locked"), QFile::ReadOwner | QFile::ExeOwner);
    Answer({target});
    env.messageBoxes.answers = {IDYES, IDABORT};
    form->ASaveExecute();
    QFile::setPermissions(Path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(env.messageBoxes.shown.size(), 2u);
    EXPECT_EQ(env.messageBoxes.shown[1].text, QStringLiteral("Не удается создать файл. Возможно, нет места на диске."));
    EXPECT_EQ(Read(target), QByteArray("old"));
}

}  // namespace
