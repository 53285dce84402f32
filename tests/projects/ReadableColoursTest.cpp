#include "ProjectsFixture.h"

#include "projects/ProjectDocumentsView.h"
#include "ui/Palette.h"
#include "ui/Theme.h"
#include "ui/lists/ListWidgets.h"

namespace {

class ReadableColoursTest : public ProjectsFixture {
protected:
    void TearDown() override {
        ProjectsFixture::TearDown();
        ThemeManager::shared().setTheme(AppTheme::system);
    }
    template <class W>
    W* shown(W* w) {
        keep(w);
        w->resize(1000, 700);
        w->show();
        flush();
        return w;
    }
};

QColor brightest(const QImage& img, const QRect& area) {
    QColor best(Qt::black);
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (Contrast::luminance(img.pixelColor(x, y)) > Contrast::luminance(best))
                best = img.pixelColor(x, y);
    return best;
}

} // namespace

// The header's white texts on the lightest shade of its gradient, for the light colours.
TEST_F(ReadableColoursTest, AProjectsHeaderTextsReadOnEveryColour) {
    for (const bool dark : {false, true}) {
        ThemeManager::shared().setTheme(dark ? AppTheme::dark : AppTheme::light);
        for (const char* key : {"green", "orange", "purple", "yellow", "mint"}) {
            const ProjectPtr p = makeProject(QStringLiteral("Réseau"), 1, QStringLiteral("Infrastructure réseau"),
                                             QString::fromLatin1(key));
            auto* view = shown(new ProjectDocumentsView(
                services(), p, [] {}, [] {}, [](const DocPtr&) {}));
            auto* header = view->findChild<QWidget*>(QStringLiteral("projectHeader"));
            ASSERT_TRUE(header);
            const QImage img = header->grab().toImage();
            // Near the header's lower right corner the gradient is at its lightest.
            const QColor fill = img.pixelColor(img.width() - 60, img.height() - 12);
            for (auto* text : header->findChildren<lists::ClampedText*>()) {
                if (text->text().isEmpty())
                    continue;
                const QRect area(text->mapTo(header, QPoint(0, 0)), text->size());
                EXPECT_GE(Contrast::ratio(brightest(img, area), fill), Contrast::text)
                    << key << (dark ? " dark: " : " light: ") << text->text().toStdString() << " on "
                    << fill.name().toStdString();
            }
            widgets.clear();
            flush();
        }
    }
}
