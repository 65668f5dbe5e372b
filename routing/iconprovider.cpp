#include "routing/iconprovider.h"

#include "routing/processicon.h"

#include <QColor>
#include <QUrl>

IconProvider::IconProvider() : QQuickImageProvider(QQmlImageProviderBase::Image) {}

QImage IconProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize)
{
    const QString path = processIconPath(id);
    const int side = requestedSize.width() >= 1 ? requestedSize.width() : 32;
    QImage image = path.isEmpty() ? QImage() : processIconImage(path, side);
    if (image.isNull()) {
        image = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(QStringLiteral("#263d18")));
    }
    if (size)
        *size = image.size();
    return image;
}

QString processIconSource(const QString& path)
{
    if (path.isEmpty())
        return QStringLiteral("app");
    return QStringLiteral("image://processicon/") +
           QString::fromLatin1(QUrl::toPercentEncoding(path));
}

QString processIconPath(const QString& id)
{
    // The engine may hand over the id partly decoded (spaces, non-ASCII letters), so it is
    // taken as UTF-8 and decoded once more; "%" itself always arrives encoded.
    return QUrl::fromPercentEncoding(id.toUtf8());
}
