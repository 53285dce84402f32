#include "dashboard/DashboardLogic.h"
#include "dashboard/DashboardWidgets.h"
#include "dashboard/QuickNote.h"
#include "prefs/Preferences.h"
#include "rtf/Rtf.h"

#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace dashboard;

namespace {

UserProfile profile(const QString& first, const QString& last) { return UserProfile{first, last, std::nullopt}; }

QByteArray boldRtf(const QString& text) {
    QTextDocument doc;
    QTextCursor c(&doc);
    QTextCharFormat f;
    f.setFontWeight(QFont::Bold);
    c.insertText(text, f);
    return rtf::write(doc);
}

class QuickNoteTest : public ::testing::Test {
protected:
    QString stored() const { return prefs.value(QuickNote::notesKey).toString(); }
    QTemporaryDir dir;
    Preferences prefs{dir.path() + "/p.conf"};
};

} // namespace

TEST(DashboardGreeting, UsesTrimmedNonEmptyNames) {
    EXPECT_EQ(greetingTitle(profile("", "")), "Tableau de bord");
    EXPECT_EQ(greetingTitle(profile("   ", " \n\t")), "Tableau de bord");
    EXPECT_EQ(greetingTitle(profile("", "Durand")), "Bienvenue Durand");
    EXPECT_EQ(greetingTitle(profile("  Ana ", "")), "Bienvenue Ana");
    EXPECT_EQ(greetingTitle(profile(" Ana", "Durand  ")), "Bienvenue Ana Durand");
}

TEST(DashboardTitles, BlankBecomesSansTitreOtherTextStaysAsStored) {
    EXPECT_EQ(shownTitle(""), "Sans titre");
    EXPECT_EQ(shownTitle(" \n "), "Sans titre");
    EXPECT_EQ(shownTitle("  Plan  "), "  Plan  ");
    EXPECT_EQ(panelTitle(DocStatus::done), QString::fromUtf8("Documents terminé"));
    EXPECT_EQ(panelTitle(DocStatus::needsChanges), QString::fromUtf8("Documents à modifier"));
}

TEST(DashboardStoredNote, ReadsRtfFormPlainFormAndDamagedForms) {
    const QByteArray rtfBytes = boldRtf("Bonjour");
    const QString form = "rtf:" + QString::fromLatin1(rtfBytes.toBase64());

    // Blanks before the prefix are allowed: the test is made on the trimmed text.
    NoteState n = decodeStoredNote("  " + form + "\n");
    EXPECT_EQ(n.rtf, rtfBytes);
    EXPECT_EQ(n.plain, "Bonjour");

    n = decodeStoredNote("  rtf:%%%  ");
    EXPECT_FALSE(n.rtf);
    EXPECT_EQ(n.plain, "  rtf:%%%  ");   // shown literally, untrimmed

    n = decodeStoredNote("rtf:");
    ASSERT_TRUE(n.rtf);
    EXPECT_TRUE(n.rtf->isEmpty());
    EXPECT_EQ(n.plain, "");

    // Bytes that decode but are not RTF are kept; there is no plain text.
    n = decodeStoredNote("rtf:" + QString::fromLatin1(QByteArray("not rtf").toBase64()));
    EXPECT_EQ(n.rtf, QByteArray("not rtf"));
    EXPECT_EQ(n.plain, "");

    n = decodeStoredNote("Rtf:YWJj");   // the prefix is lower case only
    EXPECT_FALSE(n.rtf);
    EXPECT_EQ(n.plain, "Rtf:YWJj");

    EXPECT_EQ(encodeNote({rtfBytes, "Bonjour"}), form);
    EXPECT_EQ(encodeNote({QByteArray(), "  plain  "}), "plain");
    EXPECT_EQ(encodeNote({std::nullopt, " \n"}), "");
}

TEST_F(QuickNoteTest, AbsentEntryLoadsEmptyAndWritesNothing) {
    QuickNote note(prefs);
    note.load();
    EXPECT_EQ(note.plain(), "");
    EXPECT_FALSE(note.rtf());
    EXPECT_FALSE(prefs.contains(QuickNote::notesKey));
}

TEST_F(QuickNoteTest, LoadingRewritesTheStoredFormOnlyWhereItChanges) {
    prefs.setValue(QuickNote::notesKey, "  hello  ");
    QuickNote plain(prefs);
    plain.load();
    EXPECT_EQ(plain.plain(), "  hello  ");   // shown with its blanks
    EXPECT_EQ(stored(), "hello");            // stored trimmed

    prefs.setValue(QuickNote::notesKey, "rtf:");
    QuickNote empty(prefs);
    empty.load();
    EXPECT_EQ(empty.plain(), "");
    EXPECT_EQ(stored(), "");

    prefs.setValue(QuickNote::notesKey, " rtf:%%% ");
    QuickNote damaged(prefs);
    damaged.load();
    EXPECT_EQ(damaged.plain(), " rtf:%%% ");
    EXPECT_EQ(stored(), "rtf:%%%");

    const QString junk = "rtf:" + QString::fromLatin1(QByteArray("\x01\x02junk").toBase64());
    prefs.setValue(QuickNote::notesKey, junk);
    QuickNote unreadable(prefs);
    unreadable.load();
    EXPECT_EQ(stored(), junk);   // unreadable bytes are written back unchanged
}

TEST_F(QuickNoteTest, EveryChangeWritesAtOnceUnlessHeld) {
    QuickNote note(prefs);
    note.load();
    note.setPlain("abc ");
    EXPECT_EQ(stored(), "abc");
    const QByteArray bytes = boldRtf("abc");
    note.setRtf(bytes);
    EXPECT_EQ(stored(), "rtf:" + QString::fromLatin1(bytes.toBase64()));

    // An editor flush writes "none" then the bytes: held, the plain form never reaches the file.
    note.holdWrites(true);
    note.setRtf(std::nullopt);
    EXPECT_EQ(stored(), "rtf:" + QString::fromLatin1(bytes.toBase64()));
    note.setRtf(bytes);
    note.holdWrites(false);
    note.save();
    EXPECT_EQ(stored(), "rtf:" + QString::fromLatin1(bytes.toBase64()));

    QuickNote again(prefs);
    again.load();
    EXPECT_EQ(again.rtf(), bytes);
    EXPECT_EQ(again.plain(), "abc");
}
