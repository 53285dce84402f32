#include "editor/CodeLineEndings.h"

#include <QList>

#include <algorithm>
#include <array>

namespace codelines {

namespace {

struct Line {
    QStringView text;
    QStringView ending; // empty for the last line
};

// Splits where a text document starts a new paragraph: CR LF, LF, CR, U+2029.
QList<Line> splitStored(QStringView code) {
    QList<Line> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const char16_t c = code[i].unicode();
        if (c != u'\n' && c != u'\r' && c != 0x2029)
            continue;
        const qsizetype width = c == u'\r' && i + 1 < code.size() && code[i + 1] == u'\n' ? 2 : 1;
        lines.push_back({code.mid(start, i - start), code.mid(i, width)});
        i += width - 1;
        start = i + 1;
    }
    lines.push_back({code.mid(start), {}});
    return lines;
}

QList<QStringView> splitEdited(QStringView raw) {
    QList<QStringView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i].unicode() == 0x2029) {
            lines.push_back(raw.mid(start, i - start));
            start = i + 1;
        }
    }
    lines.push_back(raw.mid(start));
    return lines;
}

// A break of a line inside a paragraph that the editor shows as a line separator.
bool shownAsSeparator(QChar c) { return c.unicode() == 0x0B || c.unicode() == 0x0C || c.unicode() == 0x85; }

bool sameShown(QChar shown, QChar stored) {
    return shown == stored || (shown.unicode() == 0x2028 && shownAsSeparator(stored));
}

bool sameShown(QStringView shown, QStringView stored) {
    if (shown.size() != stored.size())
        return false;
    for (qsizetype i = 0; i < shown.size(); ++i)
        if (!sameShown(shown[i], stored[i]))
            return false;
    return true;
}

// `out` with the breaks of `stored` back where the edit did not reach: in the same text at its start and
// at its end.
QString withStoredBreaks(QString out, QStringView stored) {
    const qsizetype shortest = std::min(out.size(), stored.size());
    qsizetype head = 0;
    for (; head < shortest && sameShown(out[head], stored[head]); ++head)
        out[head] = stored[head];
    for (qsizetype tail = 1; tail <= shortest - head && sameShown(out[out.size() - tail], stored[stored.size() - tail]);
         ++tail)
        out[out.size() - tail] = stored[stored.size() - tail];
    return out;
}

QStringView commonEnding(const QList<Line>& lines) {
    static const std::array<QStringView, 4> kinds = {u"\n", u"\r\n", u"\r", u"\u2029"};
    std::array<int, 4> counts{};
    for (const Line& line : lines)
        for (std::size_t k = 0; k < kinds.size(); ++k)
            if (line.ending == kinds[k])
                ++counts[k];
    const auto most = std::max_element(counts.begin(), counts.end());
    return *most > 0 ? kinds[std::size_t(most - counts.begin())] : kinds[0];
}

} // namespace

QString withStoredEndings(QStringView edited, QStringView stored) {
    const QList<QStringView> now = splitEdited(edited);
    if (now.size() == 1)
        return withStoredBreaks(edited.toString(), stored);
    const QList<Line> before = splitStored(stored);
    const QStringView common = commonEnding(before);
    const qsizetype shortest = std::min(now.size(), before.size());
    // The lines the edit did not reach: the same ones at the start and at the end.
    qsizetype head = 0;
    while (head < shortest && sameShown(now[head], before[head].text))
        ++head;
    qsizetype tail = 0;
    while (tail < shortest - head && sameShown(now[now.size() - 1 - tail], before[before.size() - 1 - tail].text))
        ++tail;

    // Between them, the edited lines keep the endings of the lines they replace, in order, the last
    // one's ending going to the last edited line; lines added beyond those take the common ending.
    const qsizetype editedNow = now.size() - head - tail;
    const qsizetype editedBefore = before.size() - head - tail;
    QString out;
    out.reserve(edited.size() + now.size());
    for (qsizetype i = 0; i < now.size(); ++i) {
        out += now[i];
        if (i == now.size() - 1)
            break;
        const qsizetype fromEnd = now.size() - 1 - i;
        const qsizetype r = i - head;
        QStringView ending;
        if (i < head)
            ending = before[i].ending;
        else if (fromEnd < tail)
            ending = before[before.size() - 1 - fromEnd].ending;
        else if (editedBefore > 0 && r == editedNow - 1)
            ending = before[head + editedBefore - 1].ending;
        else if (r < editedBefore - 1)
            ending = before[head + r].ending;
        out += ending.isEmpty() ? common : ending; // the old last line had none
    }
    return withStoredBreaks(std::move(out), stored);
}

QString shownBreaks(QStringView code) {
    QString out = code.toString();
    for (QChar& c : out)
        if (shownAsSeparator(c))
            c = QChar(0x2028);
    return out;
}

QString uniformEnding(QStringView stored) {
    QStringView found;
    for (const Line& line : splitStored(stored)) {
        if (line.ending.isEmpty())
            continue;
        if (found.isEmpty())
            found = line.ending;
        else if (line.ending != found)
            return {};
    }
    return found.isEmpty() ? QStringLiteral("\n") : found.toString();
}

QString withEnding(QStringView edited, QStringView ending) {
    QString out;
    out.reserve(edited.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i < edited.size(); ++i) {
        if (edited[i].unicode() != 0x2029)
            continue;
        out += edited.mid(start, i - start);
        out += ending;
        start = i + 1;
    }
    out += edited.mid(start);
    return out;
}

} // namespace codelines
