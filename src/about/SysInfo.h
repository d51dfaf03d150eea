#pragma once
// The System Information button of the About box: finding the program through the registry
// seam and starting it through the shell seam.
#include "platform/Seams.h"

#include <QString>
#include <cstdint>

namespace bf::about {

// Where the System Information program is registered, in the order they are tried.
inline constexpr const char* kSysInfoPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr const char* kSysInfoPathValue = "PATH";
inline constexpr const char* kSysInfoFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr const char* kSysInfoFolderValue = "MSINFO";
inline constexpr const char* kSysInfoProgramName = "MSINFO32.EXE";

inline constexpr const char* kSysInfoUnavailable = "System Information Is Unavailable At This Time";

// The room the value is read into; a longer value counts as not read.
inline constexpr std::uint32_t kKeyValueBufferSize = 1024;

// Reads the value SubKeyRef of the key KeyName under KeyRoot. True when a value was read:
// a string goes to KeyVal as it stands (a trailing NUL dropped), a number as an "&h" literal
// with two hexadecimal digits per byte, most significant first; any other type leaves KeyVal
// as it was. False with KeyVal "" when the key cannot be opened or the value cannot be read
// (a value longer than the buffer included). A value with no data at all throws
// bf::Error 5. The key is opened for reading only and closed on every path.
bool GetKeyValue(const platform::Seams& seams, std::uint32_t KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal);

// Finds the System Information program (its registered path, else the registered folder
// holding MSINFO32.EXE) and starts it; every failure on the way shows the unavailable message.
void StartSysInfo(const platform::Seams& seams);

} // namespace bf::about
