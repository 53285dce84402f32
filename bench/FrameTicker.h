#pragma once

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QPainter>
#include <QWidget>

#include <algorithm>

// A window that repaints every 4 ms and remembers the longest gap between two ticks: how long the
// GUI thread was kept from painting while work ran beside it.
class FrameTicker : public QWidget {
public:
    qint64 longestGapMs = 0;
    void start() {
        longestGapMs = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start(4, this);
    }
    void stop() { m_timer.stop(); }

protected:
    void timerEvent(QTimerEvent*) override {
        const qint64 now = m_clock.elapsed();
        longestGapMs = std::max(longestGapMs, now - m_last);
        m_last = now;
        repaint();
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), m_paints++ % 2 ? Qt::white : Qt::lightGray);
    }

private:
    QBasicTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    int m_paints = 0;
};
