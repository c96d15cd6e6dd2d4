#include "QuillerApp/Views/PiecewiseTextFeeder.h"

#include <QPlainTextEdit>
#include <QTextCursor>

namespace quiller::workbench {

PiecewiseTextFeeder::PiecewiseTextFeeder(QPlainTextEdit* target)
    : QObject(target), m_target(target) {}

void PiecewiseTextFeeder::clear() {
    ++m_generation;
    m_pending = QString();
    m_from = 0;
    m_target->clear();
}

void PiecewiseTextFeeder::setText(QString text) {
    clear();
    m_pending = std::move(text);
    if (!m_pending.isEmpty())
        append(firstPiece);
}

void PiecewiseTextFeeder::append(qsizetype length) {
    // Cut at a line break, so each piece adds whole lines; the next piece
    // starts with that break and so opens a new block.
    qsizetype end = m_from + length;
    if (end >= m_pending.size()) {
        end = m_pending.size();
    } else {
        const qsizetype lineEnd = m_pending.indexOf(QLatin1Char('\n'), end);
        end = lineEnd < 0 ? m_pending.size() : lineEnd;
    }
    const QString piece = m_pending.mid(m_from, end - m_from);
    if (m_from == 0) {
        m_target->setPlainText(piece);
    } else {
        QTextCursor cursor(m_target->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(piece);
    }
    m_from = end;
    if (m_from >= m_pending.size()) {
        m_pending = QString();
        m_from = 0;
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, generation = m_generation] {
            if (generation == m_generation && isFeeding())
                append(laterPiece);
        },
        Qt::QueuedConnection);
}

} // namespace quiller::workbench
