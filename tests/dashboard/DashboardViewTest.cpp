#include "DashboardFixture.h"
#include "../richtext/ForeignRtf.h"

#include "dashboard/DashboardData.h"
#include "dashboard/DashboardView.h"
#include "dashboard/DashboardWidgets.h"
#include "richtext/ClickableTextView.h"
#include "rtf/Rtf.h"
#include "support/Accessibility.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QScrollArea>
#include <QTest>
#include <QTextCursor>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>

using namespace dashboard;

namespace {

class DashboardViewTest : public DashboardFixture {
protected:
    std::unique_ptr<DashboardView> makeView() {
        auto v = std::make_unique<DashboardView>(
            env.services(), [this] { ++createProject; }, [this] { ++openProjects; },
            [this](const ProjectPtr& p) { openedProject = p; }, [this](const DocPtr& d) { openedDoc = d; },
            [this] { ++openChecklists; }, [this](const ChecklistPtr& c) { openedChecklist = c; });
        v->resize(1100, 900);
        v->show();
        testsupport::flushEvents();
        return v;
    }

    static void click(QWidget* w, QPoint at = {}) {
        QTest::mouseClick(w, Qt::LeftButton, {}, at.isNull() ? w->rect().center() : at);
        testsupport::flushEvents();
    }

    QString storedNote() { return env.prefs().value(QuickNote::notesKey).toString(); }

    int createProject = 0, openProjects = 0, openChecklists = 0;
    ProjectPtr openedProject;
    DocPtr openedDoc;
    ChecklistPtr openedChecklist;
};

} // namespace

TEST_F(DashboardViewTest, OrbsOpenSwitchAndCloseTheDocumentPanel) {
    const auto p = makeProject("Atelier", 0);
    for (int i = 0; i < 15; ++i)
        makeDoc(p, QString("Doc %1").arg(i), i, "in_progress");
    makeDoc(p, "Fini", 20, "done");
    auto view = makeView();
    EXPECT_EQ(view->orb(DocStatus::inProgress)->value(), 15);
    EXPECT_FALSE(view->statusPanel());

    click(view->orb(DocStatus::done));
    ASSERT_TRUE(view->statusPanel());
    EXPECT_EQ(view->panelTitleText(), QString::fromUtf8("Documents terminé"));
    ASSERT_EQ(view->panelRows().size(), 1u);
    EXPECT_EQ(view->panelRows()[0]->titleText(), "Fini");
    EXPECT_EQ(view->panelRows()[0]->projectText(), "Atelier");

    // Another orb switches the panel in place.
    click(view->orb(DocStatus::inProgress));
    ASSERT_TRUE(view->statusPanel());
    EXPECT_EQ(view->panelTitleText(), "Documents en cours");
    EXPECT_EQ(view->panelCountText(), "15");
    const auto rows = view->panelRows();
    ASSERT_EQ(rows.size(), 12u);
    EXPECT_EQ(rows.front()->titleText(), "Doc 14");
    EXPECT_EQ(rows.back()->titleText(), "Doc 3");
    EXPECT_TRUE(view->orb(DocStatus::inProgress)->isSelected());
    EXPECT_FALSE(view->orb(DocStatus::done)->isSelected());

    click(view->orb(DocStatus::inProgress));
    EXPECT_FALSE(view->statusPanel());
    EXPECT_FALSE(view->expandedStatus());

    click(view->orb(DocStatus::needsChanges));
    EXPECT_EQ(view->panelCountText(), "0");
    EXPECT_EQ(view->panelEmptyText(), "Aucun document dans ce statut.");
    EXPECT_TRUE(view->panelRows().empty());
}

TEST_F(DashboardViewTest, ClickInThePulseAroundAnOrbDoesNothing) {
    auto view = makeView();
    MetricOrb* orb = view->orb(DocStatus::done);
    const QRect label = orb->labelRect();
    click(orb, QPoint(label.left() - 4, label.top() + 40));
    EXPECT_FALSE(view->expandedStatus());
    click(orb, QPoint(label.center().x(), label.top() + 40));
    EXPECT_EQ(view->expandedStatus(), DocStatus::done);
}

