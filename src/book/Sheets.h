#pragma once
// The sheet list of a workbook as both engines and the Calc backend speak of it.
#include <QString>

#include <cstdint>
#include <vector>

namespace bf::book {

enum class SheetKind : std::uint8_t { Worksheet, Chart, Dialog, Macro, Module, Other };

enum class Visibility : std::uint8_t { Visible = 0, Hidden = 1, VeryHidden = 2 };

// One sheet of the list; each engine adds where the sheet lies in its format.
struct SheetEntry {
    QString name;
    int index = 0; // position in the workbook's sheet list
    Visibility visibility = Visibility::Visible;
    SheetKind kind = SheetKind::Worksheet;
};

// What a Worksheets collection holds: worksheets only (hidden ones included), in order.
template <class Sheet>
std::vector<Sheet> worksheetsOf(const std::vector<Sheet>& sheets)
{
    std::vector<Sheet> out;
    for (const Sheet& s : sheets)
        if (s.kind == SheetKind::Worksheet)
            out.push_back(s);
    return out;
}

} // namespace bf::book
