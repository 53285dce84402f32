#pragma once

class QWidget;

// Rows of the document that come and go: scaled from 0.95 about their centre and faded, over a quarter
// of a second, as painted only (their layout, their data and their writes never wait for it). With
// TOLMEK_REDUCE_MOTION=1 they come and go at once.
namespace rowtransition {

constexpr int durationMs = 250;
constexpr double fromScale = 0.95;

bool enabled();
// `row`, just made, is painted scaled and faded in until the transition ends.
void appear(QWidget* row);
// A picture of the part of `row` in view scales down and fades out over `host`, where the row was; the
// row itself can go at once.
void disappear(QWidget* row, QWidget* host);
// Whether `widget` is a leaving row's picture.
bool isLeaving(const QWidget* widget);

} // namespace rowtransition
