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
