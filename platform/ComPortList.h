#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The serial ports present, as the system lists them: the COM ports the
// program offers.
class ComPortList {
public:
    virtual ~ComPortList() = default;
    // One text per port present, "COM" followed by its number, in the order
    // the system gives them.
    virtual QStringList PresentPorts() = 0;
};

// The device behind COMn: the one the symlink ports/comN in dataFolder points
// at, when there is such a link (a port of any number 1 to 99 can be put
// there); otherwise /dev/ttyS(n−1) for n 1–32, /dev/ttyUSB(n−33) for 33–64 and
// /dev/ttyACM(n−65) for 65–96. Empty for any other n.
QString ComPortDevice(const QString& dataFolder, int n);

// The device a serial port name stands for: "\\.\COMn" (any case) is
// ComPortDevice(dataFolder, n); any other name is a path as it stands.
QString CommDeviceFor(const QString& name, const QString& dataFolder);

// Whether path leads to a serial device the program could open: a character
// device of the kernel's terminals, a pseudo-terminal included, and for a
// built-in serial port one that has hardware behind it (Linux makes ttyS0 to
// ttyS31 whether or not there is a UART). Nothing is opened to find out.
bool IsSerialDevice(const QString& path);

// The ports present on this machine: each n from 1 to 99 whose device is a
// serial device, ascending. dataFolder is asked at every listing.
class SystemComPorts final : public ComPortList {
public:
    explicit SystemComPorts(std::function<QString()> dataFolder) : dataFolder_(std::move(dataFolder)) {}
    QStringList PresentPorts() override;

private:
    std::function<QString()> dataFolder_;
};
