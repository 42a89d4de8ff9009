#include "platform/VersionRecord.h"

std::optional<QString> VersionBlock::Query(const QString& path) const {
    const auto found = strings.find(path);
    if (found == strings.end())
        return std::nullopt;
    return found->second;
}

int CompiledVersionRecord::InfoSize() const {
    return 1;  // there is always one
}

std::optional<VersionBlock> CompiledVersionRecord::Read() const {
    const QString table = QStringLiteral("\\StringFileInfo\\041904E3\\");
    VersionBlock block;
    block.translation = QByteArray("\x19\x04\xE3\x04", 4);  // 0x0419 Russian, 0x04E3 code page 1251
    block.strings = {
        {table + QStringLiteral("InternalName"), QStringLiteral("vel")},
        {table + QStringLiteral("FileVersion"), QStringLiteral(VEL_FILE_VERSION)},
        {table + QStringLiteral("LegalCopyright"), QStringLiteral("© ООО «Пример-Прибор», г. Примерск")},
    };
    return block;
}
