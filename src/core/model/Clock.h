#pragma once

#include <QDateTime>

#include <functional>

// The current time, replaceable in tests.
namespace Clock {
QDateTime now();
void setNowForTesting(std::function<QDateTime()> fn); // empty: the real clock
} // namespace Clock
