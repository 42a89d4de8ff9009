#pragma once

#include <QDialog>

class ComPortOpening;
class LibUsbWin32;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

// The port dialog: choose USB or one of the COM ports present. A choice is
// stored in the settings at once and tested at once: a COM port is opened
// with the line test (no questions), USB only loads the USB library. The
// label under the box tells the outcome.
class TfrmConfig : public QDialog {
    Q_OBJECT

public:
    // ports and usb outlive the dialog.
    TfrmConfig(ComPortOpening& ports, LibUsbWin32& usb, QWidget* parent = nullptr);

    // The user chose another item (or the same one again): store, release
    // the links, test, tell.
    void ComboBoxCOMPortNumChange();

    QGroupBox* GroupBoxCOM = nullptr;
    QComboBox* ComboBoxCOMPortNum = nullptr;
    QLabel* LabelCOMPortHelp = nullptr;
    QPushButton* btnOK = nullptr;

private:
    void FormCreate();
    // Closes whatever link is open, the USB device and the COM port, and
    // gives the device a moment.
    void ReleaseLinks();
    void SetLabel(const QString& text, int left);

    ComPortOpening& ports_;
    LibUsbWin32& usb_;
    bool filling_ = false;
};
