#pragma once

#include "report/PreparedReport.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A prepared report as a file of its own, so that a report saved from the
// preview opens again exactly as it was laid out: JSON with a format name
// and version, the page setup, and every placed text with its style.

QByteArray WritePreparedReport(const PreparedReport& report);

struct PreparedReportReading {
    std::optional<PreparedReport> report;  // empty when refused
    QString error;
};

// Refuses anything that is not such a file, or of a later version.
PreparedReportReading ReadPreparedReport(const QByteArray& bytes);
