#pragma once

#include "report/PreparedReport.h"
#include "report/ReportTemplate.h"

#include <QString>

#include <functional>
#include <optional>

// The records a report's master data band prints once each, driven by the
// layout: First, then for each record Eof and, when not at the end, the band
// and Next.
class RecordSource {
public:
    virtual ~RecordSource() = default;
    virtual void First() = 0;
    virtual bool Eof() = 0;
    virtual void Next() = 0;
    // The current record, from 0.
    virtual int RecNo() const = 0;
};

// A variable's text by its name, or nothing when the name is not the
// caller's; the layout resolves its own names (Page#) first.
using VariableValue = std::function<std::optional<QString>(const QString& name)>;

// Lays the report out on its pages: the report title once at the top of page
// 1; the page header at the top of every page, below the title on page 1;
// the master data band once per record; the page footer at the foot of every
// page (but the first when it is not to print there). A band that does not
// fit above the footer starts a new page. A variable nobody resolves keeps
// its text as written.
PreparedReport LayOutReport(const ReportTemplate& report, const VariableValue& value, RecordSource& records);
