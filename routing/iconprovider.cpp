#include "routing/iconprovider.h"

#include <QColor>

IconProvider::IconProvider() : QQuickImageProvider(QQmlImageProviderBase::Image)
{
}

QImage IconProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize)
{
    Q_UNUSED(id);
    const int side = requestedSize.width() >= 1 ? requestedSize.width() : 32;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(QStringLiteral("#263d18")));
    if (size)
        *size = image.size();
    return image;
}
