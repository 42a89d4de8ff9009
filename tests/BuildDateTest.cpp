#include "app/BuildDate.h"
#include "app/HelpFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

TEST(BuildDateTest, TheVersionLineReadsTheBuildDateInRussian) {
    EXPECT_EQ(VersionLine(QStringLiteral("2.1.4.18"), SplitBuildDate(QStringLiteral("Nov  6 2013"))),
              QStringLiteral("Версия 2.1.4.18 от 6 ноября 2013 г."));
    EXPECT_EQ(VersionLine(QStringLiteral("2.1.4.18"), SplitBuildDate(QStringLiteral("May 21 2024"))),
              QStringLiteral("Версия 2.1.4.18 от 21 мая 2024 г."));

    const struct {
        const char* abbreviation;
        const char* text;
    } months[] = {
        {"Jan", " января "}, {"Feb", " февраля "}, {"Mar", " марта "},       {"Apr", " апреля "},
        {"May", " мая "},    {"Jun", " июня "},    {"Jul", " июля "},        {"Aug", " августа "},
        {"Sep", " сентября "}, {"Oct", " октября "}, {"Nov", " ноября "},    {"Dec", " декабря "},
        {"September", " сентября "},  // the first three characters count
        {"Xyz", " января "},   {"nov", " января "},  {"", " января "},
    };
    for (const auto& m : months)
        EXPECT_EQ(MonthText(QString::fromLatin1(m.abbreviation)), QString::fromUtf8(m.text)) << m.abbreviation;

    const BuildDate parts = SplitBuildDate(QStringLiteral("  Dec   31    1999 "));
    EXPECT_EQ(parts.month, QStringLiteral("Dec"));
    EXPECT_EQ(parts.day, QStringLiteral("31"));
    EXPECT_EQ(parts.year, QStringLiteral("1999"));
    EXPECT_EQ(SplitBuildDate(QStringLiteral("Dec")).year, QString());

    const BuildDate program = ProgramBuildDate();
    EXPECT_EQ(program.year.size(), 4) << "the compiler's own date";
    EXPECT_EQ(&ProgramBuildDate(), &ProgramBuildDate()) << "split once";
}

TEST(HelpFilesTest, TheManualIsBesideTheProgramOrInItsInstalledShareFolder) {
    QTemporaryDir root;
    const QString portable = root.filePath(QStringLiteral("portable"));
    const QString prefix = root.filePath(QStringLiteral("usr"));
    for (const QString& folder : {portable + QStringLiteral("/Help"), prefix + QStringLiteral("/bin"),
                                  prefix + QStringLiteral("/share/vel/Help"), root.filePath(QStringLiteral("none"))})
        ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString& manual : {portable + QStringLiteral("/Help/index.html"), prefix + QStringLiteral("/share/vel/Help/index.html")}) {
        QFile file(manual);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(ManualFile(portable), portable + QStringLiteral("/Help/index.html"));
    EXPECT_EQ(ManualFile(prefix + QStringLiteral("/bin")), prefix + QStringLiteral("/share/vel/Help/index.html"));
    EXPECT_EQ(ManualFile(root.filePath(QStringLiteral("none"))), QString());
    EXPECT_EQ(CompiledHelpFile(), QDir::current().filePath(QStringLiteral("Help/VEL1Help.chm")));
}

}  // namespace
