#include "startup/clsSetting.h"

#include "platform/AtomicFile.h"
#include "platform/InputFile.h"
#include "core/Conversions.h"
#include "core/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace bf {

clsSetting::clsSetting(const QString& filePath, const platform::Seams& seams, const QString& writePath)
    : filePath_(filePath), writePath_(writePath.isEmpty() ? filePath : writePath), seams_(seams)
{
    if (ReadConfigFile(filePath_) != kDone)
        seams_.msgBox(QStringLiteral("Can't Read Setting from config file"));
}

clsSetting::~clsSetting()
{
    try {
        if (WriteConfigFile(writePath_) != kDone)
            seams_.msgBox(QStringLiteral("Can't Write Setting to config file"));
    } catch (...) {
        // A destructor must not throw; the report above is all the user can be told.
    }
}

clsSetting::Entry* clsSetting::find(const QString& key)
{
    const auto it = index_.constFind(key);
    return it == index_.constEnd() ? nullptr : &table_[*it];
}

std::int32_t clsSetting::GetSetting(const QString& KeyName, QString& retValue) const
{
    const auto it = index_.constFind(KeyName);
    if (it == index_.constEnd())
        return kKeyMissing;
    retValue = table_[*it].value;
    return kDone;
}

std::int32_t clsSetting::SetSetting(const QString& KeyName, const QString& value)
{
    Entry* entry = find(KeyName);
    if (!entry)
        return kKeyMissing;
    entry->value = value;
    entry->changed = true;
    return kDone;
}

std::int32_t clsSetting::AppendSetting(const QString& KeyName, const QString& value)
{
    const bool halfCharacter = encoding_ == config::Encoding::Utf16Le && bytes_.size() % 2 != 0;
    if (find(KeyName) || halfCharacter || stoppedAtMalformedLine_)
        return kKeyMissing;
    index_.insert(KeyName, table_.size());
    table_.push_back({KeyName, value, bytes_.size(), bytes_.size(), true, true});
    return kDone;
}

std::int32_t clsSetting::ReadConfigFile(const QString& path)
{
    bytes_ = platform::InputFile(path).readAll();
    const config::ParsedFile file = config::parse(bytes_);
    encoding_ = file.encoding;
    // A repeated key keeps its first position and takes the later line's value and place.
    for (const config::Line& line : file.lines) {
        if (Entry* entry = find(line.key)) {
            entry->value = line.value;
            entry->valueBegin = line.valueBegin;
            entry->valueEnd = line.valueEnd;
        } else {
            index_.insert(line.key, table_.size());
            table_.push_back({line.key, line.value, line.valueBegin, line.valueEnd});
        }
    }
    stoppedAtMalformedLine_ = file.stoppedAtMalformedLine;
    return file.stoppedAtMalformedLine ? kStoppedAtMalformedLine : kDone;
}

std::int32_t clsSetting::WriteConfigFile(const QString& path)
{
    // The user's own copy is made at its first write-back. Any other file must still be there
    // and not carry the read-only attribute (the owner's write bit), whoever runs the program.
    const QFileInfo info(path);
    if (path != filePath_ && !info.exists()) {
        if (!QDir().mkpath(info.absolutePath()))
            return kKeyMissing;
    } else if (!info.exists() || info.isDir() || !(QFile::permissions(path) & QFileDevice::WriteOwner)) {
        return kKeyMissing;
    }
    std::vector<config::ValueChange> changes;
    QString appended;
    for (const Entry& entry : table_) {
        if (entry.appended)
            appended += entry.key + QLatin1Char('=') + entry.value + QStringLiteral("\r\n");
        else if (entry.changed)
            changes.push_back({entry.valueBegin, entry.valueEnd, entry.value});
    }
    if (!appended.isEmpty()) {
        // New lines go after the last one, which may end without a line break.
        const bool utf16 = encoding_ == config::Encoding::Utf16Le;
        const QByteArray lineFeed = utf16 ? QByteArray("\n\0", 2) : QByteArray("\n");
        const qsizetype markSize = bytes_.startsWith("\xFF\xFE") ? 2 : bytes_.startsWith("\xEF\xBB\xBF") ? 3 : 0;
        const bool needsBreak = bytes_.size() > markSize && !bytes_.endsWith(lineFeed);
        changes.push_back({bytes_.size(), bytes_.size(), (needsBreak ? QStringLiteral("\r\n") : QString()) + appended});
    }
    const QByteArray out = config::withValuesReplaced(bytes_, encoding_, std::move(changes));
    return platform::writeWholeFile(path, out, platform::WriteMode::Replace, seams_.writeFault, nullptr) ? kDone
                                                                                                      : kKeyMissing;
}

bool settingBoolean(const clsSetting& store, const QString& key, std::optional<bool> fallback)
{
    QString text;
    if (store.GetSetting(key, text) != clsSetting::kDone) {
        if (fallback)
            return *fallback;
        throw Error(err::TypeMismatch, QStringLiteral("Type mismatch: the key \"%1\" is missing from %2")
                                           .arg(key, store.filePath()));
    }
    try {
        return CBool(text);
    } catch (const Error&) {
        throw Error(err::TypeMismatch, QStringLiteral("Type mismatch: the value \"%1\" of the key \"%2\" in %3 is no "
                                                      "Boolean (1 or 0)")
                                           .arg(text, key, store.filePath()));
    }
}

} // namespace bf
