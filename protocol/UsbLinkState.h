#pragma once

#include "protocol/UsbAnswers.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

// What the user-interface thread and the USB worker hand each other.
//
// LinkState is the request the worker carries out and the step it is at. The
// Read command stores FindMeter over Idle, the device screen window stores
// ScreenImage (after handing over its buffer) and Idle when it gives up; the
// worker stores every other value. Stores release and loads acquire: what the
// worker wrote into the archive's hand-over and the screen buffer before
// storing Idle is there for whoever then sees Idle.
namespace LinkStates {
inline constexpr std::uint8_t FindMeter = 0;       // find the meter: an archive read begins
inline constexpr std::uint8_t Identification = 1;
inline constexpr std::uint8_t RecordCount = 2;
inline constexpr std::uint8_t Records = 3;
inline constexpr std::uint8_t ScreenImage = 4;     // read the meter's screen
inline constexpr std::uint8_t Idle = 8;
}  // namespace LinkStates

using TLinkState = std::atomic<std::uint8_t>;

// The program's link state: 0 at start, and 0 again once the main window exists.
extern TLinkState LinkState;

using TScreenImage = std::array<std::uint8_t, ScreenImageSize>;

// The buffer the meter's screen image is read into. The screen window keeps
// one and hands it over before each request; the worker holds on to the one it
// is filling, so a window closed meanwhile never leaves it writing into freed
// memory.
class TScreenBuffer {
public:
    void Store(std::shared_ptr<TScreenImage> buffer) {
        std::lock_guard<std::mutex> hold(lock_);
        buffer_ = std::move(buffer);
    }
    std::shared_ptr<TScreenImage> Load() const {
        std::lock_guard<std::mutex> hold(lock_);
        return buffer_;
    }

private:
    mutable std::mutex lock_;
    std::shared_ptr<TScreenImage> buffer_;
};

// The program's screen buffer hand-over.
extern TScreenBuffer ScreenBuffer;
