#pragma once

#include <QElapsedTimer>
#include <QString>

namespace lystra::cli {

// A line on stderr that follows a long operation step by step ("Lagrar:
// name  12/2000"), rewritten in place with a carriage return. It shows only
// when stderr is a terminal, and only once the work has taken longer than a
// moment, so short commands and scripts that capture stderr see nothing of
// it. The destructor clears the line.
class ProgressLine {
public:
    ProgressLine(const QString& caption, int total);
    ~ProgressLine();

    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Counts one step and redraws the line when it is showing.
    void Step();

    // Whether progress lines are drawn at all (stderr is a terminal).
    static bool Enabled();

private:
    QString m_caption;
    int m_total;
    int m_done = 0;
    bool m_shown = false;
    qsizetype m_width = 0;
    QElapsedTimer m_timer;
};

} // namespace lystra::cli
