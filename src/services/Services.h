#pragma once

// What the router hands to every screen: the store's context, the preference file, the appearance,
// the user's profile, and the long-lived helpers of the features (the spelling dictionary, the
// attachment copies and the thumbnail cache). Screens keep a copy (it is references only) and never
// reach for a global; tests build one from their own fixtures. The entry makes each object once for
// the whole run; only the features that use one include its header.
class AttachmentImports;
class ModelContext;
class Preferences;
class SpellDictionary;
class ThemeManager;
class ThumbnailCache;
class UserPreferencesStore;

struct Services {
    ModelContext& context;
    Preferences& prefs;
    ThemeManager& theme;
    UserPreferencesStore& profile;
    SpellDictionary& spelling;
    AttachmentImports& attachments;
    ThumbnailCache& thumbnails;
};
