// The files that lie beside the program: icons that load at the sizes the windows use, a hand
// cursor whose hotspot is on its fingertip, and a help file that is a real compiled help file
// with a page, and a context number, for every menu command.
#include "ChmDirectory.h"
#include "about/AboutBox.h"
#include "about/HelpTopics.h"
#include "core/Error.h"
#include "support/TestPaths.h"

#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <set>

using namespace bf;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return f.readAll();
}

const QString iconDir() { return test::sourceDir() + "/assets/Icon/"; }
const QString helpDir() { return test::sourceDir() + "/assets/help/"; }

// Every image of an icon file, as Qt's reader sees it.
std::vector<QImage> imagesOf(const QString& path)
{
    QImageReader reader(path);
    std::vector<QImage> images;
    for (int i = 0; i < reader.imageCount(); ++i) {
        reader.jumpToImage(i);
        images.push_back(reader.read());
    }
    return images;
}

// Share of pixels that are at least half opaque.
double coverage(const QImage& img)
{
    int opaque = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            opaque += img.pixelColor(x, y).alpha() >= 128;
    return double(opaque) / (img.width() * img.height());
}

} // namespace

TEST(Assets, EveryIconHoldsClearImagesAt16And32Pixels)
{
    const QStringList names{"frmMain.ico", "AppMain.ico", "Add.ICO",      "Remove.ico", "Split.ico",
                            "Option.ico",  "Help.ico",    "HomePage.Ico", "Exit.ico"};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString path = iconDir() + name;
        ASSERT_TRUE(QFileInfo(path).isFile()); // exact name, letter case included
        std::set<int> sizes;
        for (const QImage& img : imagesOf(path)) {
            ASSERT_FALSE(img.isNull());
            EXPECT_EQ(img.width(), img.height());
            EXPECT_TRUE(img.hasAlphaChannel());
            // Something is drawn, and it is not a filled square.
            EXPECT_GT(coverage(img), 0.25);
            EXPECT_LT(coverage(img), 0.99);
            sizes.insert(img.width());
        }
        EXPECT_TRUE(sizes.count(16));
        EXPECT_TRUE(sizes.count(32));
        const QIcon icon(path);
        EXPECT_EQ(icon.pixmap(32, 32).size(), QSize(32, 32));
        EXPECT_EQ(icon.pixmap(16, 16).size(), QSize(16, 16));
        // The build lays the same file out beside the program.
        EXPECT_EQ(readAll(test::appDir() + "/Icon/" + name), readAll(path));
    }
    // The main window and the About box show the same artwork.
    EXPECT_EQ(readAll(iconDir() + "frmMain.ico"), readAll(iconDir() + "AppMain.ico"));
}

TEST(Assets, HandCursorCarriesItsHotspotOnTheFingertip)
{
    const QString path = iconDir() + "hand.cur";
    const about::Hotspot hot = about::ReadCursorHotspot(path);
    EXPECT_TRUE(hot.x != 0 || hot.y != 0); // a set hotspot, not the icon header's zeros

    const QImage img(path);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(32, 32));
    ASSERT_TRUE(img.rect().contains(hot.x, hot.y));
    // The hotspot is drawn (the tip), and nothing of the hand lies above it.
    EXPECT_EQ(img.pixelColor(hot.x, hot.y).alpha(), 255);
    for (int y = 0; y < hot.y; ++y)
        for (int x = 0; x < img.width(); ++x)
            EXPECT_EQ(img.pixelColor(x, y).alpha(), 0) << x << "," << y;
}

TEST(Assets, CursorHotspotReaderRejectsWhatIsNoCursor)
{
    auto expectInvalid = [](const QByteArray& bytes, const char* what) {
        try {
            about::ParseCursorHotspot(bytes, QStringLiteral("x.cur"));
            ADD_FAILURE() << what;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), 481) << what;
        }
    };
    const QByteArray cursor = readAll(iconDir() + "hand.cur");
    expectInvalid(QByteArray(), "empty");
    expectInvalid(cursor.left(21), "cut inside the first entry");
    expectInvalid(readAll(iconDir() + "Help.ico"), "an icon, whose header has no hotspot");
    QByteArray noImages = cursor;
    noImages[4] = 0;
    noImages[5] = 0;
    expectInvalid(noImages, "no images");

    const about::Hotspot h = about::ParseCursorHotspot(cursor.left(22), QStringLiteral("x.cur"));
    EXPECT_EQ(h.x, static_cast<unsigned char>(cursor[10]) | (static_cast<unsigned char>(cursor[11]) << 8));
    EXPECT_EQ(h.y, static_cast<unsigned char>(cursor[12]) | (static_cast<unsigned char>(cursor[13]) << 8));

    try {
        about::ReadCursorHotspot(iconDir() + "no-such.cur");
        ADD_FAILURE() << "missing file";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::FileNotFound);
    }
}

