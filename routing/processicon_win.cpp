#include "routing/processicon.h"

#include "routing/processicon_win32.h"

#include <cstring>

QImage processIconImage(const QString& path, int side)
{
    std::vector<std::uint8_t> pixels;
    if (!win32::renderFileIcon(path.toStdWString(), side, pixels))
        return {};
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.fill(Qt::transparent);
    // Both are blue, green, red, alpha per pixel, premultiplied; rows may be padded in QImage.
    const size_t rowBytes = size_t(side) * 4;
    for (int y = 0; y < side; ++y)
        std::memcpy(image.scanLine(y), pixels.data() + size_t(y) * rowBytes, rowBytes);
    return image;
}
