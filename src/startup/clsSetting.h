#pragma once
// The configuration store over Config.cfg: the whole file as an insertion-ordered key/value
// table, read once at creation and written back once at release.
#include "platform/Seams.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

namespace bf {

class clsSetting {
public:
    // Reads the file; a missing file throws Error 53 (the store catches
    // nothing); a stopped read shows "Can't Read Setting from config file". The reports go
    // through seams, which must outlive the store. writePath is where the table goes back at
    // release: filePath when empty, else the user's own copy, made at its first write-back.
    clsSetting(const QString& filePath, const platform::Seams& seams, const QString& writePath = QString());
    // Writes the table back; a failure shows "Can't Write Setting to config file".
    ~clsSetting();
    clsSetting(const clsSetting&) = delete;
    clsSetting& operator=(const clsSetting&) = delete;

    // 1 and the value in retValue when the key is present; 2 and retValue untouched otherwise.
    std::int32_t GetSetting(const QString& KeyName, QString& retValue) const;
    // 1 when the key is present and now holds value; 2 and nothing changed otherwise.
    std::int32_t SetSetting(const QString& KeyName, const QString& value);

    // For tests and the write-back: the table in order.
    const std::vector<std::pair<QString, QString>>& entries() const { return table_; }
    const QString& filePath() const { return filePath_; }
    const QString& writePath() const { return writePath_; }

    static constexpr std::int32_t kDone = 1;
    static constexpr std::int32_t kKeyMissing = 2; // also: no file object obtainable
    static constexpr std::int32_t kStoppedAtMalformedLine = 0;

private:
    std::int32_t ReadConfigFile(const QString& path);
    std::int32_t WriteConfigFile(const QString& path);
    int indexOf(const QString& key) const;

    std::vector<std::pair<QString, QString>> table_;
    QString filePath_;
    QString writePath_;
    const platform::Seams& seams_;
    // The original bytes from the malformed line on, written back unchanged after the table.
    QByteArray unreadTail_;
};

} // namespace bf
