#pragma once

#include "report/ReportTemplate.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Report templates as JSON, as the program keeps them in its resources:
//
//   { "name": "...",
//     "page": { "width": 210, "height": 297, "landscape": false,
//               "margins": { "left": 20, "top": 10, "right": 5, "bottom": 10 } },
//     "bands": [ { "kind": "ReportTitle" | "PageHeader" | "MasterData" | "PageFooter",
//                  "name": "...", "height": 37.8, "printOnFirstPage": true,
//                  "objects": [ { "name": "...", "left": 0, "top": 0, "width": 699.2, "height": 26.5,
//                                 "font": { "family": "Times New Roman", "height": -21, "bold": true },
//                                 "frame": false, "centred": true, "text": "[Title]" } ] } ] }
//
// Page sizes and margins are in mm, band and object sizes in layout units.
// "height" of a band, and "width", "height" and "text" of an object are
// required; everything else has the defaults of ReportTemplate.h.

struct TemplateReading {
    std::optional<ReportTemplate> report;  // empty when refused
    QString error;                          // then: what is wrong, and where
};

TemplateReading ReadReportTemplate(const QByteArray& json);
