#pragma once

#include <QString>

// Message boxes with the flags and results of the Windows message box call the
// program's dialogs were designed with: a type made of one button set, one
// icon, one default button and modality flags; the result names the button.
namespace MessageBox {

// Button sets.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_ABORTRETRYIGNORE = 0x2;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_RETRYCANCEL = 0x5;
// Icons.
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
// Default button (the first one unless one of these is given).
inline constexpr unsigned MB_DEFBUTTON2 = 0x100;
inline constexpr unsigned MB_DEFBUTTON3 = 0x200;
// Modality.
inline constexpr unsigned MB_TASKMODAL = 0x2000;

// Results.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

}  // namespace MessageBox

// Shows a message box without an owner window and returns the button chosen.
// Blocks the caller until the user answers; the window stays responsive.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual int Show(const QString& text, const QString& caption, unsigned type) = 0;
};
