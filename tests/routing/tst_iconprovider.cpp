#include "routing/iconprovider.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMutex>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QColor kSquare(QStringLiteral("#263d18"));

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

void writeIcon(const QString& path, int side, const QColor& colour)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(colour);
    QVERIFY(image.save(path));
}

QColor centre(const QImage& image)
{
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

// The real provider, keeping what it served last so the test can look at it.
class RecordingProvider : public IconProvider
{
public:
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override
    {
        const QImage image = IconProvider::requestImage(id, size, requestedSize);
        const QMutexLocker lock(&m_mutex);
        m_last = image;
        return image;
    }

    QImage lastImage()
    {
        const QMutexLocker lock(&m_mutex);
        return m_last;
    }

private:
    QMutex m_mutex;
    QImage m_last;
};

} // namespace

class IconProviderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void sideFollowsRequestedWidth_data();
    void sideFollowsRequestedWidth();
    void iconFromDesktopEntryOrTheme_data();
    void iconFromDesktopEntryOrTheme();
    void sourceIsPercentEncoded_data();
    void sourceIsPercentEncoded();
    void pathSurvivesTheImageUrl();

private:
    QTemporaryDir m_root;
    QString m_programs; // folder of the (pretend) programs
    QString m_dataHome;
    QString m_systemData;
};

void IconProviderTest::initTestCase()
{
    QVERIFY(m_root.isValid());
    m_programs = m_root.filePath(QStringLiteral("Мои программы #1 (100%)"));
    QVERIFY(QDir().mkpath(m_programs));
    m_dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    QVERIFY(m_dataHome.startsWith(testenv::home()));
    m_systemData = m_root.filePath(QStringLiteral("system-share"));
    qputenv("XDG_DATA_DIRS", (m_systemData + QStringLiteral(":/usr/share")).toUtf8());
    const QString bin = m_root.filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    qputenv("PATH", (bin + QLatin1Char(':') + qEnvironmentVariable("PATH")).toUtf8());

    const QString hicolor = m_dataHome + QStringLiteral("/icons/hicolor/");
    const QString apps = m_dataHome + QStringLiteral("/applications/");

    // A program whose desktop entry names it by file name.
    writeFile(apps + "orvik-editor.desktop",
              "[Desktop Entry]\nType=Application\nName=Editor\nIcon[ru]=orvik-nothing\n"
              "Exec=orvik-editor %F\nIcon=orvik-editor-icon\n");
    writeIcon(hicolor + "48x48/apps/orvik-editor-icon.png", 48, Qt::red);

    // Started through env with a quoted absolute path; only a large icon exists.
    const QString viewer = m_programs + "/orvik-viewer";
    writeFile(viewer, "#!/bin/sh\n");
    writeFile(apps + "vendor/orvik-viewer.desktop",
              "[Desktop Entry]\nType=Application\nExec=env LANG=C \"" + viewer.toUtf8() +
                  "\" --new-window %u\nIcon=orvik-viewer-icon.png\n");
    writeIcon(hicolor + "256x256/apps/orvik-viewer-icon.png", 256, Qt::green);

    // Only TryExec names it; the icon is an XPM of another size.
    writeFile(apps + "orvik-tool.desktop",
              "[Desktop Entry]\nExec=sh -c 'orvik-tool --gui'\nTryExec=orvik-tool\n"
              "Icon=orvik-tool-icon\n");
    writeIcon(hicolor + "32x32/apps/orvik-tool-icon.xpm", 32, Qt::blue);

    // The icon is a file path; the program's name holds an escaped, quoted space.
    writeFile(apps + "orvik-custom.desktop",
              "[Desktop Entry]\nExec=\"orvik-custom\\sfile\" --open\nIcon=" +
                  m_root.filePath("art/custom.png").toUtf8() +
                  "\n[Desktop Action new]\n"
                  "Exec=orvik-other\nIcon=orvik-tool-icon\n");
    writeIcon(m_root.filePath("art/custom.png"), 64, Qt::yellow);

    // The entry starts a command in $PATH that is a link to the program.
    const QString linked = m_programs + "/orvik-linked-real";
    writeFile(linked, "#!/bin/sh\n");
    QVERIFY(QFile::link(linked, bin + "/orvik-linked"));
    writeFile(m_systemData + "/applications/orvik-linked.desktop",
              "[Desktop Entry]\nExec=orvik-linked\nIcon=orvik-linked-icon\n");
    writeIcon(m_systemData + "/icons/hicolor/24x24/apps/orvik-linked-icon.png", 24, Qt::cyan);

    // No desktop entry: an icon named after the program, in the theme or in pixmaps.
    writeIcon(hicolor + "64x64/apps/orvik-plain.png", 64, Qt::magenta);
    writeIcon(m_systemData + "/pixmaps/orvik-pix.xpm", 32, Qt::darkBlue);

    // The user's hidden copy of an entry masks the system one.
    writeFile(m_systemData + "/applications/orvik-masked.desktop",
              "[Desktop Entry]\nExec=orvik-masked\nIcon=orvik-editor-icon\n");
    writeFile(apps + "orvik-masked.desktop", "[Desktop Entry]\nHidden=true\n");

    // An entry that names an icon which does not exist: the program's own name is tried.
    writeFile(apps + "orvik-fallback.desktop",
              "[Desktop Entry]\nExec=orvik-fallback\nIcon=orvik-missing-icon\n");
    writeIcon(hicolor + "48x48/apps/orvik-fallback.png", 48, Qt::darkGreen);
}

