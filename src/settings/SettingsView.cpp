#include "settings/SettingsView.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

#include "ui/Palette.h"
#include "ui/Theme.h"
#include "settings/AvatarPicker.h"
#include "settings/SettingsWidgets.h"
#include "prefs/Preferences.h"
#include "core/model/UserProfile.h"
#include "ui/Fonts.h"

using namespace settingsui;

namespace {

QString themeLabel(AppTheme theme) {
    switch (theme) {
    case AppTheme::system: return QStringLiteral("Système");
    case AppTheme::light: return QStringLiteral("Clair");
    case AppTheme::dark: return QStringLiteral("Sombre");
    }
    return {};
}

// A hairline in the separator colour at half opacity.
class Divider : public QWidget {
public:
    explicit Divider(QWidget* parent = nullptr) : QWidget(parent) {
        setFixedHeight(1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(&ThemeManager::shared(), &ThemeManager::appearanceChanged, this, qOverload<>(&QWidget::update));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), withOpacity(AppPalette::separator(), 0.5));
    }
};

// Paints the screen background behind the scroll area's viewport.
class Page : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), AppPalette::screenBackground());
    }
};

} // namespace

SettingsView::SettingsView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("settingsView"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    outer->addWidget(m_scroll);

    auto* page = new Page;
    auto* pageLayout = new QHBoxLayout(page);
    pageLayout->setContentsMargins(22, 18, 22, 18);
    pageLayout->setSpacing(0);

    // The column takes the offered width up to 760 and sits at the leading edge.
    m_column = new QWidget(page);
    m_column->setObjectName(QStringLiteral("settingsColumn"));
    m_column->setMaximumWidth(maxContentWidth);
    m_column->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    pageLayout->addWidget(m_column, 1);
    pageLayout->addStretch(0);

    auto* stack = new QVBoxLayout(m_column);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(16);

    // Header.
    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 4);
    header->setSpacing(10);
    header->addWidget(new SymbolView(QStringLiteral("gearshape.fill"), 18, [] { return AppPalette::secondaryText(); }),
                      0, Qt::AlignVCenter);
    auto* title = new ColorLabel(QStringLiteral("Réglages"), Fonts::rounded(22, QFont::Bold),
                                 [] { return AppPalette::primaryText(); });
    title->setObjectName(QStringLiteral("settingsTitle"));
    header->addWidget(title, 0, Qt::AlignVCenter);
    header->addStretch(1);
    stack->addLayout(header);

    // Appearance.
    m_themePicker = new QComboBox;
    m_themePicker->setObjectName(QStringLiteral("themePicker"));
    m_themePicker->setFixedWidth(180);
    m_themePicker->setFont(Fonts::system(13));
    for (AppTheme t : allAppThemes())
        m_themePicker->addItem(themeLabel(t), int(t));
    auto* appearance = new SettingsCard(QStringLiteral("Apparence"), QStringLiteral("paintbrush"),
                                        new SettingRow(QStringLiteral("Thème"), m_themePicker));
    appearance->setObjectName(QStringLiteral("card.Apparence"));
    stack->addWidget(appearance);

    // Default layout of the list screens.
    QStringList layoutLabels;
    for (DisplayLayout l : DisplayLayouts::allCases)
        layoutLabels << DisplayLayouts::label(l);
    m_layoutPicker = new SegmentedPicker(layoutLabels);
    m_layoutPicker->setObjectName(QStringLiteral("layoutPicker"));
    m_layoutPicker->setFixedWidth(220);
    auto* display = new SettingsCard(QStringLiteral("Affichage"), QStringLiteral("rectangle.grid.2x2"),
                                     new SettingRow(QStringLiteral("Vue par défaut"), m_layoutPicker));
    display->setObjectName(QStringLiteral("card.Affichage"));
    stack->addWidget(display);

    // Profile.
    auto* profile = new QWidget;
    auto* profileStack = new QVBoxLayout(profile);
    profileStack->setContentsMargins(0, 0, 0, 0);
    profileStack->setSpacing(12);
    auto* names = new QHBoxLayout;
    names->setContentsMargins(0, 0, 0, 0);
    names->setSpacing(12);
    auto* first = new SettingTextField(QStringLiteral("Prénom"), QStringLiteral("Prénom"));
    auto* last = new SettingTextField(QStringLiteral("Nom"), QStringLiteral("Nom"));
    m_firstName = first->lineEdit();
    m_firstName->setObjectName(QStringLiteral("firstNameField"));
    m_lastName = last->lineEdit();
    m_lastName->setObjectName(QStringLiteral("lastNameField"));
    names->addWidget(first, 1);
    names->addWidget(last, 1);
    profileStack->addLayout(names);
    m_divider = new Divider;
    profileStack->addWidget(m_divider);
    m_avatarPicker = new AvatarPicker(&UserPreferencesStore::shared());
    profileStack->addWidget(m_avatarPicker);
    auto* profileCard = new SettingsCard(QStringLiteral("Profil"), QStringLiteral("person.fill"), profile);
    profileCard->setObjectName(QStringLiteral("card.Profil"));
    stack->addWidget(profileCard);

    stack->addSpacerItem(new QSpacerItem(0, 24, QSizePolicy::Minimum, QSizePolicy::Expanding));

    m_scroll->setWidget(page);

    // Every choice is written at once; no save button.
    connect(m_themePicker, &QComboBox::activated, this, [this](int index) {
        const auto theme = static_cast<AppTheme>(m_themePicker->itemData(index).toInt());
        ThemeManager::shared().setTheme(theme);
    });
    connect(m_layoutPicker, &SegmentedPicker::activated, this, [](int index) {
        const DisplayLayout layout = DisplayLayouts::allCases.at(size_t(index));
        Preferences::shared().setValue(QString::fromLatin1(DisplayLayouts::preferenceKey), DisplayLayouts::rawValue(layout));
    });
    // Names are stored exactly as typed, on every edit by the person (not on our own updates).
    connect(m_firstName, &QLineEdit::textEdited, this,
            [](const QString& text) { UserPreferencesStore::shared().setFirstName(text); });
    connect(m_lastName, &QLineEdit::textEdited, this,
            [](const QString& text) { UserPreferencesStore::shared().setLastName(text); });

    connect(&ThemeManager::shared(), &ThemeManager::themeChanged, this, &SettingsView::syncTheme);
    connect(&ThemeManager::shared(), &ThemeManager::appearanceChanged, this, &SettingsView::restyle);
    connect(&Preferences::shared(), &Preferences::changed, this, [this](const QString& key) {
        if (key == QLatin1String(DisplayLayouts::preferenceKey))
            syncLayout();
    });
    connect(&UserPreferencesStore::shared(), &UserPreferencesStore::profileChanged, this, &SettingsView::syncProfile);

    syncTheme();
    syncLayout();
    syncProfile();
    restyle();
}

