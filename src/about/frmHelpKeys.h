#pragma once
// The Application Help command: an F1 key press queued to the active window, so that the
// main window's own F1 handling opens the help after the command has returned.
class QWidget;

namespace bf::about {

// Queues an F1 press and release (no modifiers) to the widget that has the keyboard focus,
// else to the active window, else to fallback (the main window passes itself, so the key still
// arrives while no window of ours is active). With none of them nothing is sent.
void ApplicationHelp(QWidget* fallback = nullptr);

} // namespace bf::about
