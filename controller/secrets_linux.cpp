#include "controller/secrets.h"

// The keyring-bound protection arrives with the settings work; until then nothing is
// protected, so nothing secret is ever stored.
QByteArray protectSecret(const QByteArray& plaintext)
{
    Q_UNUSED(plaintext);
    return {};
}

QByteArray unprotectSecret(const QByteArray& stored)
{
    Q_UNUSED(stored);
    return {};
}
