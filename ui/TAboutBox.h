#pragma once

#include <QDialog>

class Desktop;
class QFrame;
class QLabel;
class QPushButton;

// The About box: the program's title, version line and build date, the
// maker's copyright and telephone, and links to the maker's web site and
// e-mail addresses, which the desktop opens.
class TAboutBox final : public QDialog {
    Q_OBJECT

public:
    // The maker's web site, opened by the logo and the address label.
    static const QString MakerSite;

    // Runs FormCreate. The desktop outlives the box.
    TAboutBox(Desktop& desktop, QWidget* parent = nullptr);

    // The caption "О программе " and the executable's name; ProductName the
    // application title.
    void FormCreate();
    // Starts a message to the clicked label's own address.
    void LabelEMailClick(QLabel* label);
    void LabelWWWClick();

    QFrame* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* txtCopyright = nullptr;
    QLabel* LabelFax = nullptr;
    QLabel* Comments = nullptr;
    QLabel* LabelMulti = nullptr;
    QLabel* LabelSite = nullptr;
    QLabel* LabelWWW = nullptr;
    QLabel* LabelInfo = nullptr;
    QLabel* LabelEMail = nullptr;
    QLabel* LabelTech = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* OKButton = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Desktop& desktop_;
};
