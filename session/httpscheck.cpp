#include "session/httpscheck.h"

// The request logic arrives with the session work.
HttpsCheck::HttpsCheck(quint16 port, QObject* parent) : QObject(parent), m_port(port)
{
}

void HttpsCheck::start()
{
}
