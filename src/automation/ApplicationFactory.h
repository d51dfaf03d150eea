#pragma once
// Backends register a maker under their name; createSpreadsheetApplication picks one.
#include "automation/SpreadsheetApplication.h"

#include <functional>

namespace bf::automation {
using ApplicationMaker = std::function<std::unique_ptr<SpreadsheetApplication>()>;
// The calc backend registers itself from the program's entry point when it is built.
void registerBackend(const QString& name, ApplicationMaker maker);
bool backendAvailable(const QString& name);
} // namespace bf::automation
