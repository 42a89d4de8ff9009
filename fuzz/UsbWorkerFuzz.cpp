// The USB worker against a simulated meter whose answers the input shapes
// (UsbScript: records, part size, count, identification and a fault plan over
// every answer): a read and a screen read each come to rest within a bounded
// number of passes, the archive never holds more than it can, and only a read
// that ended well changes the table.

#include "archive/Archive.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/UsbScript.h"
#include "protocol/UsbLinkState.h"
#include "protocol/UsbLinkWorker.h"
#include "support/DirectWorkerThread.h"
#include "support/RecordingMainView.h"
#include "support/Records.h"
#include "support/SimulatedUsbMeter.h"
#include "transport/LibUsbWin32.h"

#include <QCoreApplication>

#include <memory>

namespace {

SimulatedUsbMeter* meter = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    static SimulatedUsbMeter simulated(VEL_FAKE_LIBUSB);
    meter = &simulated;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const UsbScript script = UsbScript::Decode(data, size);
    meter->Reset();
    meter->Set("VELSIM_LATENCY", "0");
    meter->Set("VELSIM_INSTANT_TIMEOUTS", "1");
    for (const auto& [name, value] : script.Settings())
        if (!meter->TrySet(name.c_str(), value.c_str()))
            return 0;

    static auto archive = std::make_unique<TArchive>();
    archive->Count = 3;
    for (int i = 0; i < 3; ++i)
        archive->Records[i] = MakeRecord(static_cast<std::uint16_t>(100 + i), 0, 0, 0, 1, 1, 20, 1.0f, 0, 0.0f);

    LibUsbWin32 usb(QString::fromUtf8(VEL_FAKE_LIBUSB));
    FUZZ_CHECK(usb.Initialize() == 0);
    DirectWorkerThread thread;
    RecordingMainView view;
    TLinkState state{LinkStates::FindMeter};
    TScreenBuffer screen;
    UsbLinkWorker worker(usb, thread, view, *archive, state, screen);

    // Every step of a read is one pass; a read that fails rests at once.
    for (int pass = 0; pass < 8 && state != LinkStates::Idle; ++pass)
        worker.Pass();
    FUZZ_CHECK(state == LinkStates::Idle);
    FUZZ_CHECK(archive->Count >= 0 && archive->Count <= ArchiveCapacity);
    FUZZ_CHECK(worker.DeviceIdent().size() <= DeviceIdentMaxLength);
    if (view.calls.contains(QStringLiteral("ShowArchive")))
        FUZZ_CHECK(view.calls.contains(QStringLiteral("ClearTable")));

    auto image = std::make_shared<TScreenImage>();
    screen.Store(image);
    state = LinkStates::ScreenImage;
    for (int pass = 0; pass < 8 && state != LinkStates::Idle; ++pass)
        worker.Pass();
    FUZZ_CHECK(state == LinkStates::Idle);
    usb.CloseDevice();
    usb.CloseLibUsb();
    return 0;
}
