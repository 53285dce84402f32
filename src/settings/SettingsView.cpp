#include "settings/SettingsView.h"

#include "ui/Boxes.h"
#include "ui/Components.h"

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
#include "services/Services.h"

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

} // namespace

SettingsView::SettingsView(const Services& services, QWidget* parent) : QWidget(parent), m_services(services) {
    setObjectName(QStringLiteral("settingsView"));
    m_scroll = addScreenScroll(this);

    auto* page = new ScreenBackground;
    auto* pageLayout = Boxes::row(page, 0, QMargins(22, 18, 22, 18));

    // The column takes the offered width up to 760 and sits at the leading edge.
    m_column = new QWidget(page);
    m_column->setObjectName(QStringLiteral("settingsColumn"));
    m_column->setMaximumWidth(maxContentWidth);
    m_column->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    pageLayout->addWidget(m_column, 1);
    pageLayout->addStretch(0);

    auto* stack = Boxes::column(m_column, 16, QMargins());

    // Header.
    auto* header = Boxes::row(nullptr, 10, QMargins(0, 0, 0, 4));
    header->addWidget(new SymbolView(
                          QStringLiteral("gearshape.fill"), 18, [] { return AppPalette::secondaryText(); },
                          QStringLiteral("Réglages")),
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
    auto* profileStack = Boxes::column(profile, 12, QMargins());
    auto* names = Boxes::row(nullptr, 12, QMargins());
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
    m_avatarPicker = new AvatarPicker(m_services.profile);
    profileStack->addWidget(m_avatarPicker);
    auto* profileCard = new SettingsCard(QStringLiteral("Profil"), QStringLiteral("person.fill"), profile);
    profileCard->setObjectName(QStringLiteral("card.Profil"));
    stack->addWidget(profileCard);

    stack->addSpacerItem(new QSpacerItem(0, 24, QSizePolicy::Minimum, QSizePolicy::Expanding));

    m_scroll->setWidget(page);

    // Every choice is written at once; no save button. Each is taken however it was made: a click,
    // the keyboard, or a screen reader setting the value.
    connect(m_themePicker, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_syncing || index < 0)
            return;
        m_services.theme.setTheme(static_cast<AppTheme>(m_themePicker->itemData(index).toInt()));
    });
    connect(m_layoutPicker, &SegmentedPicker::activated, this, [this](int index) {
        const DisplayLayout layout = DisplayLayouts::allCases.at(size_t(index));
        m_services.prefs.setValue(QString::fromLatin1(DisplayLayouts::preferenceKey), DisplayLayouts::rawValue(layout));
    });
    // Names are stored exactly as typed, on every change of the text that is not our own update.
    connect(m_firstName, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_syncing)
            m_services.profile.setFirstName(text);
    });
    connect(m_lastName, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_syncing)
            m_services.profile.setLastName(text);
    });

    connect(&m_services.theme, &ThemeManager::themeChanged, this, &SettingsView::syncTheme);
    connect(&m_services.theme, &ThemeManager::appearanceChanged, this, &SettingsView::restyle);
    connect(&m_services.prefs, &Preferences::changed, this, [this](const QString& key) {
        if (key == QLatin1String(DisplayLayouts::preferenceKey))
            syncLayout();
    });
    connect(&m_services.profile, &UserPreferencesStore::profileChanged, this, &SettingsView::syncProfile);

    syncTheme();
    syncLayout();
    syncProfile();
    restyle();
}

SettingsView::~SettingsView() = default;

DisplayLayout SettingsView::storedLayout() const {
    return DisplayLayouts::fromStored(
        m_services.prefs.value(QString::fromLatin1(DisplayLayouts::preferenceKey), QStringLiteral("list")).toString());
}

void SettingsView::syncTheme() {
    const int index = m_themePicker->findData(int(m_services.theme.theme()));
    if (index >= 0 && index != m_themePicker->currentIndex()) {
        m_syncing = true;
        m_themePicker->setCurrentIndex(index);
        m_syncing = false;
    }
}

void SettingsView::syncLayout() { m_layoutPicker->setCurrentIndex(storedLayout() == DisplayLayout::grid ? 1 : 0); }

void SettingsView::syncProfile() {
    const UserProfile& p = m_services.profile.profile();
    // Only when different, so the cursor stays where the person is typing.
    m_syncing = true;
    if (m_firstName->text() != p.firstName)
        m_firstName->setText(p.firstName);
    if (m_lastName->text() != p.lastName)
        m_lastName->setText(p.lastName);
    m_syncing = false;
}

void SettingsView::restyle() {
    QPalette pal = m_scroll->palette();
    pal.setColor(QPalette::Window, AppPalette::screenBackground());
    m_scroll->setPalette(pal);
    m_scroll->viewport()->setPalette(pal);
    restyleTree(this);
}

void SettingsView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), AppPalette::screenBackground());
}
