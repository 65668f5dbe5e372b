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

namespace {

const QStringList allFigures = {"power", "shield",  "arrow",   "close",  "check", "plus",
                                "apps",  "sliders", "refresh", "search", "globe"};

} // namespace

class AppIconTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void unknownNameDrawsTheGlobe_data();
    void unknownNameDrawsTheGlobe();
    void everyFigureIsItsOwn();
    void figures_data();
    void figures();
    void colourChangeRedraws();
    void lineScalesWithTheSize();

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
    QObject* created = component.create();
    QVERIFY2(created, qPrintable(component.errorString()));
    m_icon = qobject_cast<QQuickItem*>(created);
    QVERIFY(m_icon);
    m_icon->setParent(m_window.get());
    m_icon->setParentItem(m_window->contentItem());
    QCOMPARE(m_icon->property("name").toString(), QStringLiteral("globe"));
    QCOMPARE(m_icon->implicitWidth(), 24.0);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void AppIconTest::cleanupTestCase()
{
    m_window.reset();
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

void AppIconTest::unknownNameDrawsTheGlobe_data()
{
    // clang-format off
    QTest::addColumn<QString>("name");
    QTest::newRow("unknown") << "no-such-icon";
    QTest::newRow("empty") << "";
    QTest::newRow("other case") << "Power";
    QTest::newRow("trailing space") << "power ";
    // clang-format on
}

void AppIconTest::unknownNameDrawsTheGlobe()
{
    QFETCH(QString, name);
    const QImage globe = render(QStringLiteral("globe"));
    const QImage unknown = render(name);
    QVERIFY(!globe.isNull());
    QCOMPARE(unknown, globe);
}

void AppIconTest::everyFigureIsItsOwn()
{
    QList<QImage> images;
    for (const QString& name : allFigures) {
        const QImage image = render(name);
        QVERIFY2(inkAt(image, 12, 12, 48) > 200,
                 qPrintable(name + QStringLiteral(" draws nothing")));
        for (int i = 0; i < images.size(); ++i)
            QVERIFY2(image != images.at(i),
                     qPrintable(name + QStringLiteral(" looks like ") + allFigures.at(i)));
        images << image;
    }
}

void AppIconTest::figures_data()
{
    // clang-format off
    // Points of the grid that the stroke must cover, and points it must leave empty.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<QPointF>>("inked");
    QTest::addColumn<QList<QPointF>>("empty");
    using P = QList<QPointF>;
    QTest::newRow("power") << "power" << P{{12, 21}, {4, 13}, {12, 2}, {12, 11}} << P{{14.07, 5.27}, {9.93, 5.27}, {12, 15}};
    QTest::newRow("shield") << "shield" << P{{12, 2}, {20, 8}, {12, 22}, {4, 8}, {13.5, 11.5}} << P{{12, 18}, {8, 16}};
    QTest::newRow("arrow") << "arrow" << P{{5, 12}, {19, 12}, {16.5, 9.5}, {16.5, 14.5}} << P{{12, 7}, {5, 7}};
    QTest::newRow("close") << "close" << P{{12, 12}, {9, 9}, {15, 9}, {9, 15}} << P{{12, 6}, {6, 12}};
    QTest::newRow("check") << "check" << P{{5, 12}, {10, 17}, {12, 14.8}, {19, 7}} << P{{5, 17}, {12, 8}};
    QTest::newRow("plus") << "plus" << P{{12, 5}, {12, 19}, {5, 12}, {19, 12}} << P{{8, 8}, {16, 16}};
    QTest::newRow("apps") << "apps" << P{{3, 6.5}, {10, 6.5}, {17.5, 14}, {6.5, 21}} << P{{6.5, 6.5}, {12, 12}, {17.5, 17.5}};
    // The circles start at their rightmost point: no line joins them to the figure before.
    QTest::newRow("sliders") << "sliders" << P{{6, 7}, {18, 7}, {10.5, 4.5}, {14.5, 19.5}, {19, 17}} << P{{10.5, 7}, {16.5, 12}, {15, 12}, {11, 12}};
    QTest::newRow("refresh") << "refresh" << P{{12, 20}, {4, 12}, {20, 5}, {17, 8}} << P{{20, 12}, {12, 12}};
    QTest::newRow("search") << "search" << P{{10, 4}, {4, 10}, {18, 18}, {21, 21}} << P{{10, 10}, {21, 10}};
    QTest::newRow("globe") << "globe" << P{{12, 3}, {3, 12}, {21, 12}, {12, 21}, {8.64, 6.6}, {15.36, 6.6}} << P{{12, 7}, {12, 17}, {3.5, 3.5}};
    // clang-format on
}

void AppIconTest::figures()
{
    QFETCH(QString, name);
    QFETCH(QList<QPointF>, inked);
    QFETCH(QList<QPointF>, empty);
    const QImage image = render(name);
    for (const QPointF& point : inked)
        QVERIFY2(inkAt(image, point.x(), point.y(), 1) > 128,
                 qPrintable(QStringLiteral("no stroke at %1,%2").arg(point.x()).arg(point.y())));
    for (const QPointF& point : empty)
        QVERIFY2(inkAt(image, point.x(), point.y(), 2) < 24,
                 qPrintable(QStringLiteral("stroke at %1,%2").arg(point.x()).arg(point.y())));
}

void AppIconTest::colourChangeRedraws()
{
    const QImage red = render(QStringLiteral("power"), Qt::red);
    const QImage blue = render(QStringLiteral("power"), Qt::blue);
    QVERIFY(inkAt(red, 12, 21, 1) > 128);
    QCOMPARE(inkAt(blue, 12, 21, 1), 0);
    QVERIFY(qBlue(blue.pixel(48, 84)) > 128);
}

void AppIconTest::lineScalesWithTheSize()
{
    // Width of the vertical bar of "plus", measured along one row of the grid.
    const auto barWidth = [](const QImage& image) {
        const int y = qRound(8 * image.height() / 24.0);
        int count = 0;
        for (int x = 0; x < image.width(); ++x)
            count += qRed(image.pixel(x, y)) > 128;
        return count;
    };
    const int small = barWidth(render(QStringLiteral("plus"), Qt::red, 24));
    const int large = barWidth(render(QStringLiteral("plus"), Qt::red, 96));
    QVERIFY2(small >= 1 && small <= 2, qPrintable(QString::number(small)));
    QVERIFY2(large >= 5 && large <= 8, qPrintable(QString::number(large)));
}

ORVIK_TEST_MAIN(AppIconTest, QGuiApplication)
#include "tst_appicon.moc"
