// Driving the stage editor through the harness: a list of steps, one a frame, each a mouse move,
// a button change or a look at the game's state, then the game stops.
#pragma once

#include <functional>
#include <vector>

#include "tests/game/harness/game_harness.h"

namespace velmora_test {

class EditorScript {
public:
    using Step = std::function<void(Frame&)>;
    // Frames to let pass before the first step (the editor makes its palette on its first).
    explicit EditorScript(int lead = 2) : lead_(lead) {}

    EditorScript& Do(Step step) {
        steps_.push_back(std::move(step));
        return *this;
    }
    EditorScript& Wait(int frames) {
        for (int i = 0; i < frames; ++i) Do([](Frame&) {});
        return *this;
    }
    EditorScript& Move(int x, int y) {
        return Do([=](Frame& f) { f.InjectMouseMotion(x, y); });
    }
    EditorScript& Down(int button = 1) {
        return Do([=](Frame& f) { f.InjectMouseButton(button, true); });
    }
    EditorScript& Up(int button = 1) {
        return Do([=](Frame& f) { f.InjectMouseButton(button, false); });
    }
    // Move, press, let go: three frames.
    EditorScript& Click(int x, int y, int button = 1) { return Move(x, y).Down(button).Up(button); }
    // Press at the first point, move through the others held, let go at the last.
    EditorScript& Drag(const std::vector<std::pair<int, int>>& points) {
        Move(points.front().first, points.front().second).Down();
        for (size_t i = 1; i < points.size(); ++i) Move(points[i].first, points[i].second);
        return Up();
    }
    EditorScript& Tap(uint32_t buttons) {
        return Do([=](Frame& f) { f.Tap(buttons); });
    }

    // The frame script: the steps in order after the lead, then Stop.
    void operator()(Frame& f) {
        if (f.inQuitBox) return;
        if (lead_ > 0) {
            --lead_;
            return;
        }
        if (next_ < steps_.size())
            steps_[next_++](f);
        else
            f.Stop();
    }
    bool Done() const { return next_ >= steps_.size(); }

private:
    int lead_;
    std::vector<Step> steps_;
    size_t next_ = 0;
};

// Settings for an editor run in a 640 x 480 window.
inline HarnessSettings EditorSettings() {
    HarnessSettings s;
    s.editor = true;
    return s;
}

}  // namespace velmora_test