TEST(HelpFile, IsACompiledHelpFileWithEveryPageOfItsProject)
{
    const QByteArray chm = readAll(helpDir() + "help.chm");
    const test::ChmDirectory dir = test::readChmDirectory(chm);

    // Every page of the project is in it, at the size of the committed source: the compiled file
    // is not older than its pages.
    const QString project = QString::fromUtf8(readAll(helpDir() + "src/help.hhp")).remove('\r');
    const qsizetype filesAt = project.indexOf("[FILES]\n");
    ASSERT_GE(filesAt, 0);
    const QStringList files =
        project.mid(filesAt + 8, project.indexOf("\n\n", filesAt) - filesAt - 8).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(files.size(), 20);
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        const auto it = dir.entries.find('/' + file);
        ASSERT_NE(it, dir.entries.end());
        EXPECT_EQ(it->second.length, static_cast<std::uint64_t>(QFileInfo(helpDir() + "src/" + file).size()));
    }
    for (const char* page : {"index.htm", "how_splitting_works.htm", "output_tree.htm", "options.htm",
                             "troubleshooting.htm"})
        EXPECT_TRUE(files.contains(QString::fromLatin1(page))) << page;
    EXPECT_TRUE(dir.entries.count("/toc.hhc"));
    EXPECT_TRUE(dir.entries.count("/index.hhk"));

    // The system file names the title and the first page.
    const QByteArray system = dir.uncompressed("/#SYSTEM");
    EXPECT_TRUE(system.contains("Brakenfold Help"));
    EXPECT_TRUE(system.contains("index.htm"));

    // One context map entry (number and topic, eight bytes) for each menu entry.
    const auto ivb = dir.entries.find("/#IVB");
    ASSERT_NE(ivb, dir.entries.end());
    EXPECT_EQ(ivb->second.length, 4 + 8 * about::kMenuHelpTopics.size());

    // The build lays the same file out beside the program.
    EXPECT_EQ(readAll(test::appDir() + "/help/help.chm"), chm);
}

TEST(HelpFile, EveryMenuCommandHasItsPageAndContextNumber)
{
    const QString project = QString::fromUtf8(readAll(helpDir() + "src/help.hhp")).remove('\r');
    const test::ChmDirectory dir = test::readChmDirectory(readAll(helpDir() + "help.chm"));
    std::set<int> numbers;
    for (const about::MenuHelpTopic& t : about::kMenuHelpTopics) {
        SCOPED_TRACE(t.menuName);
        const QString page = QString::fromLatin1(t.page);
        const QString id = QStringLiteral("IDH_") + QString::fromLatin1(t.menuName);
        EXPECT_TRUE(numbers.insert(t.context).second);
        // The project maps the number to the page...
        EXPECT_TRUE(project.contains(QStringLiteral("\n#define %1 %2\n").arg(id).arg(t.context)));
        EXPECT_TRUE(project.contains(QStringLiteral("\n%1=%2\n").arg(id, page)));
        // ...the compiled file holds the page...
        EXPECT_TRUE(dir.entries.count('/' + page));
        // ...and the page shows its number.
        const QString html = QString::fromUtf8(readAll(helpDir() + "src/" + page));
        EXPECT_TRUE(html.contains(QStringLiteral("Help context %1<").arg(t.context)));
        EXPECT_EQ(about::HelpPageForContext(t.context), t.page);
    }
    // The main menu's numbers: 1 to 15 and 18 for About.
    std::set<int> expected{18};
    for (int n = 1; n <= 15; ++n)
        expected.insert(n);
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(about::HelpPageForContext(16), nullptr);
}
