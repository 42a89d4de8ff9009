#pragma once

#include <QString>

// The system clipboard, for text the user pastes into other programs.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Replaces the clipboard's content with Unicode text. Returns false, with
    // the clipboard left as it was, when the clipboard could not be taken.
    virtual bool SetText(const QString& text) = 0;
};

class QtClipboard final : public Clipboard {
public:
    bool SetText(const QString& text) override;
};
