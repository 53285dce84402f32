#pragma once

#include <QString>
#include <QStringView>

// A code editor's document splits its lines at LF, CR, CR LF and U+2029 alike and gives them back
// as its own paragraph separators; stored code keeps whichever endings it came with.
namespace codelines {

// The code to store for the editor's raw text `edited` (its lines separated by U+2029), given the
// code stored before the edit. Lines the edit left as they were keep their own endings, on both
// sides of the edit; the other line breaks take the stored code's most common ending (LF when it
// has none). Everything else, no-break spaces and line separators included, is kept as typed, and the
// breaks shownBreaks() turned into line separators are given back where the edit did not reach.
QString withStoredEndings(QStringView edited, QStringView stored);

// The code as the editor shows it: a vertical tab, a form feed or a next line (U+0085) ends a row as a
// line separator does, and draws nothing; the stored code keeps them.
QString shownBreaks(QStringView code);

// The one line ending every line break of `stored` uses (LF when it has none), or a null string when
// they differ. Then withStoredEndings(edited, stored) is withEnding(edited, that ending) for any edit,
// which an editor can keep up to date one change at a time.
QString uniformEnding(QStringView stored);
// `edited` (lines separated by U+2029) with each separator written as `ending`.
QString withEnding(QStringView edited, QStringView ending);

} // namespace codelines
