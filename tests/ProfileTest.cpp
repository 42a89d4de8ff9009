#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

class ProfileTest : public ::testing::Test {
protected:
    QString Path() const { return dir.filePath(QStringLiteral("Vel.ini")); }
    void Write(const QByteArray& content) const {
        QFile f(Path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray Content() const {
        QFile f(Path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QString Read(const char* section, const char* key, const char* def = "dflt", int size = 10) const {
        return Profile::ReadString(Path(), QString::fromUtf8(section), QString::fromUtf8(key), QString::fromUtf8(def),
                                   size);
    }
    QTemporaryDir dir;
};

TEST_F(ProfileTest, ReadsValuesByWindowsRules) {
    Write("; comment\r\n"
          "[Config]\r\n"
          "Uses=41\r\n"
          "  COMPortNumber  =  USB  \r\n"
          "Quoted=\"a b\"\r\n"
          "Single='x'\r\n"
          "Half=\"open\r\n"
          "Long=12345678901234\r\n"
          "Empty=\r\n"
          "NoEquals\r\n"
          "[formmain]\r\n"
          "Width=640\r\n"
          "Uses=other section\r\n"
          "[Config]\r\n"
          "Later=in a second section of the same name\r\n");

    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"Config", "Uses", "41"},
        {"CONFIG", "uses", "41"},              // names match without regard to case
        {"Config", "COMPortNumber", "USB"},    // blanks around names and values go
        {"Config", "Quoted", "a b"},           // one pair of quotes is dropped
        {"Config", "Single", "x"},
        {"Config", "Half", "\"open"},          // an unmatched quote stays
        {"Config", "Long", "123456789"},       // cut to size - 1
        {"Config", "Empty", ""},               // present but empty: no default
        {"Config", "NoEquals", "dflt"},
        {"Config", "Missing", "dflt"},
        {"FormMain", "Width", "640"},
        {"Missing", "Width", "dflt"},
        {"Config", "Later", "dflt"},           // only the first section of a name counts
    };
    for (const Case& c : cases)
        EXPECT_EQ(Read(c.section, c.key), QString::fromUtf8(c.expected)) << c.section << "/" << c.key;
}

TEST_F(ProfileTest, MissingFileGivesDefaultsCutAndTrimmed) {
    EXPECT_EQ(Read("Config", "Uses", "0"), QStringLiteral("0"));
    EXPECT_EQ(Read("Config", "Uses", "15395553 ", 20), QStringLiteral("15395553"));
    EXPECT_EQ(Read("Config", "Uses", "abcdefghijk", 4), QStringLiteral("abc"));
    EXPECT_EQ(Read("Config", "Uses", "abc", 1), QString());
    EXPECT_FALSE(QFile::exists(Path()));
}

TEST_F(ProfileTest, WriteCreatesFileSectionAndKey) {
    ASSERT_TRUE(Profile::WriteString(Path(), QStringLiteral("Config"), QStringLiteral("Uses"), QStringLiteral("1")));
    ASSERT_TRUE(Profile::WriteString(Path(), QStringLiteral("Config"), QStringLiteral("COMPortNumber"),
                                     QStringLiteral("1")));
    ASSERT_TRUE(Profile::WriteString(Path(), QStringLiteral("FormMain"), QStringLiteral("Left"), QStringLiteral("0")));
    EXPECT_EQ(Content(), QByteArray("[Config]\nUses=1\nCOMPortNumber=1\n\n[FormMain]\nLeft=0\n"));
}

TEST_F(ProfileTest, WriteReplacesOneKeyAndKeepsEveryOtherLine) {
    Write("; settings\r\n[config]\r\nUSES=41\r\nOther = kept \r\n\r\n[Debug]\r\nLogUSB=Y\r\n");
    ASSERT_TRUE(Profile::WriteString(Path(), QStringLiteral("Config"), QStringLiteral("Uses"), QStringLiteral("42")));
    ASSERT_TRUE(Profile::WriteString(Path(), QStringLiteral("CONFIG"), QStringLiteral("New"), QStringLiteral("v")));
    EXPECT_EQ(Content(), QByteArray("; settings\r\n[config]\r\nUses=42\r\nOther = kept \r\nNew=v\r\n\r\n"
                                    "[Debug]\r\nLogUSB=Y\r\n"));
    EXPECT_EQ(Read("Config", "Uses"), QStringLiteral("42"));
}

// Found by fuzzing: a stray CR at a line's end made the next write change
// every line end of the file.
TEST_F(ProfileTest, WritingTheSameValueAgainLeavesTheFileAsItIs) {
    Write("[S]\nk=1\r\r");
    ASSERT_TRUE(Profile::WriteString(Path(), QStringLiteral("S"), QStringLiteral("new"), QStringLiteral("v")));
    const QByteArray once = Content();
    EXPECT_EQ(once, QByteArray("[S]\nk=1\nnew=v\n"));
    ASSERT_TRUE(Profile::WriteString(Path(), QStringLiteral("S"), QStringLiteral("new"), QStringLiteral("v")));
    EXPECT_EQ(Content(), once);
    EXPECT_EQ(Read("S", "k"), QStringLiteral("1"));
}

TEST_F(ProfileTest, UnwritableFileIsLeftAsItWas) {
    const QString missingFolder = dir.filePath(QStringLiteral("no/such/folder/Vel.ini"));
    EXPECT_FALSE(Profile::WriteString(missingFolder, QStringLiteral("Config"), QStringLiteral("Uses"),
                                      QStringLiteral("1")));
    EXPECT_FALSE(QFile::exists(missingFolder));
}

// What no read could give back is refused, so it can never split a line of
// the file into a new key or section.
TEST_F(ProfileTest, WriteRefusesWhatTheFileCannotHold) {
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"Config", "Uses", "1\n[Debug]\nLogUSB=Y"},
        {"Config", "Uses", "1\r"},
        {"Con\nfig", "Uses", "1"},
        {"Con]fig", "Uses", "1"},
        {" Config", "Uses", "1"},
        {"Config", "Us=es", "1"},
        {"Config", "[Uses", "1"},
        {"Config", "Uses ", "1"},
        {"Config", "", "1"},
    };
    const QByteArray before("[Config]\nUses=0\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + " / " + c.key + " / " + c.value);
        Write(before);
        EXPECT_FALSE(Profile::WriteString(Path(), QString::fromUtf8(c.section), QString::fromUtf8(c.key),
                                          QString::fromUtf8(c.value)));
        EXPECT_EQ(Content(), before);
    }
    // A value may hold anything else, '=', '[' and ']' included.
    ASSERT_TRUE(Profile::WriteString(Path(), QStringLiteral("Config"), QStringLiteral("Uses"),
                                     QStringLiteral("a=[b]")));
    EXPECT_EQ(Read("Config", "Uses"), QStringLiteral("a=[b]"));
}

}  // namespace
