#pragma once
// The configuration store over Config.cfg: the whole file as an insertion-ordered key/value
// table, read once at creation and written back once at release. The write-back changes the
// values that were set and nothing else of the file (see startup/ConfigFileFormat.h).
#include "platform/Seams.h"
#include "startup/ConfigFileFormat.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace bf {

class clsSetting {
public:
    // Reads the file; a missing file throws Error 53, anything but a regular file Error 75, each
    // naming the file (the store catches nothing); a stopped read shows "Can't Read Setting from
    // config file". The reports go through seams, which must outlive the store. writePath is
    // where the table goes back at release: filePath when empty, else the user's own copy, made
    // at its first write-back.
    clsSetting(const QString& filePath, const platform::Seams& seams, const QString& writePath = QString());
    // Writes the table back; a failure shows "Can't Write Setting to config file".
    ~clsSetting();
    clsSetting(const clsSetting&) = delete;
    clsSetting& operator=(const clsSetting&) = delete;

    // 1 and the value in retValue when the key is present; 2 and retValue untouched otherwise.
    std::int32_t GetSetting(const QString& KeyName, QString& retValue) const;
    // 1 when the key is present and now holds value; 2 and nothing changed otherwise.
    std::int32_t SetSetting(const QString& KeyName, const QString& value);
    // Adds a key the file lacks, written as a new last line at release: 1 when added, 2 when the
    // key is there already, or the file gives no place for a line that is read back (its reading
    // stopped at a line without "=", or its last character is cut in half).
    std::int32_t AppendSetting(const QString& KeyName, const QString& value);

    // One key: its value in effect and where that value stands in the file.
    struct Entry {
        QString key;
        QString value;
        qsizetype valueBegin;
        qsizetype valueEnd;
        bool changed = false;
        bool appended = false;
    };
    // For tests: the table in order.
    const std::vector<Entry>& entries() const { return table_; }
    const QString& filePath() const { return filePath_; }
    const QString& writePath() const { return writePath_; }

    static constexpr std::int32_t kDone = 1;
    static constexpr std::int32_t kKeyMissing = 2; // also: no file object obtainable
    static constexpr std::int32_t kStoppedAtMalformedLine = 0;

private:
    std::int32_t ReadConfigFile(const QString& path);
    std::int32_t WriteConfigFile(const QString& path);
    Entry* find(const QString& key);

    std::vector<Entry> table_;
    QHash<QString, std::size_t> index_; // key -> position in table_
    QString filePath_;
    QString writePath_;
    const platform::Seams& seams_;
    // The file as read: the write-back puts the changed values into these bytes.
    QByteArray bytes_;
    config::Encoding encoding_ = config::Encoding::Utf16Le;
    bool stoppedAtMalformedLine_ = false;
};

// The Boolean (1 or 0) stored under key in store; fallback when the key is missing, and Error 13
// naming the key and the file when there is no fallback or the value is no Boolean.
bool settingBoolean(const clsSetting& store, const QString& key, std::optional<bool> fallback);

} // namespace bf
