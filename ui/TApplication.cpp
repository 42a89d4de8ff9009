#include "ui/TApplication.h"

#include "app/ApplicationTitle.h"

#include <QDebug>

#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void TApplication::SetMessageBoxes(MessageBoxes* boxes) {
    boxes_ = boxes ? boxes : &realBoxes_;
}

bool TApplication::RunGuarded(const std::function<void()>& work) {
    auto* app = qobject_cast<TApplication*>(QCoreApplication::instance());
    if (!app) {
        work();
        return true;
    }
    try {
        work();
        return true;
    } catch (const std::exception& e) {
        app->Report(QString::fromUtf8(e.what()));
    } catch (...) {
        app->Report(QStringLiteral("Неизвестная ошибка."));
    }
    return false;
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    RunGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

void TApplication::Report(const QString& text) {
    qCritical().noquote() << "exception reported to the user:" << text;
    boxes_->Show(text, ApplicationTitle(), MessageBox::MB_OK | MessageBox::MB_ICONERROR);
}
