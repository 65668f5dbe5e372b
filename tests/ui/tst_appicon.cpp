// The line icons, rendered offscreen and compared by their pixels.

#include "tests/support/testenv.h"

#include <QGuiApplication>
#include <QImage>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <memory>

class AppIconTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void unknownNameDrawsTheGlobe();
    void figures_data();
    void figures();
    void redrawsWithColourAndSize();

private:
    QImage render(const QString& name, const QColor& colour = Qt::red, int size = 96);
    // Strongest red in a small square around a point of the 24 × 24 grid.
    static int inkAt(const QImage& image, qreal gridX, qreal gridY, int radius);

    QQmlEngine m_engine;
    std::unique_ptr<QQuickWindow> m_window;
    QQuickItem* m_icon = nullptr;
};

void AppIconTest::initTestCase()
{
    m_window = std::make_unique<QQuickWindow>();
    m_window->setColor(Qt::black);
    m_window->resize(96, 96);
    QQmlComponent component(&m_engine);
    // Placed beside the window's documents, so AppIcon resolves the way Main.qml sees it.
    component.setData("import QtQuick\nAppIcon { }\n",
                      QUrl(QStringLiteral("qrc:/OrvikVPN/qml/IconProbe.qml")));
    m_icon = qobject_cast<QQuickItem*>(component.create());
    QVERIFY2(m_icon, qPrintable(component.errorString()));
    m_icon->setParent(m_window.get());
    m_icon->setParentItem(m_window->contentItem());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

QImage AppIconTest::render(const QString& name, const QColor& colour, int size)
{
    m_icon->setSize(QSizeF(size, size));
    m_icon->setProperty("color", colour);
    m_icon->setProperty("name", name);
    // The canvas paints on the next frame; two equal grabs in a row mean it has settled.
    QImage previous;
    for (int attempt = 0; attempt < 50; ++attempt) {
        QTest::qWait(20);
        QImage image =
            m_window->grabWindow().copy(0, 0, size, size).convertToFormat(QImage::Format_RGB32);
        if (!previous.isNull() && image == previous)
            return image;
        previous = image;
    }
    return previous;
}

int AppIconTest::inkAt(const QImage& image, qreal gridX, qreal gridY, int radius)
{
    const qreal scale = image.width() / 24.0;
    const int cx = qRound(gridX * scale);
    const int cy = qRound(gridY * scale);
    int strongest = 0;
    for (int y = cy - radius; y <= cy + radius; ++y) {
        for (int x = cx - radius; x <= cx + radius; ++x) {
            if (image.rect().contains(x, y))
                strongest = qMax(strongest, qRed(image.pixel(x, y)));
        }
    }
    return strongest;
}

void AppIconTest::unknownNameDrawsTheGlobe()
{
    const QImage globe = render(QStringLiteral("globe"));
    for (const char* unknown : {"no-such-icon", "", "Power", "power "})
        QCOMPARE(render(QString::fromLatin1(unknown)), globe);
}

void AppIconTest::figures_data()
{
    testenv::addRowsFromFile("icon-figures.tsv", 3);
}

void AppIconTest::figures()
{
    QFETCH(QStringList, row);
    const QImage image = render(row.at(0));
    for (const bool inked : {true, false}) {
        for (const QString& point : row.at(inked ? 1 : 2).split(u' ')) {
            const int ink = inkAt(image, point.section(u',', 0, 0).toDouble(),
                                  point.section(u',', 1).toDouble(), inked ? 1 : 2);
            QVERIFY2(inked ? ink > 128 : ink < 24,
                     qPrintable(point +
                                (inked ? QStringLiteral(" not inked") : QStringLiteral(" inked"))));
        }
    }
}

void AppIconTest::redrawsWithColourAndSize()
{
    QVERIFY(inkAt(render(QStringLiteral("power")), 12, 21, 1) > 128);
    const QImage blue = render(QStringLiteral("power"), Qt::blue);
    QCOMPARE(inkAt(blue, 12, 21, 1), 0);
    QVERIFY(qBlue(blue.pixel(48, 84)) > 128);
    // The line keeps its width on the grid: the vertical bar of "plus", along one row.
    const auto barWidth = [this](int size) {
        const QImage image = render(QStringLiteral("plus"), Qt::red, size);
        int count = 0;
        for (int x = 0; x < size; ++x)
            count += qRed(image.pixel(x, qRound(8 * size / 24.0))) > 128;
        return count;
    };
    const int small = barWidth(24);
    const int large = barWidth(96);
    QVERIFY2(small >= 1 && small <= 2, qPrintable(QString::number(small)));
    QVERIFY2(large >= 5 && large <= 8, qPrintable(QString::number(large)));
}

ORVIK_TEST_MAIN(AppIconTest, QGuiApplication)
#include "tst_appicon.moc"
