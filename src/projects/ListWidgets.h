#pragma once

// The list widgets live in ui/lists; these names keep the older includes building.
#include "ui/lists/AdaptiveGridLayout.h"
#include "ui/lists/ListChrome.h"
#include "ui/lists/ListItem.h"

namespace projectsui {
using lists::AdaptiveGridLayout;
using lists::ClampedText;
using lists::ColorFn;
using lists::Divider;
using lists::EllipsisButton;
using lists::LayoutSwitch;
using lists::PagerBar;
using lists::SearchField;
using lists::ShadowCaster;
using lists::ShadowHost;
using lists::SymbolButton;
using lists::SymbolView;
using lists::TileView;
} // namespace projectsui
