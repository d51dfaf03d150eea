#pragma once
// The switches of a spreadsheet application, as a freshly started one has them, and the part of
// an application that records them. A backend keeps its Switches where its handles see them too
// (a save asks before replacing a file only with alerts on).
#include "automation/SpreadsheetApplication.h"

namespace bf::automation {

struct Switches {
    bool visible = false;
    bool displayAlerts = true;
    bool screenUpdating = true;
    bool askToUpdateLinks = true;
    bool enableEvents = true;
    bool decryptOutputs = false;
    bool breakLinks = false;
};

// Each switch kept as it is set; a backend overrides those that do more.
class SwitchedApplication : public SpreadsheetApplication {
public:
    void setVisible(bool on) override { switches().visible = on; }
    bool Visible() const override { return switches().visible; }
    void setDisplayAlerts(bool on) override { switches().displayAlerts = on; }
    bool DisplayAlerts() const override { return switches().displayAlerts; }
    void setScreenUpdating(bool on) override { switches().screenUpdating = on; }
    bool ScreenUpdating() const override { return switches().screenUpdating; }
    void setAskToUpdateLinks(bool on) override { switches().askToUpdateLinks = on; }
    bool AskToUpdateLinks() const override { return switches().askToUpdateLinks; }
    void setEnableEvents(bool on) override { switches().enableEvents = on; }
    bool EnableEvents() const override { return switches().enableEvents; }
    void setDecryptOutputs(bool on) override { switches().decryptOutputs = on; }
    bool DecryptOutputs() const override { return switches().decryptOutputs; }
    void setBreakLinks(bool on) override { switches().breakLinks = on; }
    bool BreakLinks() const override { return switches().breakLinks; }

protected:
    virtual Switches& switches() const = 0;
};

} // namespace bf::automation
