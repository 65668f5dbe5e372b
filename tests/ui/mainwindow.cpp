#include "tests/ui/mainwindow.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>

#include <iterator>

namespace uitest {

namespace {

QList<QObject*> neighbours(QObject* object)
{
    QList<QObject*> next = object->children();
    if (auto* item = qobject_cast<QQuickItem*>(object)) {
        for (QQuickItem* child : item->childItems())
            next << child;
    }
    if (auto* window = qobject_cast<QQuickWindow*>(object))
        next << window->contentItem();
    // Popups keep their content outside the item tree while they are closed.
    const QVariant content = object->property("contentItem");
    if (auto* contentItem = content.value<QQuickItem*>())
        next << contentItem;
    return next;
}

} // namespace

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
        queue << neighbours(object);
    }
    return nullptr;
}

QList<QQuickItem*> findAllNamed(QQuickItem* root, const QString& name)
{
    QList<QQuickItem*> found;
    QList<QQuickItem*> queue{root};
    while (!queue.isEmpty()) {
        QQuickItem* item = queue.takeFirst();
        if (item->objectName() == name)
            found << item;
        queue << item->childItems();
    }
    return found;
}

QVariantMap serverEntry(const QString& name, const QString& countryCode, int latency)
{
    const QString host =
        name.section(QLatin1Char(' '), -1).toLower() + QStringLiteral(".orvikvpn.net");
    return {{QStringLiteral("name"), name},
            {QStringLiteral("endpoint"), host + QStringLiteral(":443")},
            {QStringLiteral("uri"),
             QStringLiteral("vless://id@") + host + QStringLiteral(":443#") + name},
            {QStringLiteral("countryCode"), countryCode},
            {QStringLiteral("protocol"), QStringLiteral("VLESS · TCP · REALITY")},
            {QStringLiteral("latency"), latency},
            {QStringLiteral("pinging"), false},
            {QStringLiteral("checkError"), QString()}};
}

QVariantList sampleServers(int count)
{
    struct Place
    {
        const char* name;
        const char* code;
        const char* protocol;
    };
    static const Place places[] = {
        {"Польша · Варшава", "PL", "VLESS · TCP · REALITY"},
        {"Нидерланды · Амстердам", "NL", "Hysteria2"},
        {"Германия · Франкфурт", "DE", "Trojan · gRPC · TLS"},
        {"Финляндия · Хельсинки", "FI", "VLESS · XHTTP · TLS"},
        {"Швеция · Стокгольм", "VPN", "VLESS · gRPC · REALITY"},
    };
    static const int latencies[] = {48, -2, 131, -1, 87, 0, 214};
    QVariantList servers;
    for (int i = 0; i < count; ++i) {
        const Place& place = places[i % std::size(places)];
        QString name = QString::fromUtf8(place.name);
        if (i >= int(std::size(places)))
            name += QStringLiteral(" ") + QString::number(i / int(std::size(places)) + 1);
        QVariantMap entry =
            serverEntry(name, QString::fromLatin1(place.code), latencies[i % std::size(latencies)]);
        entry.insert(QStringLiteral("protocol"), QString::fromUtf8(place.protocol));
        entry.insert(QStringLiteral("endpoint"), QStringLiteral("%1%2.orvikvpn.net:443")
                                                     .arg(QString::fromLatin1(place.code).toLower())
                                                     .arg(i + 1));
        entry.insert(QStringLiteral("uri"), QStringLiteral("vless://id@%1%2.orvikvpn.net:443#%3")
                                                .arg(QString::fromLatin1(place.code).toLower())
                                                .arg(i + 1)
                                                .arg(name));
        if (entry.value(QStringLiteral("latency")).toInt() == -1)
            entry.insert(QStringLiteral("checkError"),
                         QStringLiteral("HTTPS-запрос не прошёл за 6 секунд"));
        servers << entry;
    }
    return servers;
}

QVariantList sampleProcesses(int count)
{
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
        const QString path = QString::fromLatin1(program[1]);
        processes << QVariantMap{{QStringLiteral("name"), QString::fromLatin1(program[0])},
                                 {QStringLiteral("pid"), quint64(1200 + 37 * i)},
                                 {QStringLiteral("path"), path},
                                 {QStringLiteral("icon"), QStringLiteral("app")},
                                 {QStringLiteral("selected"), i % 3 == 1}};
    }
    return processes;
}

} // namespace uitest
