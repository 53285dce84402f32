#pragma once

#include <QString>
#include <array>

// The list-or-grid choice shared by the list screens through one preference entry.
enum class DisplayLayout { list, grid };

namespace DisplayLayouts {

inline constexpr const char* preferenceKey = "prefs.defaultLayout";

inline constexpr std::array<DisplayLayout, 2> allCases{DisplayLayout::list, DisplayLayout::grid};

inline QString rawValue(DisplayLayout layout) {
    return layout == DisplayLayout::grid ? QStringLiteral("grid") : QStringLiteral("list");
}

// Exact, case-sensitive match; false for anything else.
inline bool fromRawValue(const QString& raw, DisplayLayout* out) {
    if (raw == QLatin1String("list")) {
        *out = DisplayLayout::list;
        return true;
    }
    if (raw == QLatin1String("grid")) {
        *out = DisplayLayout::grid;
        return true;
    }
    return false;
}

// How the screens read the stored text: only "grid" is a grid, everything else (absent included) a list.
inline DisplayLayout fromStored(const QString& stored) {
    return stored == QLatin1String("grid") ? DisplayLayout::grid : DisplayLayout::list;
}

inline QString label(DisplayLayout layout) {
    return layout == DisplayLayout::grid ? QStringLiteral("Grille") : QStringLiteral("Liste");
}

} // namespace DisplayLayouts
