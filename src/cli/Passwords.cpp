#include "cli/Passwords.h"

#include "crypto/Password.h"

#include <QFile>

#include <cstdio>
#include <cstring>
#include <termios.h>
#include <unistd.h>

namespace bf::cli {

namespace {

// A password file larger than this is no list of passwords.
constexpr qint64 kMaxPasswordFileBytes = 1 << 20;

QString readPasswordFile(const QString& path, automation::Keyring& keyring)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("the password file '%1' cannot be read: %2").arg(path, file.errorString());
    if (file.size() > kMaxPasswordFileBytes)
        return QStringLiteral("the password file '%1' holds %2 bytes, more than the %3 a password file may hold")
            .arg(path).arg(file.size()).arg(kMaxPasswordFileBytes);
    QByteArray bytes = file.readAll();
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        QString password = QString::fromUtf8(line);
        keyring.addCandidate(password);
        password.fill(QChar(0));
        crypto::wipe(line);
    }
    crypto::wipe(bytes);
    return QString();
}

// Reads one line from the terminal without showing it; nothing on an empty line or end of input.
std::optional<automation::PasswordAnswer> prompt(const QString& path, automation::PasswordError::Why why)
{
    const char* lead = why == automation::PasswordError::Why::Wrong ? "Wrong password. " : "";
    std::fprintf(stderr, "%sPassword for '%s' (empty to skip it): ", lead, path.toLocal8Bit().constData());
    std::fflush(stderr);
    termios saved{};
    const bool terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    char buffer[1024];
    const bool read = std::fgets(buffer, sizeof buffer, stdin) != nullptr;
    if (terminal)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    std::optional<automation::PasswordAnswer> answer;
    if (read) {
        std::size_t n = std::strlen(buffer);
        while (n > 0 && (buffer[n - 1] == '\n' || buffer[n - 1] == '\r'))
            --n;
        if (n > 0)
            answer = automation::PasswordAnswer{QString::fromLocal8Bit(buffer, qsizetype(n)), false};
    }
    std::memset(buffer, 0, sizeof buffer);
    return answer;
}

} // namespace

QString preparePasswords(const CommandLine& cl, automation::Keyring& keyring)
{
    if (!cl.passwordFile.isEmpty()) {
        const QString problem = readPasswordFile(cl.passwordFile, keyring);
        if (!problem.isEmpty())
            return problem;
    }
    if (::isatty(STDIN_FILENO) == 1)
        keyring.setAsker(prompt);
    return QString();
}

std::unique_ptr<automation::Keyring> jobKeyring(const automation::Keyring& run, std::mutex& promptTurn)
{
    auto keyring = std::make_unique<automation::Keyring>();
    keyring->learnFrom(run);
    if (::isatty(STDIN_FILENO) == 1)
        keyring->setAsker([&promptTurn](const QString& path, automation::PasswordError::Why why) {
            const std::lock_guard turn(promptTurn);
            return prompt(path, why);
        });
    return keyring;
}

} // namespace bf::cli
