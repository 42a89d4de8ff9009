#pragma once

#include "sim/MeterModel.h"
#include "support/FakeCommApi.h"

#include <chrono>
#include <functional>
#include <mutex>

// The meter model as the far end of a fake serial device: each frame
// written is answered on the device's input with the model's bytes and
// delays. beforeAnswer, when set, may change the model's setup first.
class FakeCommMeter {
public:
    FakeCommMeter(FakeCommApi& api, MeterSetup setup) : model_(std::move(setup)) {
        api.onWrite = [this, &api](const std::vector<std::uint8_t>& written) {
            std::lock_guard<std::mutex> hold(lock_);
            if (beforeAnswer)
                beforeAnswer(model_);
            std::chrono::milliseconds at{0};
            for (const AnswerChunk& chunk : model_.AnswerSerial(written)) {
                at += chunk.delay;
                api.ReceiveAfter(at, chunk.bytes);
            }
        };
    }

    // For the UI thread while nothing is being written.
    MeterModel& Model() { return model_; }

    std::function<void(MeterModel&)> beforeAnswer;

private:
    std::mutex lock_;
    MeterModel model_;
};
