#pragma once
// A split view for tests of the split run: it records what a window would have shown.
#include "split/SplitView.h"

#include <vector>

namespace bf::test {

// What a window would have shown at each repaint.
class RecordingSplitView : public split::SplitView {
public:
    struct Frame {
        bool visible, busy;
        float minimum, maximum, value;
    };
    void setCaption(const QString&) override {}
    void setProgressVisible(bool v) override { now.visible = v; }
    void setProgressMinimum(float v) override { now.minimum = v; }
    void setProgressMaximum(float v) override { now.maximum = v; }
    void setProgressValue(float v) override { now.value = v; }
    float progressMinimum() const override { return now.minimum; }
    float progressMaximum() const override { return now.maximum; }
    float progressValue() const override { return now.value; }
    bool progressVisible() const override { return now.visible; }
    void setBusyPointer(bool b) override { now.busy = b; }
    void repaintNow() override { frames.push_back(now); }

    Frame now{false, false, 0.0f, 100.0f, 0.0f}; // idle, as the window starts
    std::vector<Frame> frames;
};

} // namespace bf::test