TEST_F(DashboardViewTest, RowsAndCardsCallTheirCallbacks) {
    std::vector<ProjectPtr> projects;
    for (int i = 0; i < 6; ++i)
        projects.push_back(makeProject(QString("P%1").arg(i), i));
    projects[5]->setDeletedAt(at(50));
    const auto doc = makeDoc(projects[1], "Note", 30, "done");
    std::vector<ChecklistPtr> checklists;
    for (int i = 0; i < 6; ++i)
        checklists.push_back(makeChecklist(QString("C%1").arg(i), i, i == 4 ? projects[0] : nullptr));
    auto view = makeView();

    const auto cards = view->projectCards();
    ASSERT_EQ(cards.size(), 4u);
    EXPECT_EQ(cards[0]->titleText(), "P4"); // P5 is hidden
    click(cards[0], QPoint(5, cards[0]->height() - 5)); // empty space of the card
    EXPECT_EQ(openedProject, projects[4]);
    click(view->projectsSeeMore());
    EXPECT_EQ(openProjects, 1);
    view->projectsSeeMore()->setFocus();
    QTest::keyClick(view->projectsSeeMore(), Qt::Key_Return);
    EXPECT_EQ(openProjects, 2);

    const auto lists = view->checklistCards();
    ASSERT_EQ(lists.size(), 4u);
    EXPECT_EQ(lists[0]->titleText(), "C5");
    EXPECT_EQ(lists[0]->secondLine(), "Checklist globale");
    EXPECT_EQ(lists[1]->secondLine(), "P0");
    click(lists[1]);
    EXPECT_EQ(openedChecklist, checklists[4]);
    click(view->checklistsSeeMore());
    EXPECT_EQ(openChecklists, 1);

    click(view->orb(DocStatus::done));
    ASSERT_EQ(view->panelRows().size(), 1u);
    click(view->panelRows()[0], QPoint(view->panelRows()[0]->width() / 2, 5));
    EXPECT_EQ(openedDoc, doc);
    EXPECT_EQ(createProject, 0);
}

TEST_F(DashboardViewTest, FollowsChangesMadeElsewhere) {
    const auto a = makeProject("A", 1);
    const auto b = makeProject("B", 2);
    const auto doc = makeDoc(a, "Plan", 3, "done");
    auto view = makeView();
    click(view->orb(DocStatus::done));
    ASSERT_EQ(view->projectCards().size(), 2u);
    EXPECT_EQ(view->projectCards()[0]->titleText(), "B");

    a->setUpdatedAt(at(10));
    a->setName("A bis");
    doc->setTitle("  ");
    testsupport::flushEvents();
    EXPECT_EQ(view->projectCards()[0]->titleText(), "A bis");
    ASSERT_EQ(view->panelRows().size(), 1u);
    EXPECT_EQ(view->panelRows()[0]->titleText(), "Sans titre");
    EXPECT_EQ(view->panelRows()[0]->projectText(), "A bis");

    doc->setStatusRaw("needs_changes");
    makeChecklist("Nouvelle", 40);
    testsupport::flushEvents();
    EXPECT_EQ(view->orb(DocStatus::done)->value(), 0);
    EXPECT_EQ(view->orb(DocStatus::needsChanges)->value(), 1);
    EXPECT_EQ(view->panelEmptyText(), "Aucun document dans ce statut.");
    ASSERT_EQ(view->checklistCards().size(), 1u);
    EXPECT_EQ(view->checklistCards()[0]->titleText(), "Nouvelle");

    UserProfile profile = env.profile().profile();
    profile.firstName = " Ana ";
    env.profile().setProfile(profile);
    EXPECT_EQ(view->greetingText(), "Bienvenue Ana");
}

