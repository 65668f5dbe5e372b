#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Turns a subscription body into the pieces the parser sees: trimmed, base64-decoded when it
// holds no "://", decoded as UTF-8 and split at "\r?\n" with empty pieces dropped.
QStringList splitSubscriptionBody(const QByteArray& body);

// A piece that goes to the parser: not blank after trimming and not a "#" comment.
bool isProfileLine(const QString& piece);
