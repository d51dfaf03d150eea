// The desktop seams for real: xdg-open run as the shell's opener (a stand-in on PATH that ends as
// told), the choosers with their remembered folders in a private settings file, and the instance
// lock's socket carrying a second start's paths.
#include "platform/qt/HandedPaths.h"
#include "platform/qt/InstanceLock.h"
#include "platform/qt/QtSeams.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QtEndian>
#include <gtest/gtest.h>
#include <thread>

using namespace bf;
using namespace bf::platform::qt;

namespace {

// PATH holds only a folder with an xdg-open that notes its argument and ends with status; none
// when status is negative. The old PATH comes back afterwards.
class StandInOpener {
public:
    explicit StandInOpener(int status) : path_(qgetenv("PATH"))
    {
        if (status >= 0) {
            const QString script = dir_.write("xdg-open", QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > %1\nexit %2\n")
                                                              .arg(dir_.file("argument"))
                                                              .arg(status)
                                                              .toUtf8());
            QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner);
        }
        qputenv("PATH", dir_.path().toUtf8());
    }
    ~StandInOpener() { qputenv("PATH", path_); }
    QByteArray argument() const { return test::readFile(dir_.file("argument")); }

private:
    test::TempDir dir_;
    QByteArray path_;
};

// Answers the next file dialog once it is open: notes the folder it opened in, then answer(dialog).
void answerNextDialog(QString& openedIn, const std::function<void(QFileDialog&)>& answer)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, &openedIn, answer] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->deleteLater();
        poll->stop();
        openedIn = dialog->directory().absolutePath();
        answer(*dialog);
    });
    poll->start(10);
}

} // namespace

TEST(DesktopShell, WhatTheOpenerCannotOpenIsReportedOnceItEndsAndAnOpenerThatCannotStartAtOnce)
{
    test::TempDir files;
    const QString book = files.write("book.xls", "x");
    const struct {
        int status; // the opener's exit status; -1: there is none
        QString target, handedOver;
        bool started, reported, folder = false;
    } cases[] = {
        {0, "https://brakenfold.example.org/?a=1&b=2", "https://brakenfold.example.org/?a=1&b=2", true, false},
        {4, "mailto:support@brakenfold.example.org", "mailto:support@brakenfold.example.org", true, true},
        {3, book, book, true, true},
        {-1, book, "", false, false},
        {0, "", "", false, false}, // no address at all: nothing is started
        {1, files.path(), files.path(), true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target.toStdString() + " status " + std::to_string(c.status));
        StandInOpener opener(c.status);
        QtShell shell;
        int reports = 0;
        const auto report = [&] { ++reports; };
        EXPECT_EQ(c.folder ? shell.openFolder(c.target, report) : shell.open(c.target, report), c.started);
        EXPECT_TRUE(QTest::qWaitFor([&] { return shell.openersRunning() == 0; }, 10000)); // reported as it ends
        EXPECT_EQ(reports, c.reported ? 1 : 0);
        EXPECT_EQ(opener.argument(), c.handedOver.toUtf8());
    }
}

