#include "xlsx/ChartValues.h"

#include "xlsx/Worksheet.h"
#include "xlsx/XmlScanner.h"

#include <string>
#include <vector>

namespace bf::xlsx {

namespace {

// Where a literal of the series' data may stand in place of its reference.
bool takesLiteral(std::string_view parent)
{
    return parent == "cat" || parent == "val" || parent == "xVal" || parent == "yVal" || parent == "bubbleSize"
        || parent == "plus" || parent == "minus";
}

// A held c:numRef or c:strRef: its formula, its cache's content and its first point's value.
struct HeldReference {
    std::string formula;
    std::string cache; // the cache element's content, as it stands
    std::string firstValue;
    bool cached = false;
};

bool isCache(std::string_view local)
{
    return local == "numCache" || local == "strCache";
}

HeldReference readHeld(const std::string& block, const QString& detail)
{
    HeldReference held;
    XmlTokenStream tokens(QByteArray::fromStdString(block), detail);
    XmlToken t;
    int depth = 0; // elements open before the token
    bool inCache = false, inFormula = false, inValue = false, firstDone = false;
    while (tokens.next(t)) {
        const std::string_view local = t.localName();
        if (t.kind == TokenKind::EndTag && --depth == 1 && inCache && isCache(local)) {
            inCache = false;
            continue;
        }
        if (t.kind == TokenKind::StartTag && depth == 1 && isCache(local)) {
            inCache = held.cached = true;
            ++depth;
            continue;
        }
        held.cached = held.cached || (t.kind == TokenKind::EmptyTag && depth == 1 && isCache(local));
        if (inCache)
            held.cache.append(t.raw);
        if (t.kind == TokenKind::StartTag) {
            inFormula = depth == 1 && local == "f";
            inValue = inCache && local == "v" && !firstDone;
            ++depth;
        } else if (t.kind == TokenKind::Text) {
            held.formula += inFormula ? unescapeXml(t.raw) : std::string();
            held.firstValue += inValue ? std::string(t.raw) : std::string();
        } else if (t.kind == TokenKind::EndTag) {
            firstDone = firstDone || inValue;
            inFormula = inValue = false;
        }
    }
    return held;
}

class ChartRewriter {
public:
    ChartRewriter(FormulaRewriter& formulas, const QString& detail) : formulas_(formulas), detail_(detail) {}

    std::string run(const QByteArray& part)
    {
        XmlTokenStream tokens(part, detail_);
        XmlToken t;
        while (tokens.next(t)) {
            const std::string_view local = t.localName();
            if (t.kind == TokenKind::StartTag && (local == "numRef" || local == "strRef")) {
                held(tokens, t);
                continue;
            }
            if (t.kind == TokenKind::StartTag)
                parents_.emplace_back(local);
            else if (t.kind == TokenKind::EndTag && !parents_.empty())
                parents_.pop_back();
            out_.append(t.raw);
        }
        return out_;
    }

private:
    void held(XmlTokenStream& tokens, XmlToken& t)
    {
        const std::string prefix(t.name.substr(0, t.name.size() - t.localName().size()));
        const bool numbers = t.localName() == "numRef";
        std::string block(t.raw);
        for (int depth = 1; depth > 0 && tokens.next(t);) {
            block.append(t.raw);
            depth += t.kind == TokenKind::StartTag ? 1 : t.kind == TokenKind::EndTag ? -1 : 0;
        }
        const HeldReference ref = readHeld(block, detail_);
        const std::string parent = parents_.empty() ? std::string() : parents_.back();
        const std::string grand = parents_.size() < 2 ? std::string() : parents_[parents_.size() - 2];
        const bool seriesName = parent == "tx" && grand == "ser" && !numbers;
        if (!formulas_.readsOtherSheets(ref.formula) || !(takesLiteral(parent) || seriesName)) {
            out_ += block; // its formula rewritten with the rest of the part
            return;
        }
        formulas_.drops.chartSeries += !ref.cached;
        if (seriesName) {
            out_ += "<" + prefix + "v>" + ref.firstValue + "</" + prefix + "v>";
            return;
        }
        const std::string literal = prefix + (numbers ? "numLit" : "strLit");
        const std::string content = ref.cached ? ref.cache : "<" + prefix + "ptCount val=\"0\"/>";
        out_ += "<" + literal + ">" + content + "</" + literal + ">";
    }

    FormulaRewriter& formulas_;
    const QString& detail_;
    std::vector<std::string> parents_;
    std::string out_;
};

} // namespace

QByteArray chartWithValues(const QByteArray& part, FormulaRewriter& formulas, const QString& detail)
{
    if (!part.contains('!'))
        return rewriteFormulaPart(part, formulas, detail);
    const QByteArray literals = QByteArray::fromStdString(ChartRewriter(formulas, detail).run(part));
    const std::size_t before = formulas.dropped();
    const QByteArray out = rewriteFormulaPart(literals, formulas, detail);
    formulas.drops.references += int(formulas.dropped() - before);
    return out;
}

} // namespace bf::xlsx
