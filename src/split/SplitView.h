#pragma once
// What a split run shows: the caption, the progress bar prgSplit and the pointer. The main
// window implements it with its widgets, the command-line tool on the terminal.
#include <QString>

namespace bf::split {

class SplitView {
public:
    virtual ~SplitView() = default;
    virtual void setCaption(const QString& caption) = 0;

    virtual void setProgressVisible(bool visible) = 0;
    // The bar's minimum, maximum and value as the run computes them (the window rounds them to
    // the bar's whole steps).
    virtual void setProgressMinimum(float value) = 0;
    virtual void setProgressMaximum(float value) = 0;
    virtual void setProgressValue(float value) = 0;
    virtual float progressMinimum() const = 0;
    virtual float progressMaximum() const = 0;
    virtual float progressValue() const = 0;
    virtual bool progressVisible() const = 0;

    virtual void setBusyPointer(bool busy) = 0;
    // Paints what changed (bar, selected row, pointer) now, without accepting any user input.
    virtual void repaintNow() = 0;
};

} // namespace bf::split
