#pragma once

#include "platform/TColor.h"

#include <QString>

#include <cstdint>

// What the meter read-outs, the USB layer and the worker may do to the main
// window, and no more. Every call is made on the user-interface thread; code on
// another thread hands its calls over in order.
class MainView {
public:
    virtual ~MainView() = default;

    // Status panel 0, the message line.
    virtual void SetStatusText(const QString& text) = 0;
    // Status panel 0, and the progress bar hidden.
    virtual void SetStatusAndHideProgress(const QString& text) = 0;
    // Status panel 1, which the progress bar covers while it is visible.
    virtual void SetStatusPanel1Text(const QString& text) = 0;

    virtual void SetProgressRange(int minimum, int maximum) = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual int ProgressPosition() const = 0;
    virtual void SetProgressVisible(bool visible) = 0;
    virtual bool ProgressVisible() const = 0;

    // The link indicator: grey (clBtnFace) idle, green (clLime) while an
    // exchange runs, red (clRed) after a failed one. Leaving red first pauses
    // the calling thread 20 ms, so a red state is seen at least that long.
    virtual void SetLinkColour(TColor colour) = 0;

    // The table operations on the program's archive.
    virtual void ClearTable() = 0;
    virtual void ShowArchive() = 0;

    // Waits at least the given time while processing window events.
    virtual void WaitPumping(std::uint32_t milliseconds) = 0;
    // Processes the window events pending now, once, without waiting.
    virtual void ProcessEvents() = 0;
};
