#pragma once

#include <QQuickImageProvider>

// Serves "image://processicon/<percent-encoded executable path>". Stateless: the QML
// image loader may call it on its own thread.
class IconProvider : public QQuickImageProvider
{
public:
    IconProvider();

    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
};

// The image source of a process entry: the provider's URL for an executable path, or
// "app" (the generic icon) when the path is unknown.
QString processIconSource(const QString& path);

// The executable path behind the id the provider receives (the URL after
// "image://processicon/").
QString processIconPath(const QString& id);
