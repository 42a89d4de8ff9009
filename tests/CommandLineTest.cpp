#include "output/CommandLine.h"

#include <gtest/gtest.h>

namespace {

using Mode = CommandLine::Mode;

TEST(CommandLineTest, OurArgumentsMakeACommandAndAnythingElseOpensTheWindow) {
    const struct {
        QStringList arguments;
        Mode mode;
        const char* out;
        const char* archive;
        bool english;
        const char* problem;  // the start of it
    } cases[] = {
        {{}, Mode::Window, "", "", false, ""},
        {{"-platform", "offscreen"}, Mode::Window, "", "", false, ""},  // Qt's own
        {{"a.Vel"}, Mode::Window, "", "", false, ""},
        {{"--export", "r.pdf", "a.Vel"}, Mode::Export, "r.pdf", "a.Vel", false, ""},
        {{"--export", "R.XLSX", "a.Vel", "--language", "en"}, Mode::Export, "R.XLSX", "a.Vel", true, ""},
        {{"--language", "ru", "--export", "r.odt", "a.Vel"}, Mode::Export, "r.odt", "a.Vel", false, ""},
        {{"--help"}, Mode::Help, "", "", false, ""},
        {{"-h", "--language", "en"}, Mode::Help, "", "", true, ""},
        {{"--export", "r.pdf", "a.Vel", "--help"}, Mode::Help, "r.pdf", "a.Vel", false, ""},
        {{"--export", "r.pdf"}, Mode::Wrong, "", "", false, "После --export укажите файл отчёта и файл архива."},
        {{"--export", "r.pdf", "--language", "en"}, Mode::Wrong, "", "", true, "--export takes the report file"},
        {{"--export", "r.doc", "a.Vel"}, Mode::Wrong, "r.doc", "a.Vel", false,
         "Формат файла r.doc неизвестен; расширения: txt, xlsx, pdf, html, rtf, ods, odt."},
        {{"--export", "r", "a.Vel"}, Mode::Wrong, "r", "a.Vel", false, "Формат файла r неизвестен"},
        {{"--export", "r.pdf", "a.Vel", "b.Vel"}, Mode::Wrong, "r.pdf", "a.Vel", false, "Непонятный аргумент «b.Vel»."},
        {{"--export", "r.pdf", "a.Vel", "--export", "s.pdf", "b.Vel"}, Mode::Wrong, "r.pdf", "a.Vel", false,
         "--export указан дважды."},
        {{"--language", "de", "--export", "r.pdf", "a.Vel"}, Mode::Wrong, "", "", false,
         "После --language укажите ru или en."},
        {{"--language", "en"}, Mode::Wrong, "", "", true, "Nothing to do."},
        {{"--language", "en", "--language", "en", "-h"}, Mode::Wrong, "", "", true, "The language is given twice."},
        {{"--export", "r.pdf", "a.Vel", "-platform", "xcb"}, Mode::Wrong, "r.pdf", "a.Vel", false,
         "Непонятный аргумент «-platform»."},
    };
    for (const auto& c : cases) {
        const std::string name = c.arguments.join(' ').toStdString();
        const CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.mode, c.mode) << name;
        EXPECT_EQ(line.out, QString::fromUtf8(c.out)) << name;
        EXPECT_EQ(line.archive, QString::fromUtf8(c.archive)) << name;
        EXPECT_EQ(line.english, c.english) << name;
        const QString problem = QString::fromUtf8(c.problem);
        EXPECT_EQ(line.problem.left(problem.size()), problem) << name << ": " << line.problem.toStdString();
        if (c.mode == Mode::Wrong) {
            EXPECT_TRUE(line.problem.endsWith(c.english ? QStringLiteral("See vel --help.")
                                                        : QStringLiteral("Справка: vel --help.")))
                << name;
        }
        EXPECT_FALSE(line.problem.contains(QLatin1Char('\n'))) << name << ": one line";
    }
}

TEST(CommandLineTest, TheUsageNamesTheExportEveryFormatAndTheExitCodes) {
    for (bool english : {false, true}) {
        const QString help = HelpText(english);
        EXPECT_TRUE(help.contains(QStringLiteral("vel --export OUT ARCHIVE.Vel [--language en]")));
        EXPECT_TRUE(help.contains(QStringLiteral("txt, xlsx, pdf, html, rtf, ods, odt")));
        EXPECT_TRUE(help.contains(english ? QStringLiteral("Exit codes: 0") : QStringLiteral("Коды завершения: 0")));
        EXPECT_TRUE(help.endsWith(QLatin1Char('\n')));
    }
}

}  // namespace