TEST_F(DashboardViewTest, ModulesMenuSwitchesModulesAndTheChoiceSurvives) {
    {
        auto view = makeView();
        ASSERT_TRUE(view->quickNoteAccordion());
        ASSERT_TRUE(view->checklistsModule());
        EXPECT_TRUE(view->quickNoteToggle()->isChecked());
        view->quickNoteToggle()->trigger();
        view->checklistToggle()->trigger();
        testsupport::flushEvents();
        EXPECT_FALSE(view->quickNoteAccordion());
        EXPECT_FALSE(view->checklistsModule());
        EXPECT_FALSE(env.prefs().value(DashboardView::showQuickNoteKey).toBool());
        EXPECT_FALSE(env.prefs().value(DashboardView::showChecklistKey).toBool());
        EXPECT_TRUE(view->modulesButton()->isVisible());
    }
    auto again = makeView();
    EXPECT_FALSE(again->quickNoteAccordion());
    EXPECT_FALSE(again->checklistsModule());
    EXPECT_FALSE(again->checklistToggle()->isChecked());
    again->checklistToggle()->trigger();
    testsupport::flushEvents();
    EXPECT_TRUE(again->checklistsModule());
}

TEST_F(DashboardViewTest, QuickNoteKeepsWhatIsTypedAndItsFormatting) {
    {
        auto view = makeView();
        EXPECT_FALSE(view->quickNoteEditor()); // collapsed at start
        click(view->quickNoteAccordion()->headerButton());
        ASSERT_TRUE(view->quickNoteEditor());
        ClickableTextView* text = view->quickNoteEditor()->textView();
        text->setFocus();
        QTest::keyClicks(text, "abc");
        // Written at every change (a key right after its frame), with no pause in the typing.
        QCoreApplication::sendPostedEvents();
        EXPECT_TRUE(storedNote().startsWith("rtf:"));
        EXPECT_EQ(decodeStoredNote(storedNote()).plain, "abc");
        // Bold applied with nothing typed after it reaches the entry only through the flush.
        QTextCursor c(text->document());
        c.select(QTextCursor::Document);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        c.mergeCharFormat(bold);
        click(view->quickNoteAccordion()->headerButton()); // collapse
        EXPECT_FALSE(view->quickNoteEditor());
    }
    const NoteState stored = decodeStoredNote(storedNote());
    ASSERT_TRUE(stored.rtf);
    QTextDocument doc;
    ASSERT_TRUE(rtf::read(*stored.rtf, doc));
    EXPECT_EQ(doc.toPlainText(), "abc");
    EXPECT_EQ(QTextCursor(doc.findBlock(0)).charFormat().fontWeight(), QFont::Bold);

    auto view = makeView();
    click(view->quickNoteAccordion()->headerButton());
    ASSERT_TRUE(view->quickNoteEditor());
    EXPECT_EQ(view->quickNoteEditor()->textView()->document()->toPlainText(), "abc");
}

TEST_F(DashboardViewTest, QuickNoteFormattingSurvivesLeavingTheDashboard) {
    auto view = makeView();
    click(view->quickNoteAccordion()->headerButton());
    ClickableTextView* text = view->quickNoteEditor()->textView();
    text->setFocus();
    QTest::keyClicks(text, "xy");
    QTextCursor c(text->document());
    c.select(QTextCursor::Document);
    QTextCharFormat italic;
    italic.setFontItalic(true);
    c.mergeCharFormat(italic);
    view->hide(); // the router hides a screen before it goes
    view.reset();
    QTextDocument doc;
    ASSERT_TRUE(rtf::read(*decodeStoredNote(storedNote()).rtf, doc));
    EXPECT_TRUE(QTextCursor(doc.findBlock(0)).charFormat().fontItalic());
}

