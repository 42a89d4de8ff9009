#pragma once

#include "app/MainView.h"

#include <QString>
#include <QStringList>

// A main window that only records what it is asked to do, in order, as
// "SetStatusText: text", "ClearTable", "ShowArchive", "SetLinkColour: 65280"
// and so on; the getters answer with what was last set.
class RecordingMainView final : public MainView {
public:
    void SetStatusText(const QString& text) override;
    void SetStatusAndHideProgress(const QString& text) override;
    void SetStatusPanel1Text(const QString& text) override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressPosition(int position) override;
    int ProgressPosition() const override { return progressPosition; }
    void SetProgressVisible(bool visible) override;
    bool ProgressVisible() const override { return progressVisible; }
    void SetLinkColour(TColor colour) override;
    void ClearTable() override;
    void ShowArchive() override;
    // Recorded; waits only with realWaits.
    void WaitPumping(std::uint32_t milliseconds) override;
    // Processes the pending events; counted, not recorded.
    void ProcessEvents() override;

    QStringList calls;
    QString status;  // status panel 0 as it now reads
    int progressPosition = 0;
    bool progressVisible = true;
    int processEventsCalls = 0;
    // WaitPumping waits as the window does, serving events.
    bool realWaits = false;
};
