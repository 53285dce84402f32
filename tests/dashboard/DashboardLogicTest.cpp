#include "dashboard/DashboardLogic.h"
#include "dashboard/DashboardWidgets.h"
#include "dashboard/QuickNote.h"
#include "prefs/Preferences.h"
#include "rtf/Rtf.h"
#include "support/TestSupport.h"

#include <QFile>
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
    EXPECT_EQ(n.plain, "  rtf:%%%  "); // shown literally, untrimmed

    n = decodeStoredNote("rtf:");
    ASSERT_TRUE(n.rtf);
    EXPECT_TRUE(n.rtf->isEmpty());
    EXPECT_EQ(n.plain, "");

    // Bytes that decode but are not RTF are kept; there is no plain text.
    n = decodeStoredNote("rtf:" + QString::fromLatin1(QByteArray("not rtf").toBase64()));
    EXPECT_EQ(n.rtf, QByteArray("not rtf"));
    EXPECT_EQ(n.plain, "");

    n = decodeStoredNote("Rtf:YWJj"); // the prefix is lower case only
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

TEST_F(QuickNoteTest, LoadingReadsEveryEntryAsOneTextAndStoresItAgainInItsForm) {
    const QString nul = QString("avant") + QChar(0) + QString("après");
    const QByteArray rtfBytes = boldRtf("Bonjour");
    const QString rtfForm = "rtf:" + QString::fromLatin1(rtfBytes.toBase64());
    const struct {
        QByteArray line; // as the preferences file holds it
        QString text; // the note shown
        QString stored; // the entry once loaded
    } cases[] = {
        {"\"  hello  \"", "  hello  ", "hello"},
        {"\"\\n\"", "\n", ""},
        {"un, deux,trois", "un, deux,trois", "un, deux,trois"},
        {"@Variant(texte)", "@Variant(texte)", "@Variant(texte)"},
        {"@Rect(1 2 3 4)", "@Rect(1 2 3 4)", "@Rect(1 2 3 4)"},
        {"@String(avant\\0\\x61pr\\xe8s)", nul.left(6) + "après", nul.left(6) + "après"},
        {"rtf:", "", ""},
        {"\" rtf:%%% \"", " rtf:%%% ", "rtf:%%%"},
        {"caf\\xe9, th\\xe9\\n\\\"ok\\\"", "café, thé\n\"ok\"", "café, thé\n\"ok\""},
        // RTF keeps its bytes, whatever reads them.
        {"\"  " + rtfForm.toLatin1() + "\\n\"", "Bonjour", rtfForm},
    };
    int n = 0;
    for (const auto& c : cases) {
        const QString path = dir.path() + QString("/case%1.conf").arg(n++);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\ndashboard.quickNoteNotes=" + c.line + "\nother=1\n");
        file.close();
        {
            Preferences p(path);
            QuickNote note(p);
            note.load();
            EXPECT_EQ(note.plain(), c.text) << c.line.constData();
            EXPECT_FALSE(note.hasUnsavedChange());
            EXPECT_EQ(p.text(QuickNote::notesKey), c.stored) << c.line.constData();
        }
        Preferences again(path);
        EXPECT_EQ(again.text(QuickNote::notesKey), c.stored) << c.line.constData();
        EXPECT_EQ(again.value("other").toInt(), 1);
    }
    // A value already in its stored form is left byte for byte.
    const QString path = dir.path() + "/kept.conf";
    {
        Preferences p(path);
        p.setValue(QuickNote::notesKey, "hello, you");
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    {
        Preferences p(path);
        QuickNote note(p);
        note.load();
        note.save();
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

TEST_F(QuickNoteTest, StoringWritesTheNoteEvenUnchanged) {
    QuickNote note(prefs);
    note.load();
    note.store();
    EXPECT_EQ(prefs.text(QuickNote::notesKey), "");
    note.setPlain(" a ");
    note.store();
    EXPECT_EQ(stored(), "a");
}

TEST_F(QuickNoteTest, EveryChangeIsWrittenAtOnceAsOneText) {
    QuickNote note(prefs);
    note.load();
    note.setPlain("abc ");
    EXPECT_FALSE(note.hasUnsavedChange());
    EXPECT_EQ(stored(), "abc");
    // In the file too, with no pause in the typing.
    ASSERT_TRUE(prefs.flush());
    EXPECT_EQ(Preferences(prefs.fileName()).value(QuickNote::notesKey).toString(), "abc");
    const QByteArray bytes = boldRtf("abc");
    note.setRtf(bytes);
    note.save();
    EXPECT_EQ(stored(), "rtf:" + QString::fromLatin1(bytes.toBase64()));

    // An editor flush writes "none" then the bytes: held, the plain form never reaches the file.
    note.holdWrites(true);
    note.setRtf(std::nullopt);
    note.setRtf(bytes);
    note.holdWrites(false);
    EXPECT_FALSE(note.hasUnsavedChange());
    note.save();
    EXPECT_EQ(stored(), "rtf:" + QString::fromLatin1(bytes.toBase64()));

    // Plain notes holding what QSettings would read as something else are written as one text.
    for (const QString& text : {QString("un, deux"), QString("@Variant(x)"), QString("a") + QChar(0) + "b"}) {
        note.setRtf(std::nullopt);
        note.setPlain(text);
        note.save();
        ASSERT_TRUE(prefs.flush());
        Preferences other(prefs.fileName());
        EXPECT_EQ(other.value(QuickNote::notesKey).toString(), text);
    }
    note.setRtf(bytes);
    note.setPlain("abc");
    note.save();

    QuickNote again(prefs);
    again.load();
    EXPECT_EQ(again.rtf(), bytes);
    EXPECT_EQ(again.plain(), "abc");
}
