#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// The desktop's own programs: the browser for web pages and local HTML
// files, the mail program for "mailto:" addresses, and other installed
// programs (a help viewer) started on their own.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Hands the address to the program the desktop opens it with; false when
    // none would.
    virtual bool OpenUrl(const QUrl& url) = 0;
    // The full path of a program on the PATH, or empty.
    virtual QString FindProgram(const QString& name) = 0;
    // Starts a program that lives on after this one; false when it cannot.
    virtual bool StartProgram(const QString& program, const QStringList& arguments) = 0;
};

class QtDesktop final : public Desktop {
public:
    bool OpenUrl(const QUrl& url) override;
    QString FindProgram(const QString& name) override;
    bool StartProgram(const QString& program, const QStringList& arguments) override;
};
