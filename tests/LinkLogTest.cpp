#include "app/LinkLog.h"

#include "app/AppPaths.h"
#include "support/FakeClock.h"
#include "support/ScopedProcessState.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <thread>

namespace {

// The log as start-up configures it: the file beside the settings, switched
// by the settings file.
class LinkLogTest : public ::testing::Test {
protected:
    void Settings(const QByteArray& content) const {
        QFile f(SettingsPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    static QByteArray Log() {
        QFile f(LinkLogPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    TLinkLog MakeLog() { return TLinkLog(LinkLogPath, &LinkLogSwitchFromSettings, clock.Get()); }

    TemporaryProgramFolder program;
    FakeClock clock;
    TLinkLog log{LinkLogPath, &LinkLogSwitchFromSettings, clock.Get()};
};

TEST_F(LinkLogTest, SwitchedOnOnlyByAnUpperCaseY) {
    struct Case {
        const char* settings;
        bool on;
    };
    const Case cases[] = {
        {"", false},
        {"[Debug]\nLogUSB=N\n", false},
        {"[Debug]\nLogUSB=y\n", false},
        {"[Debug]\nLogUSB=yes\n", false},
        {"[Debug]\nLogUSB=Y\n", true},
        {"[debug]\nlogusb=Yes\n", true},
    };
    for (const Case& c : cases) {
        QFile::remove(LinkLogPath);
        Settings(c.settings);
        TLinkLog fresh = MakeLog();
        fresh.Start();
        fresh.Write(QStringLiteral("LibUsb loaded!"));
        EXPECT_EQ(fresh.Enabled(), c.on) << c.settings;
        EXPECT_EQ(QFile::exists(LinkLogPath), c.on) << c.settings;
    }
}

TEST_F(LinkLogTest, NewFileStartsWithAnEmptyLineAndTheDayHeader) {
    Settings("[Debug]\nLogUSB=Y\n");
    log.Start();
    log.Write(QStringLiteral("LoadLibrary(\"libusb0.dll\");"));
    log.Write(QStringLiteral("\r\nabc\r\ndef\r\n"));
    log.Write(QStringLiteral("a\rb\nc"));
    EXPECT_EQ(Log(), QByteArray("\r\n========== 09.12.2026 ==========\r\n"
                                "14:05:09 LoadLibrary(\"libusb0.dll\");\r\n"
                                "14:05:09 abc  def\r\n"
                                "14:05:09 a b c\r\n"));
}

TEST_F(LinkLogTest, FirstEntryAfterMidnightGetsOneNewHeader) {
    Settings("[Debug]\nLogUSB=Y\n");
    clock.now = QDateTime(QDate(2026, 12, 9), QTime(23, 59, 58));
    log.Start();
    log.Write(QStringLiteral("before"));
    clock.now = QDateTime(QDate(2026, 12, 10), QTime(0, 0, 1));
    log.Write(QStringLiteral("after"));
    log.Write(QStringLiteral("later"));
    EXPECT_EQ(Log(), QByteArray("\r\n========== 09.12.2026 ==========\r\n"
                                "23:59:58 before\r\n"
                                "\r\n========== 10.12.2026 ==========\r\n"
                                "00:00:01 after\r\n"
                                "00:00:01 later\r\n"));
}

TEST_F(LinkLogTest, DeletedFileStaysGoneUntilTheDateChanges) {
    Settings("[Debug]\nLogUSB=Y\n");
    log.Start();
    log.Write(QStringLiteral("first"));
    QFile::remove(LinkLogPath);
    log.Write(QStringLiteral("dropped"));
    EXPECT_FALSE(QFile::exists(LinkLogPath));
    clock.now = clock.now.addDays(1);
    log.Write(QStringLiteral("next day"));
    EXPECT_EQ(Log(), QByteArray("\r\n========== 10.12.2026 ==========\r\n"
                                "14:05:09 next day\r\n"));
}

TEST_F(LinkLogTest, EntriesFromTwoThreadsAreNeitherLostNorSplit) {
    Settings("[Debug]\nLogUSB=Y\n");
    log.Start();
    constexpr int PerThread = 10000;
    auto writer = [this](QChar tag) {
        for (int i = 0; i < PerThread; ++i)
            log.Write(QStringLiteral("%1 %2 ").arg(tag).arg(i) + QString(40, tag));
    };
    std::thread a(writer, QLatin1Char('A'));
    std::thread b(writer, QLatin1Char('B'));
    a.join();
    b.join();

    const QList<QByteArray> lines = Log().split('\n');
    const QRegularExpression entry(QStringLiteral("^14:05:09 ([AB]) (\\d+) (A{40}|B{40})\r$"));
    int count[2] = {0, 0};
    int next[2] = {0, 0};
    for (const QByteArray& line : lines.mid(2)) {  // after the empty line and the header
        if (line.isEmpty())
            continue;
        const QRegularExpressionMatch m = entry.match(QString::fromUtf8(line));
        ASSERT_TRUE(m.hasMatch()) << line.constData();
        const int who = m.captured(1) == QStringLiteral("A") ? 0 : 1;
        ASSERT_EQ(m.captured(3).front(), m.captured(1).front());
        EXPECT_EQ(m.captured(2).toInt(), next[who]++);  // each thread's entries in order
        ++count[who];
    }
    EXPECT_EQ(count[0], PerThread);
    EXPECT_EQ(count[1], PerThread);
}

}  // namespace