void IconProviderTest::sideFollowsRequestedWidth_data()
{
    // clang-format off
    QTest::addColumn<QString>("program");
    QTest::addColumn<QSize>("requested");
    QTest::addColumn<QSize>("expected");
    const QString themed = "orvik-editor";
    const QString missing = "orvik-without-icon";
    QTest::newRow("themed, no size") << themed << QSize() << QSize(32, 32);
    QTest::newRow("themed, 26") << themed << QSize(26, 26) << QSize(26, 26);
    QTest::newRow("themed, width wins") << themed << QSize(20, 40) << QSize(20, 20);
    QTest::newRow("square, no size") << missing << QSize() << QSize(32, 32);
    QTest::newRow("square, 26") << missing << QSize(26, 26) << QSize(26, 26);
    QTest::newRow("square, zero") << missing << QSize(0, 0) << QSize(32, 32);
    QTest::newRow("square, height only") << missing << QSize(-1, 50) << QSize(32, 32);
    // clang-format on
}

void IconProviderTest::sideFollowsRequestedWidth()
{
    QFETCH(QString, program);
    QFETCH(QSize, requested);
    QFETCH(QSize, expected);
    IconProvider provider;
    QSize size;
    const QString id = processIconSource(m_programs + "/" + program).mid(20);
    const QImage image = provider.requestImage(id, &size, requested);
    QCOMPARE(image.size(), expected);
    QCOMPARE(size, expected);
    QCOMPARE(image.format(), QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(provider.requestImage(id, nullptr, requested).size(), expected);
}

void IconProviderTest::iconFromDesktopEntryOrTheme_data()
{
    // clang-format off
    QTest::addColumn<QString>("path");
    QTest::addColumn<QColor>("colour");
    const QString dir = m_programs + "/";
    QTest::newRow("desktop entry, themed icon") << dir + "orvik-editor" << QColor(Qt::red);
    QTest::newRow("env and quoted path, larger size scaled") << dir + "orvik-viewer" << QColor(Qt::green);
    QTest::newRow("TryExec, XPM") << dir + "orvik-tool" << QColor(Qt::blue);
    QTest::newRow("icon given as a file") << dir + "orvik-custom file" << QColor(Qt::yellow);
    QTest::newRow("link in PATH, system data folder") << dir + "orvik-linked-real" << QColor(Qt::cyan);
    QTest::newRow("no entry, icon named after program") << dir + "orvik-plain" << QColor(Qt::magenta);
    QTest::newRow("no entry, pixmaps") << "/opt/x/orvik-pix" << QColor(Qt::darkBlue);
    QTest::newRow("entry icon missing, program name") << dir + "orvik-fallback" << QColor(Qt::darkGreen);
    QTest::newRow("hidden entry masks the system one") << dir + "orvik-masked" << kSquare;
    QTest::newRow("only a desktop action names it") << dir + "orvik-other" << kSquare;
    QTest::newRow("nothing known") << dir + "orvik-unknown" << kSquare;
    QTest::newRow("not a path") << QString() << kSquare;
    // clang-format on
}

void IconProviderTest::iconFromDesktopEntryOrTheme()
{
    QFETCH(QString, path);
    QFETCH(QColor, colour);
    IconProvider provider;
    const QString source = processIconSource(path);
    const QString id = source.startsWith("image://processicon/") ? source.mid(20) : source;
    const QImage image = provider.requestImage(id, nullptr, QSize());
    QCOMPARE(image.size(), QSize(32, 32));
    QCOMPARE(centre(image), colour);
}

void IconProviderTest::sourceIsPercentEncoded_data()
{
    // clang-format off
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("source");
    QTest::newRow("no path") << QString() << "app";
    QTest::newRow("unreserved kept") << "/a-b.c_d~e" << "image://processicon/%2Fa-b.c_d~e";
    QTest::newRow("spaces and Cyrillic") << "C:\\Program Files\\Яндекс\\a+b.exe" << "image://processicon/C%3A%5CProgram%20Files%5C%D0%AF%D0%BD%D0%B4%D0%B5%D0%BA%D1%81" "%5Ca%2Bb.exe";
    QTest::newRow("URL characters") << "/x/#1?%/y" << "image://processicon/%2Fx%2F%231%3F%25%2Fy";
    // clang-format on
}

void IconProviderTest::sourceIsPercentEncoded()
{
    QFETCH(QString, path);
    QFETCH(QString, source);
    QCOMPARE(processIconSource(path), source);
    if (!path.isEmpty())
        QCOMPARE(processIconPath(source.mid(20)), path);
}

void IconProviderTest::pathSurvivesTheImageUrl()
{
    // The window loads icons asynchronously through the engine, which hands the provider
    // the URL's path in its own, partly decoded form, on the image-loading thread.
    auto* provider = new RecordingProvider;
    QQmlEngine engine;
    engine.addImageProvider(QStringLiteral("processicon"), provider);
    QQmlComponent component(&engine);
    component.setData("import QtQuick\nImage { asynchronous: true }", QUrl());
    std::unique_ptr<QObject> image(component.create());
    QVERIFY2(image, qPrintable(component.errorString()));

    // Found through the full path only (a link in $PATH), so a damaged path shows.
    image->setProperty("source", processIconSource(m_programs + "/orvik-linked-real"));
    QTRY_COMPARE(image->property("status").toInt(), 1); // Image.Ready
    QCOMPARE(image->property("sourceSize").toSize(), QSize(32, 32));
    const QImage served = provider->lastImage();
    QCOMPARE(served.size(), QSize(32, 32));
    QCOMPARE(centre(served), QColor(Qt::cyan));
}

ORVIK_TEST_MAIN(IconProviderTest, QGuiApplication)
#include "tst_iconprovider.moc"
