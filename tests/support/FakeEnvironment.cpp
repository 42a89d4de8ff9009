#include "support/FakeEnvironment.h"

#include <QFile>

#include <stdexcept>

int ScriptedMessageBoxes::Show(const QString& text, const QString& caption, unsigned type) {
    shown.push_back({text, caption, type});
    if (answers.empty())
        return whenScriptEnds;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

bool ScriptedFileDialogs::Answer(bool save, TFileDialog& dialog) {
    shown.push_back({save, dialog});
    std::optional<QString> answer = whenScriptEnds;
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    if (!answer)
        return false;
    dialog.FileName = *answer;
    return true;
}

bool TestClipboard::SetText(const QString& text) {
    if (raises)
        throw std::runtime_error(*raises);
    return held ? false : real.SetText(text);
}

bool TestClipboard::SetImage(const QImage& image) {
    if (raises)
        throw std::runtime_error(*raises);
    return held ? false : real.SetImage(image);
}

bool ScriptedColorDialogs::Execute(TColor& colour) {
    presets.push_back(colour);
    if (answers.empty())
        return false;
    const std::optional<TColor> answer = answers.front();
    answers.pop_front();
    if (!answer)
        return false;
    colour = *answer;
    return true;
}

FakeEnvironment::FakeEnvironment() {
    commApi.AddDevice(QStringLiteral("\\\\.\\COM1"));
    commApi.LoopRtsToCts();
    comPorts.names = {QStringLiteral("COM1")};
}

void FakeEnvironment::WriteSettings(const QByteArray& content) const {
    QFile file(SettingsFile());
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}
