#pragma once
// The split view on a terminal: one progress line on standard error, rewritten after each row,
// naming the row just written. Nothing is drawn when standard error is not a terminal.
#include "split/SplitView.h"
#include "tasklist/TaskRows.h"

namespace bf::cli {

class TerminalSplitView : public split::SplitView {
public:
    TerminalSplitView(const tasklist::TaskRows& rows, bool terminal) : rows_(rows), terminal_(terminal) {}

    void setCaption(const QString&) override {}
    void setProgressVisible(bool visible) override;
    void setProgressMinimum(float v) override { minimum_ = v; }
    void setProgressMaximum(float v) override { maximum_ = v; }
    void setProgressValue(float v) override { value_ = v; }
    float progressMinimum() const override { return minimum_; }
    float progressMaximum() const override { return maximum_; }
    float progressValue() const override { return value_; }
    bool progressVisible() const override { return visible_; }
    void setBusyPointer(bool) override {}
    void repaintNow() override;
    // One line on standard error: the output holds no macros (not a failure).
    void macrosNotKept(const QString& workbookPath) override;

private:
    const tasklist::TaskRows& rows_;
    bool terminal_;
    bool visible_ = false;
    bool lineOpen_ = false;
    float minimum_ = 0.0f;
    float maximum_ = 100.0f;
    float value_ = 0.0f;
};

} // namespace bf::cli
