#include "routing/processicon.h"

#include "routing/processicon_win32.h"

QImage processIconImage(const QString& path, int side)
{
    std::vector<std::uint8_t> pixels;
    if (!win32::renderFileIcon(path.toStdWString(), side, pixels))
        return {};
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    win32::copyPixelRows(pixels, side, image.bits(), size_t(image.bytesPerLine()));
    return image;
}
