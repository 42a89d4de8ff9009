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

bool QtClipboard::SetImage(const QImage& image) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setImage(image);
    return !clipboard->image().isNull();
}
