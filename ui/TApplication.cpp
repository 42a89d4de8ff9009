#include "ui/TApplication.h"

#include "app/ApplicationTitle.h"

#include <QDebug>

#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void TApplication::SetMessageBoxes(MessageBoxes* boxes) {
    boxes_ = boxes ? boxes : &realBoxes_;
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ReportException(QString::fromUtf8(e.what()), receiver);
    } catch (...) {
        ReportException(QStringLiteral("Неизвестная ошибка."), receiver);
    }
    return false;
}

void TApplication::ReportException(const QString& text, const QObject* receiver) {
    qCritical().noquote() << "exception from a command of" << (receiver ? receiver->metaObject()->className() : "?")
                          << "reported to the user:" << text;
    boxes_->Show(text, ApplicationTitle(), MessageBox::MB_OK | MessageBox::MB_ICONERROR);
}