TEST_F(DashboardViewTest, ANoteNobodyEditsKeepsItsTextAndItsRtfBytes) {
    auto view = makeView();
    EXPECT_FALSE(env.prefs().contains(QuickNote::notesKey));
    click(view->quickNoteAccordion()->headerButton());
    EXPECT_FALSE(env.prefs().contains(QuickNote::notesKey));
    // The editor leaving the screen stores the note, the empty text when there is none.
    click(view->quickNoteAccordion()->headerButton());
    EXPECT_EQ(env.prefs().text(QuickNote::notesKey), "");

    // Whatever the entry holds is shown in full; expanding, clicking into it, collapsing and leaving
    // store it in its own form (trimmed), RTF with the bytes it had.
    view.reset();
    const QString nul = QString("avant") + QChar(0) + "après";
    const QString foreign = "rtf:" + QString::fromLatin1(rttest::foreignRtf().toBase64());
    QTextDocument foreignDoc;
    rtf::read(rttest::foreignRtf(), foreignDoc);
    const struct {
        QByteArray line;
        QString stored;
        QString shown;
    } cases[] = {
        {"un, deux,trois", "un, deux,trois", "un, deux,trois"},
        {"@Variant(texte)", "@Variant(texte)", "@Variant(texte)"},
        {"@String(avant\\0\\x61pr\\xe8s)", nul, nul},
        {"\"  x  \"", "x", "  x  "},
        {" " + foreign.toLatin1(), foreign, foreignDoc.toPlainText()},
    };
    const QString path = env.prefs().fileName();
    for (const auto& c : cases) {
        ASSERT_TRUE(env.prefs().flush()); // the last write in the file before it is replaced
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\ndashboard.quickNoteNotes=" + c.line + "\n");
        file.close();
        env.prefs().sync();
        auto v = makeView();
        click(v->quickNoteAccordion()->headerButton());
        ASSERT_TRUE(v->quickNoteEditor());
        ClickableTextView* text = v->quickNoteEditor()->textView();
        EXPECT_EQ(text->document()->toPlainText(), c.shown) << c.line.constData();
        click(text->viewport(), QPoint(20, 20));
        click(v->quickNoteAccordion()->headerButton());
        click(v->quickNoteAccordion()->headerButton());
        v->hide();
        v.reset();
        EXPECT_EQ(env.prefs().text(QuickNote::notesKey), c.stored) << c.line.constData();
    }

    // Edited, the text is stored whole.
    ASSERT_TRUE(env.prefs().flush());
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\ndashboard.quickNoteNotes=un, deux,trois\n");
    }
    env.prefs().sync();
    auto v = makeView();
    click(v->quickNoteAccordion()->headerButton());
    ClickableTextView* text = v->quickNoteEditor()->textView();
    text->setFocus();
    text->moveCursor(QTextCursor::End);
    QTest::keyClicks(text, "!");
    click(v->quickNoteAccordion()->headerButton());
    EXPECT_EQ(decodeStoredNote(storedNote()).plain, "un, deux,trois!");

    // With the module off the note is still read, and stored again in its form.
    v.reset();
    env.prefs().setValue(DashboardView::showQuickNoteKey, false);
    env.prefs().setValue(QuickNote::notesKey, "  x  ");
    auto off = makeView();
    EXPECT_EQ(storedNote(), "x");
    EXPECT_FALSE(off->quickNoteEditor());
    off.reset();
    env.prefs().setValue(QuickNote::notesKey, "rtf:");
    makeView();
    EXPECT_EQ(env.prefs().text(QuickNote::notesKey), "");
}

