#pragma once

#include "profiles/serverprofile.h"

#include <QByteArray>
#include <QString>

// The end of the cores' merged output, kept for failure messages. Arriving output is only
// copied; it is decoded and redacted when the text is asked for, or once a large amount has
// gathered, and then only its end. A core that prints without pause so costs the client
// little, and memory stays bounded.
class CoreOutputTail
{
public:
    void clear();
    void append(const QByteArray& chunk, const ServerProfile& profile);
    // The redacted tail, at most 4000 characters.
    QString text(const ServerProfile& profile);

private:
    // Redacts the gathered bytes up to the last complete line (all of them when `all`).
    void fold(const ServerProfile& profile, bool all);

    QString m_redacted;
    QByteArray m_pending;
};
