#include "platform/ComPortList.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

namespace {

// A pseudo-terminal pair for the test's life; Slave() is its device.
class PseudoTerminal {
public:
    PseudoTerminal() : master_(posix_openpt(O_RDWR | O_NOCTTY)) {
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
            slave_ = QString::fromLatin1(ptsname(master_));
    }
    ~PseudoTerminal() {
        if (master_ >= 0)
            ::close(master_);
    }
    const QString& Slave() const { return slave_; }

private:
    int master_;
    QString slave_;
};

bool Link(const QString& target, const QString& link) {
    QDir().mkpath(QFileInfo(link).path());
    return QFile::link(target, link);
}

TEST(ComPortListTest, NamesTheDeviceOfEachPortNumber) {
    QTemporaryDir folder;
    struct Case {
        int n;
        const char* device;
    };
    const Case cases[] = {
        {1, "/dev/ttyS0"},     {32, "/dev/ttyS31"},   {33, "/dev/ttyUSB0"}, {64, "/dev/ttyUSB31"},
        {65, "/dev/ttyACM0"},  {96, "/dev/ttyACM31"}, {97, ""},             {99, ""},
        {0, ""},               {100, ""},             {-1, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ComPortDevice(folder.path(), c.n), QString::fromLatin1(c.device)) << c.n;

    // A link in the data folder names any port 1 to 99, and wins.
    for (int n : {3, 97}) {
        const QString link = folder.filePath(QStringLiteral("ports/com%1").arg(n));
        ASSERT_TRUE(Link(QStringLiteral("/dev/null"), link));
        EXPECT_EQ(ComPortDevice(folder.path(), n), link);
    }
    EXPECT_EQ(ComPortDevice(folder.path(), 100), QString());
}

TEST(ComPortListTest, ResolvesPortNamesAndLeavesPathsAlone) {
    QTemporaryDir folder;
    struct Case {
        const char* name;
        const char* device;
    };
    const Case cases[] = {
        {R"(\\.\COM7)", "/dev/ttyS6"},
        {R"(\\.\com40)", "/dev/ttyUSB7"},
        {R"(\\.\COM)", R"(\\.\COM)"},
        {R"(\\.\COM123)", R"(\\.\COM123)"},
        {"Com2", "Com2"},
        {"/dev/ttyUSB3", "/dev/ttyUSB3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CommDeviceFor(QString::fromLatin1(c.name), folder.path()), QString::fromLatin1(c.device)) << c.name;
}

TEST(ComPortListTest, TellsSerialDevicesFromOtherFiles) {
    PseudoTerminal terminal;
    ASSERT_FALSE(terminal.Slave().isEmpty());
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("file"));
    QFile(file).open(QIODevice::WriteOnly);
    const QString link = folder.filePath(QStringLiteral("com5"));
    ASSERT_TRUE(Link(terminal.Slave(), link));

    EXPECT_TRUE(IsSerialDevice(terminal.Slave()));
    EXPECT_TRUE(IsSerialDevice(link));
    EXPECT_FALSE(IsSerialDevice(QStringLiteral("/dev/null"))) << "a character device, but no terminal";
    EXPECT_FALSE(IsSerialDevice(file));
    EXPECT_FALSE(IsSerialDevice(folder.filePath(QStringLiteral("missing"))));
    EXPECT_FALSE(IsSerialDevice(QString()));
}

TEST(ComPortListTest, ListsThePortsPresentInAscendingOrder) {
    PseudoTerminal terminal;
    QTemporaryDir folder;
    ASSERT_TRUE(Link(terminal.Slave(), folder.filePath(QStringLiteral("ports/com97"))));
    ASSERT_TRUE(Link(terminal.Slave(), folder.filePath(QStringLiteral("ports/com41"))));
    // A link to something else is no port.
    ASSERT_TRUE(Link(QStringLiteral("/dev/null"), folder.filePath(QStringLiteral("ports/com98"))));

    SystemComPorts ports([&] { return folder.path(); });
    const QStringList present = ports.PresentPorts();
    EXPECT_TRUE(present.contains("COM97"));
    EXPECT_TRUE(present.contains("COM41"));
    EXPECT_FALSE(present.contains("COM98"));
    std::vector<int> numbers;
    for (const QString& port : present)
        numbers.push_back(port.mid(3).toInt());
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
}

}  // namespace
