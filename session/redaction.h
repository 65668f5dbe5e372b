#pragma once

#include "profiles/serverprofile.h"

#include <QString>
#include <QStringDecoder>

// Longest tail of core output a session keeps, and longest failure text it hands on.
inline constexpr qsizetype kCoreLogLimit = 4000;
inline constexpr qsizetype kRedactedTextLimit = 3000;

// Removes the profile's secrets, colour codes and subscription links; keeps the last 3000
// characters.
QString redactCoreText(const QString& text, const ServerProfile& profile);

// One core's output on its way into the log. Bytes are decoded across reads, and the end of a
// read that could begin a secret waits for the next read, so neither a character nor a
// secret split between two reads slips through.
struct CoreOutputStream
{
    QStringDecoder decoder{QStringDecoder::Utf8};
    QString held;
};

// Appends one redacted chunk of core output to the tail, keeping its last 4000 characters.
void appendCoreOutput(QString& coreLog, CoreOutputStream& stream, const QByteArray& chunk,
                      const ServerProfile& profile);

// Appends what the stream still holds back, once the core has ended, and resets the stream.
void flushCoreOutput(QString& coreLog, CoreOutputStream& stream, const ServerProfile& profile);
