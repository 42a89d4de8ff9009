#pragma once

#include "report/PreparedReport.h"

class QPainter;

// Paints one prepared page onto any painter (a window, a printer, a PDF
// file, an image): unitsToDevice device pixels per layout unit (1/96 inch),
// the paper's top-left corner at the painter's origin. Texts in their fonts,
// centred where the template says so, frames as thin lines.
void PaintReportPage(QPainter& painter, const PreparedPage& page, double unitsToDevice);
