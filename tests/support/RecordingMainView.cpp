#include "support/RecordingMainView.h"

#include <QCoreApplication>
#include <QElapsedTimer>

void RecordingMainView::SetStatusText(const QString& text) {
    status = text;
    calls << QStringLiteral("SetStatusText: ") + text;
}

void RecordingMainView::SetStatusAndHideProgress(const QString& text) {
    status = text;
    progressVisible = false;
    calls << QStringLiteral("SetStatusAndHideProgress: ") + text;
}

void RecordingMainView::SetStatusPanel1Text(const QString& text) {
    calls << QStringLiteral("SetStatusPanel1Text: ") + text;
}

void RecordingMainView::SetProgressRange(int minimum, int maximum) {
    calls << QStringLiteral("SetProgressRange: %1 %2").arg(minimum).arg(maximum);
}

void RecordingMainView::SetProgressPosition(int position) {
    progressPosition = position;
    calls << QStringLiteral("SetProgressPosition: %1").arg(position);
}

void RecordingMainView::SetProgressVisible(bool visible) {
    progressVisible = visible;
    calls << QStringLiteral("SetProgressVisible: %1").arg(visible);
}

void RecordingMainView::SetLinkColour(TColor colour) {
    calls << QStringLiteral("SetLinkColour: %1").arg(colour);
}

void RecordingMainView::ClearTable() {
    calls << QStringLiteral("ClearTable");
}

void RecordingMainView::ShowArchive() {
    calls << QStringLiteral("ShowArchive");
}

void RecordingMainView::WaitPumping(std::uint32_t milliseconds) {
    calls << QStringLiteral("WaitPumping: %1").arg(milliseconds);
    if (!realWaits)
        return;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents();
}

void RecordingMainView::ProcessEvents() {
    ++processEventsCalls;
    QCoreApplication::processEvents();
}
