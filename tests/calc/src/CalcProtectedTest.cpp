// Password-protected workbooks through the Calc backend: the office is given the password and
// stores the copies with it, so both backends behave alike.
#include "automation/calc/CalcApplication.h"
#include "ProtectedCheck.h"

namespace bf::test {

TEST(CalcProtectedWorkbooks, OpenWithTheirPasswordAndTheirCopiesStayProtected)
{
    automation::Backends backends;
    automation::calc::addCalcBackend(backends);
    for (const Protected& source : {Protected{corpusFile("xlsx/calamine--pass_protected.xlsx"), "123"},
                                    Protected{corpusFile("xls/sheetjs--password_2002_40_972000.xls"), "password"}})
        checkProtectedWorkbook(source, backends, QStringLiteral("calc"));
}

} // namespace bf::test
