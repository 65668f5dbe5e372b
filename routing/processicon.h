#pragma once

#include <QImage>
#include <QString>

// The system's icon of the executable at path, drawn as a side × side square in
// premultiplied ARGB32; a null image when the system has no icon for it.
QImage processIconImage(const QString& path, int side);
