#include "report/ReportPreview.h"

#include "platform/MessageBox.h"
#include "platform/widgets/FileDialogs.h"
#include "report/PreparedReportFile.h"
#include "report/ReportPainter.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

// One page of the report at the preview's zoom, the found text marked.
class ReportPageView final : public QWidget {
public:
    explicit ReportPageView(QWidget* parent) : QWidget(parent) {}

    void Show(const PreparedReport* report, int page, double zoom, std::optional<FoundText> found) {
        report_ = report;
        page_ = page;
        zoom_ = zoom;
        found_ = found;
        setFixedSize(static_cast<int>(report->page.Width() * zoom), static_cast<int>(report->page.Height() * zoom));
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        if (!report_ || page_ < 0 || page_ >= static_cast<int>(report_->pages.size()))
            return;
        const PreparedPage& page = report_->pages[static_cast<std::size_t>(page_)];
        if (found_ && found_->page == page_) {
            const QRectF r = page.texts[static_cast<std::size_t>(found_->text)].rect;
            painter.fillRect(QRectF(r.x() * zoom_, r.y() * zoom_, r.width() * zoom_, r.height() * zoom_),
                             QColor(255, 236, 139));
        }
        PaintReportPage(painter, page, zoom_);
    }

private:
    const PreparedReport* report_ = nullptr;
    int page_ = 0;
    double zoom_ = 1;
    std::optional<FoundText> found_;
};

namespace {

constexpr double ZoomStep = 1.25;
constexpr double LeastZoom = 0.1;
constexpr double MostZoom = 8.0;

const QString ReportFilter = QStringLiteral("Подготовленный отчёт (*.velrep)|*.velrep");
// Reports shorter than this are exported before a progress window would
// have been seen.
constexpr int ProgressFromPages = 10;

}  // namespace

