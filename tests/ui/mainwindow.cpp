#include "tests/ui/mainwindow.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>

namespace uitest {

QObject* findNamed(QObject* root, const QString& name)
{
    QList<QObject*> queue{root};
    QSet<QObject*> seen;
    while (!queue.isEmpty()) {
        QObject* object = queue.takeFirst();
        if (!object || seen.contains(object))
            continue;
        seen.insert(object);
        if (object != root && object->objectName() == name)
            return object;
        queue << object->children();
        if (auto* item = qobject_cast<QQuickItem*>(object)) {
            for (QQuickItem* child : item->childItems())
                queue << child;
        }
        if (auto* window = qobject_cast<QQuickWindow*>(object))
            queue << window->contentItem();
        // A closed popup keeps its content outside the item tree.
        queue << object->property("contentItem").value<QQuickItem*>();
    }
    return nullptr;
}

QList<QQuickItem*> findItems(QQuickItem* root, const std::function<bool(QQuickItem*)>& match)
{
    QList<QQuickItem*> found;
    QList<QQuickItem*> queue{root};
    while (!queue.isEmpty()) {
        QQuickItem* item = queue.takeFirst();
        if (match(item))
            found << item;
        queue << item->childItems();
    }
    return found;
}

QVariantMap serverEntry(const QString& name, const QString& countryCode, int latency)
{
    const QString host = countryCode.toLower() + QStringLiteral(".orvikvpn.net:443");
    return {{QStringLiteral("name"), name},
            {QStringLiteral("endpoint"), host},
            {QStringLiteral("uri"), QStringLiteral("vless://id@") + host + u'#' + name},
            {QStringLiteral("countryCode"), countryCode},
            {QStringLiteral("protocol"), QStringLiteral("VLESS · TCP · REALITY")},
            {QStringLiteral("latency"), latency},
            {QStringLiteral("pinging"), false},
            {QStringLiteral("checkError"),
             latency == -1 ? QStringLiteral("HTTPS-запрос не прошёл за 6 секунд") : QString()}};
}

QVariantList sampleServers(int count)
{
    static const char* places[][3] = {
        {"Польша · Варшава", "PL", "VLESS · TCP · REALITY"},
        {"Нидерланды · Амстердам", "NL", "Hysteria2"},
        {"Германия · Франкфурт", "DE", "Trojan · gRPC · TLS"},
        {"Финляндия · Хельсинки", "FI", "VLESS · XHTTP · TLS"},
        {"Швеция · Стокгольм", "VPN", "VLESS · gRPC · REALITY"},
    };
    static const int latencies[] = {48, -2, 131, -1, 87, 0, 214};
    QVariantList servers;
    for (int i = 0; i < count; ++i) {
        const auto& place = places[i % 5];
        const QString round = i < 5 ? QString() : QStringLiteral(" %1").arg(i / 5 + 1);
        QVariantMap entry =
            serverEntry(QString::fromUtf8(place[0]) + round,
                        QString::fromLatin1(place[1]) + QString::number(i + 1), latencies[i % 7]);
        entry.insert(QStringLiteral("countryCode"), QString::fromLatin1(place[1]));
        entry.insert(QStringLiteral("protocol"), QString::fromUtf8(place[2]));
        servers << entry;
    }
    return servers;
}

QVariantList sampleProcesses(int count)
{
    // An empty path is a process whose executable cannot be read.
    static const char* programs[][2] = {
        {"firefox-esr", "/usr/lib/firefox-esr/firefox-esr"},
        {"telegram-desktop", "/usr/bin/telegram-desktop"},
        {"steam", "/home/user/.local/share/Steam/ubuntu12_32/steam"},
        {"thunderbird", "/usr/lib/thunderbird/thunderbird"},
        {"kworker/0:1", ""},
        {"code", "/usr/share/code/code"},
        {"transmission-gtk", "/usr/bin/transmission-gtk"},
    };
    QVariantList processes;
    for (int i = 0; i < count; ++i) {
        const auto& program = programs[i % std::size(programs)];
        processes << QVariantMap{{QStringLiteral("name"), QString::fromLatin1(program[0])},
                                 {QStringLiteral("pid"), quint64(1200 + 37 * i)},
                                 {QStringLiteral("path"), QString::fromLatin1(program[1])},
                                 {QStringLiteral("icon"), QStringLiteral("app")},
                                 {QStringLiteral("selected"), i % 3 == 1}};
    }
    return processes;
}

} // namespace uitest
