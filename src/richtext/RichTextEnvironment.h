#pragma once

class SpellDictionary;
class ThemeManager;

// What an embedded rich-text editor takes from the application: the appearance it follows and the
// dictionary its spelling is checked against. The embedder hands both over; they outlive every editor.
struct RichTextEnvironment {
    ThemeManager& theme;
    SpellDictionary& spelling;
};