TEST_F(DashboardViewTest, EveryTextAndControlIsNamedForAccessibility) {
    const auto p = makeProject("Atelier", 0, QString("Une description"));
    makeDoc(p, "Plan", 1, "done");
    makeChecklist("Courses", 2, p);
    auto view = makeView();
    click(view->quickNoteAccordion()->headerButton());
    EXPECT_EQ(testsupport::unnamedAccessibleElements(view.get()).join("; ").toStdString(), "");
    const QStringList names = testsupport::accessibleNames(view.get());
    for (const char* text :
         {"Tableau de bord", "Retrouvez vos projets récents et un aperçu de votre activité.", "Projets récents",
          "Atelier", "Une description", "Modules", "Checklists récentes", "Courses", "Voir plus", "Note rapide",
          "Écrivez une note pour vous aider à reprendre rapidement."})
        EXPECT_TRUE(names.contains(QString::fromUtf8(text))) << text;

    QAccessibleInterface* orb =
        testsupport::findAccessible(view.get(), QString::fromUtf8("Terminé"), QAccessible::Button);
    ASSERT_TRUE(orb);
    EXPECT_EQ(orb->text(QAccessible::Description), "1");
    ASSERT_TRUE(testsupport::pressAccessible(orb));
    EXPECT_TRUE(testsupport::waitFor([&] { return view->expandedStatus() == DocStatus::done; }));
    testsupport::flushEvents(); // the panel's new rows are shown on the next turn
    QAccessibleInterface* row = testsupport::findAccessible(view.get(), "Plan", QAccessible::Button);
    ASSERT_TRUE(row);
    ASSERT_TRUE(testsupport::pressAccessible(row));
    ASSERT_TRUE(openedDoc);
    EXPECT_EQ(openedDoc->title(), "Plan");
    QAccessibleInterface* card = testsupport::findAccessible(view.get(), "Courses", QAccessible::Button);
    ASSERT_TRUE(card);
    ASSERT_TRUE(testsupport::pressAccessible(card));
    ASSERT_TRUE(openedChecklist);
    EXPECT_EQ(openedChecklist->name(), "Courses");
}

TEST_F(DashboardViewTest, FirstFrameReadsNoBlockAndNoBlob) {
    const auto p = makeProject("Atelier", 0);
    const auto doc = makeDoc(p, "Plan", 1, "done");
    auto block = std::make_shared<DocBlock>(DocBlockFields{.typeRaw = "text",
                                                           .order = 0,
                                                           .content = "texte",
                                                           .richTextData = QByteArray("{\\rtf1 texte}"),
                                                           .imageData = QByteArray("png"),
                                                           .createdAt = at(1),
                                                           .updatedAt = at(1),
                                                           .doc = doc});
    context().insert(block);
    ASSERT_TRUE(context().save());
    env.reopenStore();
    auto view = makeView();
    view->grab();
    EXPECT_EQ(view->orb(DocStatus::done)->value(), 1);
    EXPECT_EQ(env.context().rowsRead("DocBlock"), 0);
    EXPECT_EQ(env.context().blobsRead(), 0);
}

TEST(DashboardAvatar, ThumbnailIsUprightBoundedAndNullForNonImages) {
    EXPECT_TRUE(avatarThumbnail(QByteArray(), 512).isNull());
    EXPECT_TRUE(avatarThumbnail(QByteArray("not an image at all"), 512).isNull());
    EXPECT_TRUE(avatarThumbnail(fixtures::pngHeaderOnly(60000, 60000), 512).isNull());

    // Left half red, right half blue, stored turned (EXIF 6: rotate 90° clockwise to show upright).
    const QImage wide = fixtures::twoHalves(1600, 800, Qt::red, Qt::blue);
    const QImage thumb = avatarThumbnail(fixtures::jpegWithOrientation(wide, 6), 512);
    ASSERT_FALSE(thumb.isNull());
    EXPECT_EQ(thumb.size(), QSize(256, 512));
    // After the turn the left half is on top.
    const QColor top = thumb.pixelColor(128, 40), bottom = thumb.pixelColor(128, 470);
    EXPECT_GT(top.red(), 200);
    EXPECT_LT(top.blue(), 80);
    EXPECT_GT(bottom.blue(), 200);

    DashboardAvatarLarge avatar(fixtures::jpegWithOrientation(wide, 1), 104);
    EXPECT_TRUE(avatar.showsPicture());
    avatar.setAvatarData(QByteArray("garbage"));
    EXPECT_FALSE(avatar.showsPicture());
}

