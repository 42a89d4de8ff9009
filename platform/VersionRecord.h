#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>

// The program's version record, read the way the platform the program was
// designed on reads an executable's version resource: first its size (0:
// there is none), then the block, then values by path: the translation under
// "\VarFileInfo\Translation" (language and code page words, little-endian),
// the texts under "\StringFileInfo\041904E3\FileVersion" and the like.

struct VersionBlock {
    QByteArray translation;
    std::map<QString, QString> strings;  // by their whole path

    // The text at path, or nothing.
    std::optional<QString> Query(const QString& path) const;
};

class VersionRecords {
public:
    virtual ~VersionRecords() = default;
    virtual int InfoSize() const = 0;
    virtual std::optional<VersionBlock> Read() const = 0;
};

// This program's record, compiled in: Russian, code page 1251, InternalName
// "vel", FileVersion the project's version, the maker's copyright line.
class CompiledVersionRecord final : public VersionRecords {
public:
    int InfoSize() const override;
    std::optional<VersionBlock> Read() const override;
};
