#include "xlsx/XmlParserSetup.h"

#include <libxml/parser.h>

#include <mutex>

namespace bf::xlsx {

void prepareXmlParser()
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

} // namespace bf::xlsx