TEST_F(DashboardViewTest, VeryLongNamesAreCutBeforeTheyAreLaidOut) {
    const QString huge = QStringLiteral("Nom très long ").repeated(8000);
    const auto p = makeProject(huge, 1);
    makeDoc(p, huge, 2, "done");
    auto view = makeView();
    click(view->orb(DocStatus::done));
    ASSERT_EQ(view->projectCards().size(), 1u);
    ASSERT_EQ(view->panelRows().size(), 1u);
    for (const QString& shown : {view->projectCards()[0]->titleText(), view->panelRows()[0]->titleText(),
                                 view->panelRows()[0]->projectText()}) {
        EXPECT_LE(shown.size(), 401);
        EXPECT_TRUE(shown.startsWith(QStringLiteral("Nom très long")));
        EXPECT_TRUE(shown.endsWith(QChar(0x2026)));
    }
}

// The status panel and the accordion's content come in by fading and moving down from the top edge
// over 0.18 s, and leave the same way (the panel itself is gone at once, its picture leaves); with less
// motion asked for, both are immediate.
TEST_F(DashboardViewTest, PanelAndNoteFadeAndMoveInAndOutUnlessMotionIsReduced) {
    const auto p = makeProject("Atelier", 0);
    for (int i = 0; i < 5; ++i)
        makeDoc(p, QString("Doc %1").arg(i), i, "in_progress");
    auto view = makeView();
    auto reveals = [&] {
        std::vector<Reveal*> out;
        for (Reveal* r : view->findChildren<Reveal*>())
            if (r->isVisible())
                out.push_back(r);
        return out;
    };

    view->toggleExpandedStatus(DocStatus::inProgress);
    testsupport::flushEvents();
    ASSERT_TRUE(view->statusPanel());
    auto* reveal = qobject_cast<Reveal*>(view->statusPanel()->parentWidget());
    ASSERT_TRUE(reveal);
    EXPECT_LT(reveal->progress(), 1.0);
    EXPECT_LT(reveal->height(), view->statusPanel()->height());
    EXPECT_LE(view->statusPanel()->y(), 0); // still above the box's top edge, coming down
    ASSERT_TRUE(QTest::qWaitFor([&] { return reveal->progress() == 1.0; }, 2000));
    testsupport::flushEvents();
    EXPECT_EQ(reveal->height(), view->statusPanel()->height());
    EXPECT_EQ(view->statusPanel()->y(), 0);
    EXPECT_FALSE(view->statusPanel()->graphicsEffect());

    view->toggleExpandedStatus(DocStatus::inProgress);
    EXPECT_FALSE(view->statusPanel());
    ASSERT_EQ(reveals().size(), 1u);
    EXPECT_TRUE(reveals().front()->isLeaving());
    ASSERT_TRUE(QTest::qWaitFor([&] { return reveals().empty(); }, 2000));

    // The quick note's content enters the same way.
    DashboardAccordion* note = view->quickNoteAccordion();
    ASSERT_TRUE(note);
    note->setExpanded(true);
    testsupport::flushEvents();
    auto* noteReveal = qobject_cast<Reveal*>(note->contentWidget()->parentWidget());
    ASSERT_TRUE(noteReveal);
    EXPECT_LT(noteReveal->progress(), 1.0);
    note->setExpanded(false);
    EXPECT_FALSE(note->contentWidget());
    ASSERT_TRUE(QTest::qWaitFor([&] { return reveals().empty(); }, 2000));

    qputenv("TOLMEK_REDUCE_MOTION", "1");
    view->toggleExpandedStatus(DocStatus::inProgress);
    testsupport::flushEvents();
    ASSERT_TRUE(view->statusPanel());
    EXPECT_EQ(qobject_cast<Reveal*>(view->statusPanel()->parentWidget())->progress(), 1.0);
    note->setExpanded(true);
    EXPECT_EQ(note->chevronAngle(), 180.0);
    view->toggleExpandedStatus(DocStatus::inProgress);
    note->setExpanded(false);
    testsupport::flushEvents();
    EXPECT_TRUE(reveals().empty());
    qunsetenv("TOLMEK_REDUCE_MOTION");
}
