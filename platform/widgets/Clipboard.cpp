#include "Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

bool QtClipboard::SetText(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setText(text);
    // Another program may keep the clipboard (Qt only warns then): what reads
    // back tells whether the text arrived.
    return clipboard->text() == text;
}