TEST(DesktopChoosers, EachOpensWhereItsLastPickWasAcrossRestartsElseAtHome)
{
    test::TempDir settings, folders;
    QDir(folders.path()).mkpath("a");
    QDir(folders.path()).mkpath("b");
    const QString a = folders.file("a"), b = folders.file("b"), book = folders.write("b/book.xls", "x");
    const QString conf = settings.file("brakenfold/folders.conf");
    const QString output = "Please select output folder", addFolder = "Add all Excel files in the folder";
    const QString excel = "Excel Files (*.xls;*.xlsx;*.xlsm)";
    QString openedIn;
    // As a user picks: the path typed into the name field, then OK.
    const auto pick = [](const QString& path) {
        return [path](QFileDialog& d) {
            d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
            static_cast<QDialog&>(d).accept(); // the file dialog's own accept, which reads the pick
        };
    };
    {
        RememberedFolders remembered(conf);
        QtFolderChooser chooser(remembered);
        answerNextDialog(openedIn, pick(a));
        EXPECT_EQ(chooser.browseForFolder(output), a);
        EXPECT_EQ(openedIn, QDir::homePath()); // nothing picked yet
        answerNextDialog(openedIn, pick(b));
        EXPECT_EQ(chooser.browseForFolder(output), b);
        EXPECT_EQ(openedIn, a); // right after a pick
        answerNextDialog(openedIn, [](QFileDialog& d) { d.reject(); });
        EXPECT_EQ(chooser.browseForFolder(addFolder), QString());
        EXPECT_EQ(openedIn, QDir::homePath()); // each chooser its own
        QtFileOpenDialog files(remembered);
        answerNextDialog(openedIn, pick(book));
        EXPECT_EQ(files.getOpenFileName(excel), book);
    }
    // The next start: each opens where its last pick was; a folder that is gone gives home.
    RememberedFolders remembered(conf);
    QtFolderChooser chooser(remembered);
    QtFileOpenDialog files(remembered);
    answerNextDialog(openedIn, [](QFileDialog& d) { d.reject(); });
    files.getOpenFileName(excel);
    EXPECT_EQ(openedIn, b);
    answerNextDialog(openedIn, [](QFileDialog& d) { d.reject(); });
    EXPECT_EQ(chooser.browseForFolder(output), QString());
    EXPECT_EQ(openedIn, b);
    QFile::remove(book);
    QDir(b).removeRecursively();
    answerNextDialog(openedIn, [](QFileDialog& d) { d.reject(); });
    chooser.browseForFolder(output);
    EXPECT_EQ(openedIn, QDir::homePath());
}

TEST(InstanceHandOver, ASecondStartsPathsReachTheInstanceHoldingTheLock)
{
    test::TempDir runtime;
    QtInstanceLock running(runtime.path()), second(runtime.path());
    ASSERT_TRUE(running.tryAcquire());
    ASSERT_FALSE(second.tryAcquire());
    const QStringList paths{"/home/u/Q1 sales.xls", QString::fromUtf8("/home/u/Доходы.xlsx"), "/home/u/line\nbreak"};
    QStringList received;
    bool handed = false;
    // The second start waits for the answer, which the running instance gives from its event loop.
    std::thread start([&] { handed = second.handToRunningInstance(paths); });
    running.receiveHandedPaths([&](const QStringList& p) { received << p; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, 20000));
    start.join();
    EXPECT_TRUE(handed);
    EXPECT_EQ(received, paths);
}

TEST(InstanceHandOver, TheMessageIsReadOnlyWhenWholeAndWithinItsLimit)
{
    using State = HandedPaths::State;
    const QByteArray whole = encodeHandedPaths({"/a.xls", "/b"});
    EXPECT_EQ(whole, QByteArray("\0\0\0\x0a/a.xls\0/b\0", 14));
    const auto count = [](quint32 n) {
        QByteArray bytes(4, '\0');
        qToBigEndian(n, bytes.data());
        return bytes;
    };
    const std::pair<QByteArray, State> messages[] = {
        {{}, State::Incomplete},
        {whole.left(3), State::Incomplete},
        {whole.left(13), State::Incomplete},
        {whole, State::Complete},
        {count(0), State::Complete},                         // no paths
        {whole + 'x', State::Refused},                       // more than it said
        {count(2) + QByteArray("/a", 2), State::Refused},    // the last path without its NUL
        {count(16 * 1024 * 1024 + 1), State::Refused},       // over the limit, refused before it arrives
    };
    for (const auto& [received, state] : messages)
        EXPECT_EQ(decodeHandedPaths(received).state, state) << received.toHex().toStdString();
    EXPECT_EQ(decodeHandedPaths(whole).paths, (QStringList{"/a.xls", "/b"}));
    EXPECT_EQ(decodeHandedPaths(count(3) + QByteArray("\0\0\0", 3)).paths, QStringList{}); // empty paths left out
    EXPECT_TRUE(encodeHandedPaths({QString(kMaxHandedPathBytes, 'x')}).isEmpty());
}
