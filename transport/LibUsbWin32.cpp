#include "transport/LibUsbWin32.h"

#include "app/LinkLog.h"
#include "app/MessageTable.h"
#include "platform/DynamicLibrary.h"

#include <usb.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>
#include <vector>

LibUsbWin32 LibUSB;

namespace {

// Every function of the libusb-win32 API, in the order they are resolved.
// Debian's libusb 0.1 exports the 25 marked required; the asynchronous
// transfers, usb_get_version and the driver installers exist only in the
// Windows build. The program calls ten of the required ones and none of the
// others, so a library without those still serves.
enum EntryPoint {
    UsbBulkRead, UsbBulkSetupAsync, UsbBulkWrite, UsbCancelAsync, UsbClaimInterface, UsbClearHalt, UsbClose,
    UsbControlMsg, UsbDevice, UsbFindBusses, UsbFindDevices, UsbFreeAsync, UsbGetBusses, UsbGetDescriptor,
    UsbGetDescriptorByEndpoint, UsbGetString, UsbGetStringSimple, UsbGetVersion, UsbInit, UsbInstallDriverNp,
    UsbInstallDriverNpRundll, UsbInstallNeedsRestartNp, UsbInstallServiceNp, UsbInstallServiceNpRundll,
    UsbInterruptRead, UsbInterruptSetupAsync, UsbInterruptWrite, UsbIsochronousSetupAsync, UsbOpen, UsbReapAsync,
    UsbReapAsyncNocancel, UsbReleaseInterface, UsbReset, UsbResetep, UsbSetAltinterface, UsbSetConfiguration,
    UsbSetDebug, UsbStrerror, UsbSubmitAsync, UsbTouchInfFileNp, UsbTouchInfFileNpRundll, UsbUninstallServiceNp,
    UsbUninstallServiceNpRundll,
};

struct EntryPointName {
    const char* name;
    bool required;
};

constexpr std::array<EntryPointName, LibUsbWin32::EntryPointCount> EntryPointNames = {{
    {"usb_bulk_read", true},
    {"usb_bulk_setup_async", false},
    {"usb_bulk_write", true},
    {"usb_cancel_async", false},
    {"usb_claim_interface", true},
    {"usb_clear_halt", true},
    {"usb_close", true},
    {"usb_control_msg", true},
    {"usb_device", true},
    {"usb_find_busses", true},
    {"usb_find_devices", true},
    {"usb_free_async", false},
    {"usb_get_busses", true},
    {"usb_get_descriptor", true},
    {"usb_get_descriptor_by_endpoint", true},
    {"usb_get_string", true},
    {"usb_get_string_simple", true},
    {"usb_get_version", false},
    {"usb_init", true},
    {"usb_install_driver_np", false},
    {"usb_install_driver_np_rundll", false},
    {"usb_install_needs_restart_np", false},
    {"usb_install_service_np", false},
    {"usb_install_service_np_rundll", false},
    {"usb_interrupt_read", true},
    {"usb_interrupt_setup_async", false},
    {"usb_interrupt_write", true},
    {"usb_isochronous_setup_async", false},
    {"usb_open", true},
    {"usb_reap_async", false},
    {"usb_reap_async_nocancel", false},
    {"usb_release_interface", true},
    {"usb_reset", true},
    {"usb_resetep", true},
    {"usb_set_altinterface", true},
    {"usb_set_configuration", true},
    {"usb_set_debug", true},
    {"usb_strerror", true},
    {"usb_submit_async", false},
    {"usb_touch_inf_file_np", false},
    {"usb_touch_inf_file_np_rundll", false},
    {"usb_uninstall_service_np", false},
    {"usb_uninstall_service_np_rundll", false},
}};

// A resolved entry point as the function usb.h declares.
template <auto Declared>
auto As(void* address) {
    return reinterpret_cast<decltype(Declared)>(address);
}

struct ErrorText {
    int code;
    const char* russian;  // nullptr: the English text in both languages
    const char* english;
};

// libusb 0.1 reports the negative errno; the texts go by the errno's meaning,
// so the platform's numbers apply (ENAMETOOLONG, ENOTEMPTY and ETIMEDOUT
// differ between C runtimes).
const ErrorText ErrorTexts[] = {
    {-EPERM, "LibUsb: Операция запрещена", "LibUsb: Operation not permitted"},
    {-ENOENT, "LibUsb: Нет такого файла или папки", "LibUsb: No entry, ENOFILE, no such file or directory"},
    {-ESRCH, "LibUsb: Нет такого процесса", "LibUsb: No such process"},
    {-EINTR, "LibUsb: Прерванный вызов функции", "LibUsb: Interrupted function call"},
    {-EIO, "LibUsb: Ошибка ввода/вывода", "LibUsb: I/O error"},
    {-ENXIO, "LibUsb: Нет такого устройства или адреса", "LibUsb: No such device or address"},
    {-E2BIG, "LibUsb: Слишком длинный список аргументов", "LibUsb: Arg list too long"},
    {-ENOEXEC, "LibUsb: Ошибка формата", "LibUsb: Exec format error"},
    {-EBADF, "LibUsb: Неверный дескриптор", "LibUsb: Bad file descriptor"},
    {-ECHILD, "LibUsb: Нет порожденных процессов", "LibUsb: No child processes"},
    {-EAGAIN, "LibUsb: Ресурс временно недоступен", "LibUsb: Resource temporarily unavailable"},
    {-ENOMEM, "LibUsb: Не хватает места", "LibUsb: Not enough space"},
    {-EACCES, "LibUsb: Доступ запрещен", "LibUsb: Permission denied"},
    {-EFAULT, "LibUsb: Неверный адрес", "LibUsb: Bad address"},
    {-EBUSY, nullptr, "LibUsb: strerror reports \"Resource device\""},
    {-EEXIST, "LibUsb: Файл существует", "LibUsb: File exists"},
    {-EXDEV, "LibUsb: Неправильная ссылка", "LibUsb: Improper link (cross-device link?)"},
    {-ENODEV, "LibUsb: Нет такого устройства", "LibUsb: No such device"},
    {-ENOTDIR, "LibUsb: Нет такой папки", "LibUsb: Not a directory"},
    {-EISDIR, nullptr, "LibUsb: Is a directory"},
    {-EINVAL, "LibUsb: Неправильный аргумент", "LibUsb: Invalid argument"},
    {-ENFILE, "LibUsb: Слишком много открытых файлов в системе", "LibUsb: Too many open files in system"},
    {-EMFILE, "LibUsb: Слишком много открытых файлов", "LibUsb: Too many open files"},
    {-ENOTTY, "LibUsb: Неправильная операция ввода/вывода", "LibUsb: Inappropriate I/O control operation"},
    {-EFBIG, "LibUsb: Файл слишком велик", "LibUsb: File too large"},
    {-ENOSPC, "LibUsb: Нет свободного места на устройстве", "LibUsb: No space left on device"},
    {-ESPIPE, nullptr, "LibUsb: Invalid seek (seek on a pipe?)"},
    {-EROFS, "LibUsb: Файловая система только для чтения", "LibUsb: Read-only file system"},
    {-EMLINK, "LibUsb: Слишком много ссылок", "LibUsb: Too many links"},
    {-EPIPE, "LibUsb: Обрыв в канале", "LibUsb: Broken pipe"},
    {-EDOM, nullptr, "LibUsb: Domain error (math functions)"},
    {-ERANGE, "LibUsb: Результат слишком велик (или мал)", "LibUsb: Result too large (possibly too small)"},
    {-ENAMETOOLONG, "LibUsb: Слишком длинное имя файла", "LibUsb: Filename too long"},
    {-ENOTEMPTY, "LibUsb: Папка не пуста", "LibUsb: Directory not empty"},
    {-ETIMEDOUT, "LibUsb: Тайм-аут", "LibUsb: Time-out"},
};

const QString NotConnectedText = QStringLiteral(
    "Прибор не подключен к шине USB или выключен. Включите прибор, подключите его к шине USB и перезапустите "
    "программу.");

QString Hex(std::uint8_t byte) {
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

// " (" the first byte, then the second to fourth as far as the length goes, ")".
QString ByteList(const std::uint8_t* bytes, unsigned length) {
    QString list = QStringLiteral(" (") + Hex(bytes[0]);
    for (unsigned i = 1; i < std::min(length, 4u); ++i)
        list += QLatin1Char(' ') + Hex(bytes[i]);
    return list + QLatin1Char(')');
}

}  // namespace

LibUsbWin32::LibUsbWin32(QString libraryFile) : libraryFile_(std::move(libraryFile)) {}

LibUsbWin32::~LibUsbWin32() {
    std::lock_guard<std::mutex> hold(lock_);
    if (usb_dev_handle* device = deviceHandle_.exchange(nullptr))
        As<&::usb_close>(entryPoints_[UsbClose])(device);
    Unload();
}

int LibUsbWin32::Initialize() {
    WriteLinkLog(QStringLiteral("============================="));
    WriteLinkLog(QStringLiteral("=    Initialize LibUsb      ="));
    WriteLinkLog(QStringLiteral("============================="));
    std::lock_guard<std::mutex> hold(lock_);
    if (isLibraryLoaded())
        return 0;

    WriteLinkLog(QStringLiteral("LoadLibrary(\"%1\");").arg(libraryFile_));
    DynamicLibrary::Handle library = DynamicLibrary::Load(libraryFile_);
    if (!library)
        return 1;
    WriteLinkLog(QStringLiteral("LibUsb loaded!"));
    WriteLinkLog(QStringLiteral("Library initialize..."));

    std::array<void*, EntryPointCount> resolved{};
    for (std::size_t i = 0; i < EntryPointNames.size(); ++i) {
        resolved[i] = DynamicLibrary::Symbol(library, EntryPointNames[i].name);
        if (!resolved[i] && EntryPointNames[i].required) {
            // Not kept: nothing of it may be called.
            DynamicLibrary::Unload(library);
            return 2;
        }
    }
    entryPoints_ = resolved;
    libraryHandle_.store(library, std::memory_order_release);
    As<&::usb_init>(entryPoints_[UsbInit])();
    WriteLinkLog(QStringLiteral("Library initialized!"));
    return 0;
}

int LibUsbWin32::FindDevice(const StatusReport& showStatus) {
    std::vector<QString> shown;
    int result = 1;
    {
        std::lock_guard<std::mutex> hold(lock_);
        WriteLinkLog(QStringLiteral("Find buses and devices..."));
        struct usb_device* meter = nullptr;
        if (isLibraryLoaded()) {
            // Below 0: there is no bus at all, which only means no meter.
            bussesChanged_ = std::max(As<&::usb_find_busses>(entryPoints_[UsbFindBusses])(), 0);
            devicesChanged_ = std::max(As<&::usb_find_devices>(entryPoints_[UsbFindDevices])(), 0);
            WriteLinkLog(QStringLiteral("Buses and devices found!"));
            WriteLinkLog(QStringLiteral("Device search..."));
            for (struct usb_bus* bus = As<&::usb_get_busses>(entryPoints_[UsbGetBusses])(); bus && !meter;
                 bus = bus->next)
                for (struct usb_device* device = bus->devices; device && !meter; device = device->next)
                    if (device->descriptor.idVendor == VendorId && device->descriptor.idProduct == ProductId)
                        meter = device;
        }

        if (meter && bussesChanged_ == 0 && devicesChanged_ == 0 && isDeviceOpened())
            return 0;  // nothing changed on the buses: the open meter is still the one

        // A handle replaced or forgotten is given back first, so no claim on
        // the meter outlives it.
        CloseDeviceLocked();
        // A meter unplugged since the scan can't be opened: not there after all.
        usb_dev_handle* device = meter ? As<&::usb_open>(entryPoints_[UsbOpen])(meter) : nullptr;
        if (device) {
            deviceHandle_.store(device, std::memory_order_release);
            const int configured = As<&::usb_set_configuration>(entryPoints_[UsbSetConfiguration])(device, Configuration);
            if (configured < 0)
                shown.push_back(GetErrorText(configured));
            const int claimed = As<&::usb_claim_interface>(entryPoints_[UsbClaimInterface])(device, Interface);
            if (claimed < 0)
                shown.push_back(GetErrorText(claimed));
            WriteLinkLog(QStringLiteral("Device found!"));
            result = 0;
        } else {
            WriteLinkLog(QStringLiteral("Device NOT found!"));
            shown.push_back(NotConnectedText);
        }
    }
    if (showStatus)
        for (const QString& text : shown)
            showStatus(text);
    return result;
}

int LibUsbWin32::WriteData(const std::uint8_t* bytes, unsigned length) {
    // The library takes the bytes through the same kind of pointer a read fills.
    return Transfer(true, const_cast<std::uint8_t*>(bytes), length);
}

int LibUsbWin32::ReadData(std::uint8_t* buffer, unsigned length) {
    return Transfer(false, buffer, length);
}

int LibUsbWin32::Transfer(bool write, std::uint8_t* data, unsigned length) {
    std::lock_guard<std::mutex> hold(lock_);
    const int size = static_cast<int>(std::min<unsigned>(length, INT_MAX));
    usb_dev_handle* device = DeviceHandle();
    int result = -ENODEV;  // closed meanwhile (the port dialog closes the library)
    if (device && write)
        result = As<&::usb_bulk_write>(entryPoints_[UsbBulkWrite])(device, OutEndpoint,
                                                                    reinterpret_cast<char*>(data), size,
                                                                    TransferTimeout);
    else if (device)
        result = As<&::usb_bulk_read>(entryPoints_[UsbBulkRead])(device, InEndpoint, reinterpret_cast<char*>(data),
                                                                  size, TransferTimeout);

    const QString prefix = write ? QStringLiteral("LibUsb WriteData(), ") : QStringLiteral("LibUsb ReadData(), ");
    if (result == static_cast<int>(length) && data)
        WriteLinkLog(prefix + QString::number(length) + QStringLiteral(" byte(s), OK") + ByteList(data, length));
    else
        WriteLinkLog(prefix + QString::number(length) + QStringLiteral(" byte(s), ERROR ") + GetErrorText(result));
    return result;
}

void LibUsbWin32::CloseDevice() {
    std::lock_guard<std::mutex> hold(lock_);
    CloseDeviceLocked();
    WriteLinkLog(QStringLiteral("Device closed! (DeviceHandle=NULL)"));
    WriteLinkLog(QStringLiteral("--------------"));
}

void LibUsbWin32::CloseDeviceLocked() {
    if (usb_dev_handle* device = deviceHandle_.exchange(nullptr, std::memory_order_acq_rel))
        As<&::usb_close>(entryPoints_[UsbClose])(device);
}

void LibUsbWin32::CloseLibUsb() {
    WriteLinkLog(QStringLiteral("LibUsb close..."));
    {
        std::lock_guard<std::mutex> hold(lock_);
        CloseDeviceLocked();
        Unload();
    }
    WriteLinkLog(QStringLiteral("LibUsb closed!"));
    WriteLinkLog(QStringLiteral("============================="));
}

void LibUsbWin32::Unload() {
    entryPoints_.fill(nullptr);
    DynamicLibrary::Unload(libraryHandle_.exchange(nullptr, std::memory_order_acq_rel));
}

QString LibUsbWin32::GetErrorText(int code) {
    if (code == 0)
        return {};
    for (const ErrorText& e : ErrorTexts)
        if (e.code == code)
            return QString::fromUtf8(LanguageIndex == 0 && e.russian ? e.russian : e.english);
    return QStringLiteral("LibUsb: Error ") + QString::number(code);
}
