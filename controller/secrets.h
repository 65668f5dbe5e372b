#pragma once

#include <QByteArray>

// The only way secrets reach the settings store. Both return an empty array on any
// failure and never hand out or store the plaintext in clear.
QByteArray protectSecret(const QByteArray& plaintext);
QByteArray unprotectSecret(const QByteArray& stored);