TReportPreview::TReportPreview(PreparedReport report, Relayout relayout, FileDialogs& dialogs,
                               MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), report_(std::move(report)), relayout_(std::move(relayout)), dialogs_(dialogs), boxes_(boxes) {
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(QStringLiteral("Предварительный просмотр"));
    setModal(true);
    setWindowState(Qt::WindowMaximized);

    ToolBar = new QToolBar(this);
    const auto add = [this](const char* name, const char* text, auto slot) {
        QAction* action = ToolBar->addAction(QString::fromUtf8(text), this, slot);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    add("Print", "Печать...", [this] { Print(); });
    add("Open", "Открыть...", [this] { OpenReport(); });
    add("Save", "Сохранить...", [this] { SaveReport(); });
    auto* exports = new QToolButton(ToolBar);
    exports->setObjectName(QStringLiteral("Export"));
    exports->setText(QStringLiteral("Экспорт"));
    exports->setPopupMode(QToolButton::InstantPopup);
    auto* exportMenu = new QMenu(exports);
    for (const ExportFormat& format : ExportFormats()) {
        QAction* action = exportMenu->addAction(format.title + QStringLiteral("..."), this, [this, &format] { Export(format); });
        action->setObjectName(format.action);
    }
    exports->setMenu(exportMenu);
    ToolBar->addWidget(exports);
    ToolBar->addSeparator();
    add("ZoomIn", "Крупнее", [this] { SetZoom(zoom_ * ZoomStep); });
    add("ZoomOut", "Мельче", [this] { SetZoom(zoom_ / ZoomStep); });
    add("Zoom100", "100 %", [this] { SetZoom(1.0); });
    add("PageWidth", "По ширине", [this] { ZoomToPageWidth(); });
    add("WholePage", "Страница целиком", [this] { ZoomToWholePage(); });
    ToolBar->addSeparator();
    FindText = new QLineEdit(ToolBar);
    FindText->setObjectName(QStringLiteral("FindText"));
    FindText->setPlaceholderText(QStringLiteral("Найти"));
    FindText->setMaximumWidth(160);
    ToolBar->addWidget(FindText);
    MatchCase = new QCheckBox(QStringLiteral("С учётом регистра"), ToolBar);
    ToolBar->addWidget(MatchCase);
    add("FindPrevious", "Назад", [this] { FindNext(false); });
    add("FindNext", "Далее", [this] { FindNext(true); });
    connect(FindText, &QLineEdit::returnPressed, this, [this] { FindNext(true); });
    ToolBar->addSeparator();
    add("PageSetup", "Параметры страницы...", [this] { PageSetupDialog(); });
    ToolBar->addSeparator();
    add("FirstPage", "Первая", [this] { ShowPage(0); });
    add("PreviousPage", "Предыдущая", [this] { ShowPage(page_ - 1); });
    PageNumber = new QSpinBox(ToolBar);
    PageNumber->setObjectName(QStringLiteral("PageNumber"));
    ToolBar->addWidget(PageNumber);
    pageCount_ = new QLabel(ToolBar);
    ToolBar->addWidget(pageCount_);
    connect(PageNumber, &QSpinBox::valueChanged, this, [this](int number) {
        if (number - 1 != page_)
            ShowPage(number - 1);
    });
    add("NextPage", "Следующая", [this] { ShowPage(page_ + 1); });
    add("LastPage", "Последняя", [this] { ShowPage(static_cast<int>(report_.pages.size()) - 1); });

    scroll_ = new QScrollArea(this);
    scroll_->setAlignment(Qt::AlignHCenter);
    scroll_->setBackgroundRole(QPalette::Dark);
    view_ = new ReportPageView(scroll_);
    scroll_->setWidget(view_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ToolBar);
    layout->addWidget(scroll_);
    Refresh();
}

TReportPreview::~TReportPreview() = default;

void TReportPreview::Refresh() {
    const int pages = static_cast<int>(report_.pages.size());
    page_ = std::clamp(page_, 0, std::max(0, pages - 1));
    const QSignalBlocker quiet(PageNumber);
    PageNumber->setRange(pages > 0 ? 1 : 0, pages);
    PageNumber->setValue(page_ + 1);
    pageCount_->setText(QStringLiteral(" из %1 ").arg(pages));
    view_->Show(&report_, page_, zoom_, found_);
}

void TReportPreview::ShowPage(int index) {
    page_ = index;
    Refresh();
}

void TReportPreview::SetZoom(double zoom) {
    zoom_ = std::clamp(zoom, LeastZoom, MostZoom);
    Refresh();
}

void TReportPreview::ZoomToPageWidth() {
    SetZoom((scroll_->viewport()->width() - 2) / report_.page.Width());
}

void TReportPreview::ZoomToWholePage() {
    const QSize room = scroll_->viewport()->size();
    SetZoom(std::min((room.width() - 2) / report_.page.Width(), (room.height() - 2) / report_.page.Height()));
}

bool TReportPreview::FindNext(bool forward) {
    const std::optional<FoundText> found =
        FindInReport(report_, FindText->text(), MatchCase->isChecked(), found_, forward);
    if (!found)
        return false;
    found_ = found;
    ShowPage(found->page);
    return true;
}

void TReportPreview::ApplyPageSetup(const PageSetup& page) {
    if (!relayout_)
        return;
    report_ = relayout_(page);
    found_.reset();
    Refresh();
}

void TReportPreview::Print() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QSizeF(report_.page.widthMm, report_.page.heightMm), QPageSize::Millimeter));
    printer.setFullPage(true);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QPainter painter(&printer);
    if (!painter.isActive()) {
        Fail(QStringLiteral("Печать невозможна: принтер не готов."));
        return;
    }
    const double unitsToDevice = printer.resolution() / 96.0;
    for (std::size_t i = 0; i < report_.pages.size(); ++i) {
        if (i > 0)
            printer.newPage();
        PaintReportPage(painter, report_.pages[i], unitsToDevice);
    }
}

void TReportPreview::SaveReport() {
    TFileDialog dialog{QStringLiteral("Сохранить отчёт"), ReportFilter, {}, {}, true};
    if (!dialogs_.ExecuteSave(dialog))
        return;
    QSaveFile file(dialog.FileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(WritePreparedReport(report_)) < 0 || !file.commit())
        Fail(QStringLiteral("Не удаётся записать файл %1.").arg(dialog.FileName));
}

