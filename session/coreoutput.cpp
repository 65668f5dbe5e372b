#include "session/coreoutput.h"

#include "session/redaction.h"

namespace {

// Bytes gathered before they are redacted, and how much of their end is redacted then:
// far more than the 4000 characters the tail keeps, far less than what a flood brings.
constexpr qsizetype kPendingLimit = 256 * 1024;
constexpr qsizetype kFoldKeep = 16 * 1024;
// Redaction keeps at most 3000 characters of each text it is given, so the bytes go to it in
// pieces smaller than that, cut after a line feed where there is one.
constexpr qsizetype kPiece = 2048;

} // namespace

void CoreOutputTail::clear()
{
    m_redacted.clear();
    m_pending.clear();
}

void CoreOutputTail::append(const QByteArray& chunk, const ServerProfile& profile)
{
    m_pending += chunk;
    if (m_pending.size() > kPendingLimit)
        fold(profile, false);
}

QString CoreOutputTail::text(const ServerProfile& profile)
{
    fold(profile, true);
    return m_redacted;
}

void CoreOutputTail::fold(const ServerProfile& profile, bool all)
{
    if (m_pending.isEmpty())
        return;
    // An unfinished line waits for its end, so a secret is never redacted in two halves.
    const qsizetype end = all ? m_pending.size() : m_pending.lastIndexOf('\n') + 1;
    QByteArray raw = m_pending.left(end);
    m_pending.remove(0, end);
    if (!all && m_pending.size() > kPendingLimit)
        m_pending.clear(); // one endless line: nothing of it can be shown safely
    if (raw.size() > kFoldKeep) {
        // Older output is dropped by whole lines, for the same reason.
        const qsizetype start = raw.indexOf('\n', raw.size() - kFoldKeep);
        raw = start < 0 ? QByteArray() : raw.mid(start + 1);
        m_redacted.clear();
    }
    for (qsizetype from = 0; from < raw.size();) {
        qsizetype to = qMin(raw.size(), from + kPiece);
        const qsizetype feed = to < raw.size() ? raw.lastIndexOf('\n', to - 1) : -1;
        if (feed >= from)
            to = feed + 1;
        appendCoreOutput(m_redacted, raw.mid(from, to - from), profile);
        from = to;
    }
}
