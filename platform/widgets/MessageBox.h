#pragma once

#include "platform/MessageBox.h"

// The real message box: a Qt message box whose buttons carry the Russian texts
// of Qt's own translations.
class QtMessageBoxes final : public MessageBoxes {
public:
    int Show(const QString& text, const QString& caption, unsigned type) override;
};
