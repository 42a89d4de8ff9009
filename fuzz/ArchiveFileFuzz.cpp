// The archive file reader on any file: it takes the whole records the file
// holds, up to the room the archive has, byte for byte, tells each one as it
// comes, and the archive it leaves saves as the same bytes and shows as a
// table. The first input byte says how full the archive was before.

#include "archive/Archive.h"
#include "archive/ArchiveFile.h"
#include "archive/MeasurementTexts.h"
#include "archive/StringGrid.h"
#include "archive/TableRendering.h"
#include "fuzz/FuzzInput.h"
#include "protocol/DeviceRecord.h"

#include <QBuffer>
#include <QCoreApplication>

#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    static auto archive = std::make_unique<TArchive>();
    // Before: empty, one record short of full, full, or a few records.
    const std::uint8_t before = input.Byte();
    const int held = before == 1 ? ArchiveCapacity - 1 : before == 2 ? ArchiveCapacity : before % 8;
    archive->Count = held;
    std::memset(archive->Records, 0xee, sizeof archive->Records);

    const std::span<const std::uint8_t> bytes = input.Rest();
    QByteArray file(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&file);
    FUZZ_CHECK(buffer.open(QIODevice::ReadOnly));

    int told = held;
    ReadArchiveRecords(buffer, *archive, [&](int count) {
        FUZZ_CHECK(count == told + 1);
        told = count;
    });
    const int taken = std::min(static_cast<int>(bytes.size() / DeviceRecordSize), ArchiveCapacity - held);
    FUZZ_CHECK(archive->Count == held + taken);
    FUZZ_CHECK(told == archive->Count);
    FUZZ_CHECK(std::memcmp(&archive->Records[held], bytes.data(), taken * DeviceRecordSize) == 0);
    if (held + taken < ArchiveCapacity) {
        std::uint8_t after[DeviceRecordSize];
        std::memcpy(after, &archive->Records[held + taken], DeviceRecordSize);
        for (std::uint8_t b : after)
            FUZZ_CHECK(b == 0xee);  // nothing written past the records read
    }

    // Saved again: the records as they came.
    const QByteArrayView image = ArchiveFileImage(*archive);
    FUZZ_CHECK(image.size() == static_cast<qsizetype>(archive->Count) * 24);
    FUZZ_CHECK(std::memcmp(image.data() + held * DeviceRecordSize, bytes.data(), taken * DeviceRecordSize) == 0);

    if (held <= 8) {  // a full table of 2677 rows takes too long for every input
        TStringGrid grid(5, 2);
        ShowArchive(grid, *archive);
        FUZZ_CHECK(grid.RowCount() == archive->Count + 2);
        for (int row = 2; row < grid.RowCount(); ++row) {
            const auto texts = MeasurementRowTexts(archive->Records[archive->Count + 1 - row]);
            for (int col = 0; col < 5; ++col)
                FUZZ_CHECK(grid.Cells(col, row) == texts[col]);
        }
    }
    return 0;
}
