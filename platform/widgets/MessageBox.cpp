#include "MessageBox.h"

#include <QMessageBox>

#include <utility>
#include <vector>

using namespace MessageBox;

namespace {

using Button = std::pair<QMessageBox::StandardButton, int>;

std::vector<Button> ButtonsOf(unsigned type) {
    switch (type & 0xF) {
    case MB_OKCANCEL:
        return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL:
        return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default:
        return {{QMessageBox::Ok, IDOK}};
    }
}

QMessageBox::Icon IconOf(unsigned type) {
    switch (type & 0xF0) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

}  // namespace

int QtMessageBoxes::Show(const QString& text, const QString& caption, unsigned type) {
    QMessageBox box(IconOf(type), caption, text);
    box.setWindowModality(Qt::ApplicationModal);
    const std::vector<Button> buttons = ButtonsOf(type);
    QMessageBox::StandardButtons set;
    for (const Button& b : buttons)
        set |= b.first;
    box.setStandardButtons(set);

    const std::size_t preselected = (type & MB_DEFBUTTON3) ? 2 : (type & MB_DEFBUTTON2) ? 1 : 0;
    box.setDefaultButton(buttons[preselected < buttons.size() ? preselected : 0].first);
    // Like the original boxes, only a set with Cancel (or a lone OK) may be
    // closed without choosing; Abort/Retry/Ignore and Yes/No must be answered.
    if (set & QMessageBox::Cancel)
        box.setEscapeButton(QMessageBox::Cancel);
    else if (buttons.size() == 1)
        box.setEscapeButton(QMessageBox::Ok);

    const auto chosen = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const Button& b : buttons)
        if (b.first == chosen)
            return b.second;
    return buttons.size() == 1 ? IDOK : IDCANCEL;
}
