#pragma once

// The benchmarks' main window runs on the tests' fakes: a folder of its own,
// no process exit, and dialogs that answer at once.

#include "archive/Archive.h"
#include "support/FakeEnvironment.h"
#include "support/Records.h"

// Every file dialog chooses path, every question is answered Yes.
inline void AnswerEverything(FakeEnvironment& env, const QString& path) {
    env.fileDialogs.whenScriptEnds = path;
    env.messageBoxes.whenScriptEnds = MessageBox::IDYES;
}

// The program's archive full of plausible measurements.
inline void FillArchive() {
    FillPlausibleArchive(Archive);
}
