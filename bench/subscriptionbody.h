#pragma once

// A full-size subscription body for the benchmarks: 1 MiB of about 5,000 VLESS REALITY lines.

#include <QByteArray>

namespace benchbody {

constexpr int kLines = 5000;
constexpr qsizetype kBodySize = 1048576;

// Realistic lines: distinct ids, hosts, keys and names, each padded so that the body is 1 MiB.
inline QByteArray makeBody()
{
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    QByteArray body;
    body.reserve(kBodySize);
    for (int i = 0; i < kLines; ++i) {
        QByteArray key;
        for (int k = 0; k < 43; ++k)
            key += alphabet[(i * 7 + k * 13) % 64];
        QByteArray line = "vless://" + QByteArray::number(i + 0x10000000, 16) + "-9b7d-4e3a-a1c5-" +
                          QByteArray::number(i * 7919 + 0x100000000000LL, 16) + "@n" +
                          QByteArray::number(i) + ".nl.example.net:443" +
                          "?type=tcp&security=reality&sni=www.apple.com&pbk=" + key +
                          "&sid=" + QByteArray::number(0x10000000u + i * 40503u % 0xe0000000u, 16) +
                          "&flow=xtls-rprx-vision#NL-";
        line += QByteArray::number(i + 1);
        // Line feed included; the first lines take the remainder so the body is exactly 1 MiB.
        const qsizetype lineSize = kBodySize / kLines + (i < kBodySize % kLines ? 1 : 0);
        if (line.size() < lineSize - 1)
            line += QByteArray(lineSize - 1 - line.size(), 'x');
        body += line + '\n';
    }
    return body;
}

} // namespace benchbody
