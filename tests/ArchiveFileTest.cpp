#include "archive/ArchiveFile.h"

#include "archive/Archive.h"

#include <gtest/gtest.h>

#include <QBuffer>

#include <memory>

namespace {

TEST(ArchiveFile, VelExtensionIsAddedUnlessPresent) {
    struct Case {
        const char* chosen;
        const char* written;
    };
    const Case cases[] = {
        {"/data/report", "/data/report.Vel"},
        {"/data/report.VEL", "/data/report.VEL"},
        {"/data/report.vel", "/data/report.vel"},
        {"/data/report.Velvet", "/data/report.Velvet"},  // only the first four characters count
        {"/data/report.txt", "/data/report.txt.Vel"},
        {"/data/report.ve", "/data/report.ve.Vel"},
        {"/data/report.", "/data/report..Vel"},
        {"/data.vel/report", "/data.vel/report.Vel"},    // a dot in a folder name is no extension
        {"/data/.vel", "/data/.vel"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WithVelExtension(QString::fromUtf8(c.chosen)), QString::fromUtf8(c.written)) << c.chosen;
}

TEST(ArchiveFile, ReadsWholeRecordsUpToTheCapacity) {
    struct Case {
        qsizetype bytes;
        int records;
    };
    const Case cases[] = {
        {0, 0}, {23, 0}, {24, 1}, {100, 4}, {24 * 2677, 2677}, {24 * 3000, 2677},
    };
    for (const Case& c : cases) {
        QByteArray content(c.bytes, '\0');
        for (qsizetype i = 0; i < content.size(); ++i)
            content[i] = static_cast<char>(i * 7 + 3);
        QBuffer file(&content);
        file.open(QIODevice::ReadOnly);
        auto archive = std::make_unique<TArchive>();
        int calls = 0;
        ReadArchiveRecords(file, *archive, [&](int count) { EXPECT_EQ(count, ++calls); });
        EXPECT_EQ(archive->Count, c.records) << c.bytes;
        EXPECT_EQ(calls, c.records);
        EXPECT_EQ(ArchiveFileImage(*archive).toByteArray(), content.left(24 * c.records)) << c.bytes;
    }
}

}  // namespace
