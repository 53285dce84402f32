#include "core/model/Clock.h"

namespace {
std::function<QDateTime()>& override() {
    static std::function<QDateTime()> fn;
    return fn;
}
} // namespace

QDateTime Clock::now() {
    if (override())
        return override()();
    return QDateTime::currentDateTimeUtc();
}

void Clock::setNowForTesting(std::function<QDateTime()> fn) { override() = std::move(fn); }
