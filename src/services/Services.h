#pragma once

// What the router hands to every screen: the store's context, the preference file, the appearance
// and the user's profile. Screens keep a copy (it is four references) and never reach for a global;
// tests build one from their own fixtures.
class ModelContext;
class Preferences;
class ThemeManager;
class UserPreferencesStore;

struct Services {
    ModelContext& context;
    Preferences& prefs;
    ThemeManager& theme;
    UserPreferencesStore& profile;
};
