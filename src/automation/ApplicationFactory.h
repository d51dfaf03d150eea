#pragma once
// The backends a program offers: the native one always, others as the program adds them at
// start. The program's entry point owns one Backends and hands it to whoever creates the
// spreadsheet application.
#include "automation/SpreadsheetApplication.h"
#include "platform/Seams.h"

#include <functional>
#include <map>

namespace bf::automation {

using ApplicationMaker = std::function<std::unique_ptr<SpreadsheetApplication>(const platform::Seams&)>;

class Backends {
public:
    void add(const QString& name, ApplicationMaker maker);
    bool available(const QString& name) const;
    // "native" (also for an empty name) or an added backend, asking its questions through seams,
    // which must outlive it. Throws bf::Error when the backend cannot start (unknown name, office
    // not installed).
    std::unique_ptr<SpreadsheetApplication> create(const QString& name, const platform::Seams& seams) const;

private:
    std::map<QString, ApplicationMaker> makers_;
};

} // namespace bf::automation
