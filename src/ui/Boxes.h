#pragma once

#include <QBoxLayout>
#include <QMargins>

// Box layouts as our screens set them up: the spacing always, the margins where given (a layout left without
// them keeps Qt's: the style's on a widget, none inside another layout). `parent` may be null.
namespace Boxes {

template <class Box>
Box* make(QWidget* parent, int spacing) {
    auto* box = new Box(parent);
    box->setSpacing(spacing);
    return box;
}
template <class Box>
Box* make(QWidget* parent, int spacing, const QMargins& margins) {
    auto* box = make<Box>(parent, spacing);
    box->setContentsMargins(margins);
    return box;
}

inline QVBoxLayout* column(QWidget* parent, int spacing) { return make<QVBoxLayout>(parent, spacing); }
inline QVBoxLayout* column(QWidget* parent, int spacing, const QMargins& margins) {
    return make<QVBoxLayout>(parent, spacing, margins);
}
inline QHBoxLayout* row(QWidget* parent, int spacing) { return make<QHBoxLayout>(parent, spacing); }
inline QHBoxLayout* row(QWidget* parent, int spacing, const QMargins& margins) {
    return make<QHBoxLayout>(parent, spacing, margins);
}

} // namespace Boxes