SettingsView::~SettingsView() = default;

DisplayLayout SettingsView::storedLayout() {
    return DisplayLayouts::fromStored(
        Preferences::shared().value(QString::fromLatin1(DisplayLayouts::preferenceKey), QStringLiteral("list")).toString());
}

void SettingsView::syncTheme() {
    const int index = m_themePicker->findData(int(ThemeManager::shared().theme()));
    if (index >= 0 && index != m_themePicker->currentIndex())
        m_themePicker->setCurrentIndex(index);
}

void SettingsView::syncLayout() {
    m_layoutPicker->setCurrentIndex(storedLayout() == DisplayLayout::grid ? 1 : 0);
}

void SettingsView::syncProfile() {
    const UserProfile& p = UserPreferencesStore::shared().profile();
    // Only when different, so the cursor stays where the person is typing.
    if (m_firstName->text() != p.firstName)
        m_firstName->setText(p.firstName);
    if (m_lastName->text() != p.lastName)
        m_lastName->setText(p.lastName);
}

void SettingsView::restyle() {
    QPalette pal = m_scroll->palette();
    pal.setColor(QPalette::Window, AppPalette::screenBackground());
    m_scroll->setPalette(pal);
    m_scroll->viewport()->setPalette(pal);
    update();
}

void SettingsView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), AppPalette::screenBackground());
}
