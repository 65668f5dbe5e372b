#include "controller/controller.h"

// Replacing the list arrives with the server-list work.
void Controller::installServerList(const QVariantList& entries, const QString& previousUri)
{
    Q_UNUSED(previousUri);
    m_servers = entries;
    m_selectedRow = 0;
}
