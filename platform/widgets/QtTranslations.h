#pragma once

class QCoreApplication;

// Installs Qt's own Russian texts (dialog buttons, file dialogs, print
// dialogs). Returns false when the translation files are not installed; the
// program then shows Qt's English button texts and works on.
bool InstallQtRussianTranslations(QCoreApplication& app);
