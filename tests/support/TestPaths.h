#pragma once
// Absolute paths the build hands to the tests.
#include <QString>

namespace bf::test {
inline QString corpusDir() { return QStringLiteral(BRAKENFOLD_CORPUS_DIR); }
inline QString corpusFile(const QString& relative) { return corpusDir() + '/' + relative; }
inline QString sourceDir() { return QStringLiteral(BRAKENFOLD_SOURCE_DIR); }
inline QString appDir() { return QStringLiteral(BRAKENFOLD_APP_DIR); }
inline QString python() { return QStringLiteral(BRAKENFOLD_PYTHON); }
} // namespace bf::test
