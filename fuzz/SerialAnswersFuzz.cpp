// The serial answer checkers and the filling of records, on any bytes the line
// may bring: every slice of the input is offered as each kind of answer. A
// checker may take only what a meter could have sent (building the answer
// again gives the same bytes), and every record it passes fills a measurement
// whose texts the table can show.

#include "archive/Archive.h"
#include "archive/MeasurementTexts.h"
#include "archive/StringGrid.h"
#include "archive/TableRendering.h"
#include "fuzz/FuzzInput.h"
#include "protocol/DeviceRecord.h"
#include "protocol/SerialFrames.h"

#include <QCoreApplication>

#include <algorithm>
#include <memory>

namespace {

bool Same(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> line(data, size);
    static auto archive = std::make_unique<TArchive>();
    archive->Count = 0;

    for (std::size_t at = 0; at <= size; ++at) {
        const std::span<const std::uint8_t> rest = line.subspan(at);
        // The whole rest, and exactly as many bytes as an answer needs.
        for (std::size_t n : {rest.size(), IdentAnswerSize, CountAnswerSize, RecordAnswerSize}) {
            const std::span<const std::uint8_t> answer = rest.first(std::min(n, rest.size()));
            if (const auto chars = CheckIdentAnswer(answer)) {
                FUZZ_CHECK(Same(BuildIdentAnswer(*chars), answer));
                FUZZ_CHECK(IdentificationText(*chars).size() == 10);
            }
            if (const auto count = CheckCountAnswer(answer))
                FUZZ_CHECK(Same(BuildCountAnswer(*count), answer));
            if (const auto record = CheckRecordAnswer(answer)) {
                FUZZ_CHECK(Same(BuildRecordAnswer(record->record, record->next), answer));
                if (archive->Count < ArchiveCapacity) {
                    TMeasurement& m = archive->Records[archive->Count++];
                    m.Reserved = 0x5a;  // what the slot held: a read keeps it
                    FillRecord(record->record, m);
                    DeviceRecord back = ToDeviceRecord(m);
                    FUZZ_CHECK(back[9] == 0x5a);
                    back[9] = record->record[9];
                    FUZZ_CHECK(back == record->record);
                    for (const QString& text : MeasurementRowTexts(m))
                        FUZZ_CHECK(text.size() < 200);
                }
            }
        }
    }

    // The records the checkers passed, shown as the window shows them.
    TStringGrid grid(5, 2);
    ShowArchive(grid, *archive);
    FUZZ_CHECK(grid.RowCount() == archive->Count + 2);
    for (int i = 0; i < archive->Count; ++i)
        FUZZ_CHECK(grid.Cells(2, i + 2) == MeasurementRowTexts(archive->Records[archive->Count - 1 - i])[2]);
    return 0;
}
