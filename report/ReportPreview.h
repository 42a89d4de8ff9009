#pragma once

#include "report/PreparedReport.h"
#include "report/ReportExport.h"
#include "report/ReportFind.h"

#include <QDialog>

#include <functional>
#include <optional>

class FileDialogs;
class MessageBoxes;
class QCheckBox;
class QLabel;
class QLineEdit;
class QScrollArea;
class QSpinBox;
class QToolBar;
class ReportPageView;

// The preview of a prepared report: one page at a time at a zoom, with a
// tool bar to print, open and save prepared reports, export them (a menu of
// every format), zoom, find a text, set the page up (the report is laid out anew) and
// go from page to page. All texts Russian.
class TReportPreview : public QDialog {
    Q_OBJECT

public:
    // Lays the report out again for another page setup.
    using Relayout = std::function<PreparedReport(const PageSetup& page)>;

    // The facilities outlive the window.
    TReportPreview(PreparedReport report, Relayout relayout, FileDialogs& dialogs, MessageBoxes& boxes,
                   QWidget* parent = nullptr);
    ~TReportPreview() override;

    const PreparedReport& Report() const { return report_; }
    int PageIndex() const { return page_; }
    double Zoom() const { return zoom_; }
    std::optional<FoundText> Found() const { return found_; }

    void ShowPage(int index);
    void SetZoom(double zoom);
    void ZoomToPageWidth();
    void ZoomToWholePage();
    // Next (or previous) place of the text in the find box; shows its page.
    bool FindNext(bool forward);
    // Replaces the report with another page setup's layout.
    void ApplyPageSetup(const PageSetup& page);

    // The tool bar's commands.
    void Print();
    void SaveReport();
    void OpenReport();
    // Asks for the file and exports into it, the progress shown for a long
    // report; a failure is told.
    void Export(const ExportFormat& format);
    void PageSetupDialog();

    QToolBar* ToolBar = nullptr;
    QLineEdit* FindText = nullptr;
    QCheckBox* MatchCase = nullptr;
    QSpinBox* PageNumber = nullptr;

private:
    void Refresh();
    void Fail(const QString& text);

    PreparedReport report_;
    Relayout relayout_;
    FileDialogs& dialogs_;
    MessageBoxes& boxes_;
    QScrollArea* scroll_ = nullptr;
    ReportPageView* view_ = nullptr;
    QLabel* pageCount_ = nullptr;
    int page_ = 0;
    double zoom_ = 1.0;
    std::optional<FoundText> found_;
};
