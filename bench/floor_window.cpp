// The floor program of bench_window: the same start-up as the client (QApplication, the
// "Basic" style, a compiled QML document) with nothing but a list of 50 rows in it.

#include "bench/firstframe.h"

#include <QApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    QQmlApplicationEngine engine;
    engine.load(QUrl(QStringLiteral("qrc:/OrvikFloor/floor/Floor.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;
    firstframe::reportAndQuit(qobject_cast<QQuickWindow*>(engine.rootObjects().constFirst()));
    return QApplication::exec();
}
