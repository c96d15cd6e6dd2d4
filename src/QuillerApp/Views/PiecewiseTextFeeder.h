#pragma once

// Lays a long text into a read-only QPlainTextEdit a piece at a time: the
// first piece (more than a screenful) at once, the others one per event-loop
// turn, each cut after a line break. A QTextDocument makes one block per
// line, so a body of hundreds of thousands of lines would otherwise hold the
// window for seconds. A new text (or clear()) stops the feeding of the old one.
//
// Threads: the GUI thread.

#include <QObject>
#include <QString>
#include <cstdint>

class QPlainTextEdit;

namespace quiller::workbench {

class PiecewiseTextFeeder final : public QObject {
    Q_OBJECT
public:
    // Sizes of the pieces in UTF-16 code units.
    static constexpr qsizetype firstPiece = 64 * 1024;
    static constexpr qsizetype laterPiece = 256 * 1024;

    explicit PiecewiseTextFeeder(QPlainTextEdit* target);

    void setText(QString text);
    void clear();
    // Whether part of the text still waits to be laid out.
    bool isFeeding() const { return !m_pending.isEmpty(); }

private:
    void append(qsizetype length);

    QPlainTextEdit* m_target;
    QString m_pending;
    qsizetype m_from = 0;
    std::uint64_t m_generation = 0;
};

} // namespace quiller::workbench
