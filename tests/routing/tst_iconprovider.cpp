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
struct RecordingProvider : IconProvider
{
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override
    {
        const QMutexLocker lock(&mutex);
        return last = IconProvider::requestImage(id, size, requestedSize);
    }
    QMutex mutex;
    QImage last;
};

} // namespace

class IconProviderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void iconFoundAndSized_data() { testenv::addRowsFromFile("process-icons.tsv", 5); }
    void iconFoundAndSized();
    void sourceIsPercentEncoded_data() { testenv::addRowsFromFile("process-icon-sources.tsv", 3); }
    void sourceIsPercentEncoded();
    void pathSurvivesTheImageUrl();

private:
    QTemporaryDir m_root;
    QString m_programs; // folder of the (pretend) programs
};

void IconProviderTest::initTestCase()
{
    QVERIFY(m_root.isValid());
    m_programs = m_root.filePath(QStringLiteral("Мои программы #1 (100%)"));
    QVERIFY(QDir().mkpath(m_programs));
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    QVERIFY(dataHome.startsWith(testenv::home()));
    const QString systemData = m_root.filePath(QStringLiteral("system-share"));
    qputenv("XDG_DATA_DIRS", (systemData + QStringLiteral(":/usr/share")).toUtf8());
    const QString bin = m_root.filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    qputenv("PATH", (bin + QLatin1Char(':') + qEnvironmentVariable("PATH")).toUtf8());

    const QString hicolor = dataHome + QStringLiteral("/icons/hicolor/");
    const QString apps = dataHome + QStringLiteral("/applications/");
    writeFile(apps + "orvik-editor.desktop",
              "[Desktop Entry]\nType=Application\nName=Editor\nIcon[ru]=orvik-nothing\n"
              "Exec=orvik-editor %F\nIcon=orvik-editor-icon\n");
    writeIcon(hicolor + "48x48/apps/orvik-editor-icon.png", 48, Qt::red);
    const QString viewer = m_programs + "/orvik-viewer";
    writeFile(viewer, "#!/bin/sh\n");
    writeFile(apps + "vendor/orvik-viewer.desktop",
              "[Desktop Entry]\nType=Application\nExec=env LANG=C \"" + viewer.toUtf8() +
                  "\" --new-window %u\nIcon=orvik-viewer-icon.png\n");
    writeIcon(hicolor + "256x256/apps/orvik-viewer-icon.png", 256, Qt::green);
    writeFile(apps + "orvik-tool.desktop",
              "[Desktop Entry]\nExec=sh -c 'orvik-tool --gui'\nTryExec=orvik-tool\n"
              "Icon=orvik-tool-icon\n");
    writeIcon(hicolor + "32x32/apps/orvik-tool-icon.xpm", 32, Qt::blue);
    writeFile(apps + "orvik-custom.desktop",
              "[Desktop Entry]\nExec=\"orvik-custom\\sfile\" --open\nIcon=" +
                  m_root.filePath("art/custom.png").toUtf8() +
                  "\n[Desktop Action new]\n"
                  "Exec=orvik-other\nIcon=orvik-tool-icon\n");
    writeIcon(m_root.filePath("art/custom.png"), 64, Qt::yellow);
    const QString linked = m_programs + "/orvik-linked-real";
    writeFile(linked, "#!/bin/sh\n");
    QVERIFY(QFile::link(linked, bin + "/orvik-linked"));
    writeFile(systemData + "/applications/orvik-linked.desktop",
              "[Desktop Entry]\nExec=orvik-linked\nIcon=orvik-linked-icon\n");
    writeIcon(systemData + "/icons/hicolor/24x24/apps/orvik-linked-icon.png", 24, Qt::cyan);
    writeIcon(hicolor + "64x64/apps/orvik-plain.png", 64, Qt::magenta);
    writeIcon(systemData + "/pixmaps/orvik-pix.xpm", 32, Qt::darkBlue);
    writeFile(systemData + "/applications/orvik-masked.desktop",
              "[Desktop Entry]\nExec=orvik-masked\nIcon=orvik-editor-icon\n");
    writeFile(apps + "orvik-masked.desktop", "[Desktop Entry]\nHidden=true\n");
    writeFile(apps + "orvik-fallback.desktop",
              "[Desktop Entry]\nExec=orvik-fallback\nIcon=orvik-missing-icon\n");
    writeIcon(hicolor + "48x48/apps/orvik-fallback.png", 48, Qt::darkGreen);
}

void IconProviderTest::iconFoundAndSized()
{
    QFETCH(QStringList, row);
    const bool relative = !row[1].isEmpty() && !row[1].startsWith('/');
    const QString source = processIconSource(relative ? m_programs + '/' + row[1] : row[1]);
    const QString id = source == "app" ? source : source.mid(20);
    const QStringList asked = row[2].split('x');
    const QSize requested = row[2].isEmpty() ? QSize() : QSize(asked[0].toInt(), asked[1].toInt());
    QSize size;
    const QImage image = IconProvider().requestImage(id, &size, requested);
    QCOMPARE(image.size(), QSize(row[3].toInt(), row[3].toInt()));
    QCOMPARE(size, image.size());
    QCOMPARE(image.format(), QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(centre(image), row[4] == "square" ? kSquare : QColor(row[4]));
    QCOMPARE(IconProvider().requestImage(id, nullptr, requested), image);
}

void IconProviderTest::sourceIsPercentEncoded()
{
    QFETCH(QStringList, row);
    QCOMPARE(processIconSource(row[1]), row[2]);
    if (!row[1].isEmpty())
        QCOMPARE(processIconPath(row[2].mid(20)), row[1]);
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
    const QMutexLocker lock(&provider->mutex);
    QCOMPARE(centre(provider->last), QColor(Qt::cyan));
}

ORVIK_TEST_MAIN(IconProviderTest, QGuiApplication)
#include "tst_iconprovider.moc"
