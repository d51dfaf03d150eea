#pragma once
// What the split tests share: a split view that records what a window would have painted, and
// the spreadsheet application installed in a context for one test.
#include "split/SplitView.h"
#include "startup/AppContext.h"

#include <QString>
#include <vector>

namespace bf::test {

class RecordingSplitView : public split::SplitView {
public:
    struct Frame {
        bool visible;
        bool busy;
        float minimum;
        float maximum;
        float value;
    };

    void setCaption(const QString& c) override { caption = c; }
    void setProgressVisible(bool v) override { visible = v; }
    void setProgressMinimum(float v) override { minimum = v; }
    void setProgressMaximum(float v) override { maximum = v; }
    void setProgressValue(float v) override { value = v; }
    float progressMinimum() const override { return minimum; }
    float progressMaximum() const override { return maximum; }
    float progressValue() const override { return value; }
    bool progressVisible() const override { return visible; }
    void setBusyPointer(bool b) override { busy = b; }
    void repaintNow() override { frames.push_back({visible, busy, minimum, maximum, value}); }

    // Idle as the window starts: bar hidden, 0 to 100, default pointer.
    QString caption;
    bool visible = false;
    bool busy = false;
    float minimum = 0.0f;
    float maximum = 100.0f;
    float value = 0.0f;
    std::vector<Frame> frames; // what was on screen at each repaint
};

// Installs app as the context's spreadsheet application for the life of the object.
class InstalledApplication {
public:
    InstalledApplication(AppContext& context, automation::SpreadsheetApplication& app)
        : context_(context), previous_(context.application)
    {
        context.application = &app;
    }
    ~InstalledApplication() { context_.application = previous_; }
    InstalledApplication(const InstalledApplication&) = delete;
    InstalledApplication& operator=(const InstalledApplication&) = delete;

private:
    AppContext& context_;
    automation::SpreadsheetApplication* previous_;
};

} // namespace bf::test
