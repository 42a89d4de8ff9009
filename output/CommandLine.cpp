#include "output/CommandLine.h"

#include "report/ReportExport.h"

#include <algorithm>

namespace {

bool IsOurs(const QString& argument) {
    return argument == QLatin1String("--export") || argument == QLatin1String("--language") ||
           argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

QString Extensions() {
    QStringList extensions;
    for (const ExportFormat& format : ExportFormats())
        extensions << format.extension;
    return extensions.join(QStringLiteral(", "));
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
    CommandLine line;
    if (std::none_of(arguments.begin(), arguments.end(), IsOurs))
        return line;

    // The language first, so that every complaint is in it.
    for (qsizetype i = 0; i < arguments.size(); ++i)
        if (arguments[i] == QLatin1String("--language") && i + 1 < arguments.size())
            line.english = arguments[i + 1] == QLatin1String("en");
    const bool en = line.english;
    const auto wrong = [&](const QString& russian, const QString& english) {
        line.mode = CommandLine::Mode::Wrong;
        line.problem = (en ? english : russian) +
                       (en ? QStringLiteral(" See vel --help.") : QStringLiteral(" Справка: vel --help."));
        return line;
    };

    bool help = false;
    bool exporting = false;
    bool language = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            help = true;
        } else if (argument == QLatin1String("--language")) {
            if (language)
                return wrong(QStringLiteral("Язык указан дважды."), QStringLiteral("The language is given twice."));
            if (i + 1 >= arguments.size() ||
                (arguments[i + 1] != QLatin1String("ru") && arguments[i + 1] != QLatin1String("en")))
                return wrong(QStringLiteral("После --language укажите ru или en."),
                             QStringLiteral("--language takes ru or en."));
            language = true;
            ++i;
        } else if (argument == QLatin1String("--export")) {
            if (exporting)
                return wrong(QStringLiteral("--export указан дважды."), QStringLiteral("--export is given twice."));
            if (i + 2 >= arguments.size() || IsOurs(arguments[i + 1]) || IsOurs(arguments[i + 2]))
                return wrong(QStringLiteral("После --export укажите файл отчёта и файл архива."),
                             QStringLiteral("--export takes the report file and the archive file."));
            exporting = true;
            line.out = arguments[i + 1];
            line.archive = arguments[i + 2];
            i += 2;
        } else {
            return wrong(QStringLiteral("Непонятный аргумент «%1».").arg(argument),
                         QStringLiteral("Unknown argument \"%1\".").arg(argument));
        }
    }
    if (help) {
        line.mode = CommandLine::Mode::Help;
        return line;
    }
    if (!exporting)
        return wrong(QStringLiteral("Не указано, что делать."), QStringLiteral("Nothing to do."));
    if (!ExportFormatFor(line.out))
        return wrong(QStringLiteral("Формат файла %1 неизвестен; расширения: %2.").arg(line.out, Extensions()),
                     QStringLiteral("The format of %1 is unknown; extensions: %2.").arg(line.out, Extensions()));
    line.mode = CommandLine::Mode::Export;
    return line;
}

QString HelpText(bool english) {
    if (english)
        return QStringLiteral(
                   "Usage:\n"
                   "  vel                          open the program's window\n"
                   "  vel --export OUT ARCHIVE.Vel [--language en]\n"
                   "                               write the measurement report of an archive file\n"
                   "                               without a window; the format is OUT's extension:\n"
                   "                               %1\n"
                   "  vel --help                   show this text\n"
                   "\n"
                   "--language en gives the report's title and column heads and the messages in English.\n"
                   "Exit codes: 0 done, 1 a file could not be read or written, 2 a usage error.\n")
            .arg(Extensions());
    return QStringLiteral(
               "Запуск:\n"
               "  vel                          открыть окно программы\n"
               "  vel --export OUT ARCHIVE.Vel [--language en]\n"
               "                               записать отчёт об измерениях из файла архива\n"
               "                               без окна; формат задаёт расширение OUT:\n"
               "                               %1\n"
               "  vel --help                   показать эту справку\n"
               "\n"
               "С --language en заголовок и названия столбцов отчёта и сообщения будут на английском.\n"
               "Коды завершения: 0 готово, 1 файл не прочитан или не записан, 2 ошибка в аргументах.\n")
        .arg(Extensions());
}
