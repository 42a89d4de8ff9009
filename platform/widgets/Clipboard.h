#pragma once

#include <QImage>
#include <QString>

// The system clipboard, for text and pictures the user pastes into other
// programs.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Replace the clipboard's content with Unicode text, or with a picture.
    // Return false, with the clipboard left as it was, when the clipboard
    // could not be taken.
    virtual bool SetText(const QString& text) = 0;
    virtual bool SetImage(const QImage& image) = 0;
};

class QtClipboard final : public Clipboard {
public:
    bool SetText(const QString& text) override;
    bool SetImage(const QImage& image) override;
};
