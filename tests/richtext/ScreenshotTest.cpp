#include "RichTextTestUtil.h"

#include "ui/Theme.h"
#include "richtext/ClickableTextView.h"
#include "richtext/RichTextBlockEditor.h"
#include "richtext/RichTextFormatting.h"
#include "richtext/RichTextToolbar.h"
#include "richtext/SpellChecker.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

// Renders the editor to PNGs for a visual check: TOLMEK_SHOTS_DIR=/some/dir tests_richtext --gtest_filter=Shots*
TEST(Shots, EditorLightAndDark)
{
    const QString dir = qEnvironmentVariable("TOLMEK_SHOTS_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "TOLMEK_SHOTS_DIR not set";
    QDir().mkpath(dir);
    SpellDictionary::shared().ensureLoading();
    testsupport::waitFor([] { return SpellDictionary::shared().isLoaded(); }, 20000);

    for (bool dark : {false, true}) {
        ThemeManager::shared().setTheme(dark ? AppTheme::dark : AppTheme::light);
        const QString suffix = dark ? QStringLiteral("dark") : QStringLiteral("light");
        QString content = QStringLiteral("Titre du bloc\nDu texte en gras, en rouge, surligné et du code inline.\n"
                                         "Une faute d’ortografe ici.");
        std::optional<QByteArray> data;
        QWidget window;
        window.setAutoFillBackground(true);
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(24, 24, 24, 24);
        auto* editor = new RichTextBlockEditor({[&] { return content; }, [&](const QString& v) { content = v; }},
                                               {[&] { return data; }, [&](const std::optional<QByteArray>& v) { data = v; }},
                                               false, {}, {}, &window);
        layout->addWidget(editor);
        layout->addStretch();
        QTextDocument& doc = *editor->textView()->document();
        auto sel = [&](const QString& word) {
            const int at = doc.toPlainText().indexOf(word);
            return rttest::select(doc, at, at + word.size());
        };
        QTextCursor c = sel(QStringLiteral("Titre du bloc"));
        richtext::applyHeading(c, 22, QFont::DemiBold);
        c = sel(QStringLiteral("en gras"));
        richtext::toggleBold(c);
        c = sel(QStringLiteral("en rouge"));
        richtext::applyTextColor(c, richtext::namedColor(richtext::NamedColor::red));
        c = sel(QStringLiteral("surligné"));
        richtext::applyHighlight(c, richtext::namedColor(richtext::NamedColor::yellow));
        c = sel(QStringLiteral("code inline"));
        richtext::applyInlineCode(c);
        window.resize(720, 320);
        window.show();
        QApplication::setActiveWindow(&window);
        (void)QTest::qWaitForWindowActive(&window);
        testsupport::waitFor([] { return false; }, 100);
        window.grab().save(dir + QStringLiteral("/editor-unfocused-%1.png").arg(suffix));

        QTest::mouseClick(editor->textView()->viewport(), Qt::LeftButton, {}, QPoint(200, 60));
        testsupport::waitFor([&] { return editor->toolbar()->isVisible() && editor->height() > 150; }, 1000);
        testsupport::waitFor([] { return false; }, 300);
        window.grab().save(dir + QStringLiteral("/editor-focused-%1.png").arg(suffix));

        RichTextToolbar* bar = editor->toolbar();
        for (auto [button, menu, name] : {std::tuple<QWidget*, QMenu*, const char*>{bar->styleButton(), bar->styleMenu(), "style"},
                                          {bar->textColorButton(), bar->textColorMenu(), "color"},
                                          {bar->highlightButton(), bar->highlightMenu(), "highlight"}}) {
            QTest::mouseClick(button, Qt::LeftButton);
            testsupport::waitFor([&] { return menu->isVisible(); }, 1000);
            menu->grab().save(dir + QStringLiteral("/menu-%1-%2.png").arg(QLatin1String(name), suffix));
            window.grab().save(dir + QStringLiteral("/editor-menu-%1-%2.png").arg(QLatin1String(name), suffix));
            menu->hide();
            QApplication::setActiveWindow(&window);
        }
        bar->setShowColorPicker(true);
        testsupport::waitFor([] { return false; }, 100);
        bar->colorPopover()->grab().save(dir + QStringLiteral("/popover-%1.png").arg(suffix));
        bar->setShowColorPicker(false);
    }
    ThemeManager::shared().setTheme(AppTheme::system);
}