void TReportPreview::OpenReport() {
    TFileDialog dialog{QStringLiteral("Открыть отчёт"), ReportFilter, {}, {}, false};
    if (!dialogs_.ExecuteOpen(dialog))
        return;
    QFile file(dialog.FileName);
    if (!file.open(QIODevice::ReadOnly)) {
        Fail(QStringLiteral("Не удаётся открыть файл %1.").arg(dialog.FileName));
        return;
    }
    PreparedReportReading reading = ReadPreparedReport(file.readAll());
    if (!reading.report) {
        Fail(QStringLiteral("Файл %1 не является отчётом.").arg(dialog.FileName));
        return;
    }
    report_ = std::move(*reading.report);
    found_.reset();
    page_ = 0;
    Refresh();
}

void TReportPreview::Export(const ExportFormat& format) {
    TFileDialog dialog{format.title, format.filter, {}, {}, false};
    if (!dialogs_.ExecuteSave(dialog))
        return;
    const int pages = static_cast<int>(report_.pages.size());
    std::unique_ptr<QProgressDialog> progress;
    if (pages >= ProgressFromPages) {
        progress = std::make_unique<QProgressDialog>(format.title, QString(), 0, pages, this);
        progress->setObjectName(QStringLiteral("ExportProgress"));
        progress->setWindowTitle(format.title);
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->setCancelButton(nullptr);
        progress->setValue(0);
    }
    const ExportResult result = ExportReport(format, report_, dialog.FileName, [&](int done, int) {
        if (progress)
            progress->setValue(done);
    });
    progress.reset();
    if (!result.Ok())
        Fail(ExportErrorText(result, dialog.FileName));
}

void TReportPreview::PageSetupDialog() {
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Параметры страницы"));
    auto* form = new QFormLayout(&dialog);
    auto* paper = new QComboBox(&dialog);
    struct Paper {
        const char* name;
        double width;
        double height;
    };
    static constexpr Paper Papers[] = {{"A4", 210, 297}, {"A5", 148, 210}, {"A3", 297, 420}, {"Letter", 215.9, 279.4}};
    const double shortSide = std::min(report_.page.widthMm, report_.page.heightMm);
    for (const Paper& p : Papers) {
        paper->addItem(QString::fromLatin1(p.name));
        if (std::abs(p.width - shortSide) < 0.5)
            paper->setCurrentIndex(paper->count() - 1);
    }
    auto* orientation = new QComboBox(&dialog);
    orientation->addItems({QStringLiteral("Книжная"), QStringLiteral("Альбомная")});
    orientation->setCurrentIndex(report_.page.landscape ? 1 : 0);
    const auto margin = [&](double value) {
        auto* box = new QDoubleSpinBox(&dialog);
        box->setRange(0, 100);
        box->setSuffix(QStringLiteral(" мм"));
        box->setValue(value);
        return box;
    };
    QDoubleSpinBox* left = margin(report_.page.leftMm);
    QDoubleSpinBox* top = margin(report_.page.topMm);
    QDoubleSpinBox* right = margin(report_.page.rightMm);
    QDoubleSpinBox* bottom = margin(report_.page.bottomMm);
    form->addRow(QStringLiteral("Бумага"), paper);
    form->addRow(QStringLiteral("Ориентация"), orientation);
    form->addRow(QStringLiteral("Поле слева"), left);
    form->addRow(QStringLiteral("Поле сверху"), top);
    form->addRow(QStringLiteral("Поле справа"), right);
    form->addRow(QStringLiteral("Поле снизу"), bottom);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const Paper& chosen = Papers[paper->currentIndex()];
    PageSetup page;
    page.landscape = orientation->currentIndex() == 1;
    page.widthMm = page.landscape ? chosen.height : chosen.width;
    page.heightMm = page.landscape ? chosen.width : chosen.height;
    page.leftMm = left->value();
    page.topMm = top->value();
    page.rightMm = right->value();
    page.bottomMm = bottom->value();
    ApplyPageSetup(page);
}

void TReportPreview::Fail(const QString& text) {
    boxes_.Show(text, windowTitle(), MessageBox::MB_OK | MessageBox::MB_ICONERROR);
}
