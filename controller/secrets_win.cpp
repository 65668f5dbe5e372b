#include "controller/secrets.h"

// The data-protection wrapper arrives with the settings work.
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
