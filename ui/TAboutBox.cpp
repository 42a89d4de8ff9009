#include "ui/TAboutBox.h"

#include "app/ApplicationTitle.h"
#include "platform/widgets/Desktop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

// The maker is fictional; its addresses are under the reserved example domain.
const QString TAboutBox::MakerSite = QStringLiteral("http://www.example.com/");

namespace {

QLabel* Label(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

// Blue, underlined, a hand cursor: a link the user clicks.
void MakeLink(QLabel* label, const QString& hint) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(palette);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    label->setCursor(Qt::PointingHandCursor);
    label->setToolTip(hint);
}

}  // namespace

TAboutBox::TAboutBox(Desktop& desktop, QWidget* parent) : QDialog(parent), desktop_(desktop) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("О программе..."));
    setFixedSize(306, 269);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);
    Panel1->setGeometry(8, 8, 289, 201);

    const QString siteHint = QStringLiteral("Открыть сайт производителя");
    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(8, 16, 74, 45);
    Image1->setScaledContents(true);
    Image1->setPixmap(QIcon(QStringLiteral(":/icons/vel.svg")).pixmap(74, 45));
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->setToolTip(siteHint);

    ProductName = Label(Panel1, "ProductName", QStringLiteral("Product Name"), 88, 16);
    Version = Label(Panel1, "Version", QStringLiteral("Version"), 88, 40);
    txtCopyright = Label(Panel1, "txtCopyright", QStringLiteral("ООО «Пример-Прибор», г. Примерск"), 8, 72);
    txtCopyright->setFixedSize(178, 17);
    LabelFax = Label(Panel1, "LabelFax", QStringLiteral("тел./факс."), 8, 96);
    Comments = Label(Panel1, "Comments", QStringLiteral("(000) 000-00-00, 000-00-01"), 72, 96);
    Comments->setWordWrap(true);
    Comments->setFixedSize(96, 39);
    Comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelMulti = Label(Panel1, "LabelMulti", QStringLiteral("(многоканальный)"), 168, 96);
    LabelSite = Label(Panel1, "LabelSite", QStringLiteral("Сайт:"), 40, 144);
    LabelWWW = Label(Panel1, "LabelWWW", QStringLiteral("www.example.com"), 162, 144);
    MakeLink(LabelWWW, siteHint);
    LabelInfo = Label(Panel1, "LabelInfo", QStringLiteral("Общие вопросы:"), 40, 160);
    LabelEMail = Label(Panel1, "LabelEMail", QStringLiteral("info@example.com"), 162, 160);
    MakeLink(LabelEMail, QStringLiteral("Написать письмо"));
    LabelTech = Label(Panel1, "LabelTech", QStringLiteral("Техподдержка:"), 40, 176);
    Label1 = Label(Panel1, "Label1", QStringLiteral("support@example.com"), 162, 176);
    MakeLink(Label1, QStringLiteral("Написать письмо"));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(120, 228, 82, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    for (QLabel* link : {Image1, LabelWWW, LabelEMail, Label1})
        link->installEventFilter(this);

    // Centred on the main window.
    if (parent)
        move(parent->geometry().center() - rect().center());
    FormCreate();
}

void TAboutBox::FormCreate() {
    setWindowTitle(QStringLiteral("О программе ") +
                   QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    ProductName->setText(ApplicationTitle());
    ProductName->adjustSize();
}

void TAboutBox::LabelEMailClick(QLabel* label) {
    desktop_.OpenUrl(QUrl(QStringLiteral("mailto:") + label->text()));
}

void TAboutBox::LabelWWWClick() {
    desktop_.OpenUrl(QUrl(MakerSite));
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == LabelEMail || watched == Label1) {
            LabelEMailClick(static_cast<QLabel*>(watched));
            return true;
        }
        if (watched == LabelWWW || watched == Image1) {
            LabelWWWClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
