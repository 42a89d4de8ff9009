#pragma once

#include "platform/MessageBox.h"
#include "ui/TApplication.h"

#include <QCoreApplication>

// Sends the application's reports of failed commands to the test's boxes
// while it lives (in programs that run under the program's own application).
class ReportsTo {
public:
    explicit ReportsTo(MessageBoxes& boxes) : app_(qobject_cast<TApplication*>(QCoreApplication::instance())) {
        if (app_)
            app_->SetMessageBoxes(&boxes);
    }
    ~ReportsTo() {
        if (app_)
            app_->SetMessageBoxes(nullptr);
    }
    ReportsTo(const ReportsTo&) = delete;
    ReportsTo& operator=(const ReportsTo&) = delete;
    bool Installed() const { return app_ != nullptr; }

private:
    TApplication* app_;
};
