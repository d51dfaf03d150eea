#include "xlsx/ContentTypes.h"

#include "xlsx/Package.h"
#include "xlsx/XmlReader.h"
#include "xlsx/XmlScanner.h"

#include <QUrl>

namespace bf::xlsx {

namespace {

QString extensionOf(const QString& part)
{
    const qsizetype dot = part.lastIndexOf('.');
    return dot < 0 || dot < part.lastIndexOf('/') ? QString() : part.mid(dot + 1).toCaseFolded();
}

} // namespace

ContentTypes ContentTypes::read(const Package& package)
{
    ContentTypes types;
    const QString name = QStringLiteral("[Content_Types].xml");
    const PartEntry* entry = package.find(name);
    if (!entry)
        return types;
    XmlReader reader(package.read(*entry), package.displayName() + QStringLiteral(", part ") + name);
    while (reader.nextElement()) {
        const QString type = reader.attribute("ContentType").value_or(QString());
        if (reader.localName() == QLatin1String("Default")) {
            types.defaults_[reader.attribute("Extension").value_or(QString()).toCaseFolded()] = type;
        } else if (reader.localName() == QLatin1String("Override")) {
            QString part = QUrl::fromPercentEncoding(
                reader.attribute("PartName").value_or(QString()).toUtf8());
            if (part.startsWith('/'))
                part.remove(0, 1);
            types.overrides_[part.toCaseFolded()] = type;
        }
    }
    return types;
}

QString ContentTypes::typeOf(const QString& part) const
{
    const auto o = overrides_.find(part.toCaseFolded());
    if (o != overrides_.end())
        return o->second;
    const auto d = defaults_.find(extensionOf(part));
    return d == defaults_.end() ? QString() : d->second;
}

QByteArray ContentTypes::write(const std::map<QString, QString>& typeByPart)
{
    // Extensions whose every part shares one type get a default; the rest are overridden.
    std::map<QString, QString> byExtension;
    std::map<QString, bool> uniform;
    for (const auto& [part, type] : typeByPart) {
        const QString ext = extensionOf(part);
        const auto [it, inserted] = byExtension.emplace(ext, type);
        uniform.emplace(ext, true);
        if (!inserted && it->second != type)
            uniform[ext] = false;
    }
    auto attr = [](const QString& s) { return escapeXml(s.toStdString(), true); };
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">";
    for (const auto& [ext, type] : byExtension)
        if (uniform[ext] && !ext.isEmpty() && ext != QLatin1String("xml"))
            out += "<Default Extension=\"" + attr(ext) + "\" ContentType=\"" + attr(type) + "\"/>";
    for (const auto& [part, type] : typeByPart) {
        const QString ext = extensionOf(part);
        if (!uniform[ext] || ext.isEmpty() || ext == QLatin1String("xml"))
            out += "<Override PartName=\"/" + attr(QString::fromLatin1(QUrl::toPercentEncoding(part, "/-._~()[]")))
                + "\" ContentType=\"" + attr(type) + "\"/>";
    }
    out += "</Types>";
    return QByteArray::fromStdString(out);
}

} // namespace bf::xlsx
