#pragma once

#include <QString>
#include <QStringView>

// A code editor's document splits its lines at LF, CR, CR LF and U+2029 alike and gives them back
// as its own paragraph separators; stored code keeps whichever endings it came with.
namespace codelines {

// The code to store for the editor's raw text `edited` (its lines separated by U+2029), given the
// code stored before the edit. Lines the edit left as they were keep their own endings, on both
// sides of the edit; the other line breaks take the stored code's most common ending (LF when it
// has none). Everything else, no-break spaces and line separators included, is kept as typed.
QString withStoredEndings(QStringView edited, QStringView stored);

} // namespace codelines
