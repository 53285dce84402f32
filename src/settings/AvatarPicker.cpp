#include "settings/AvatarPicker.h"

#include <QApplication>
#include <QBuffer>
#include <QHBoxLayout>
#include <QImageReader>
#include <QPainter>
#include <QPushButton>
#include <QThreadPool>
#include <QVBoxLayout>

#include "ui/BackgroundJobs.h"
#include "ui/Palette.h"
#include "ui/Accessibility.h"
#include "ui/Boxes.h"
#include "settings/SettingsWidgets.h"
#include "core/model/UserProfile.h"
#include "ui/DialogSeam.h"
#include "ui/Fonts.h"
#include "ui/Paint.h"
#include "ui/Symbols.h"

using settingsui::ColorLabel;

// The round picture, 56 × 56.
class AvatarPicker::AvatarView : public QWidget {
public:
    static constexpr int side = 56;

    explicit AvatarView(QWidget* parent) : QWidget(parent) {
        setFixedSize(side, side);
        setAccessibleName(QStringLiteral("Photo de profil"));
        Accessibility::setRole(this, QAccessible::Graphic);
    }

    void setData(const std::optional<QByteArray>& bytes) {
        if (bytes == m_data)
            return;
        m_data = bytes;
        m_image = QImage();
        if (bytes && !bytes->isEmpty()) {
            // Stored bytes are ours, but the preference file can be edited: decode with a bound.
            QBuffer buffer;
            buffer.setData(*bytes);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer);
            reader.setAllocationLimit(64);
            const QSize s = reader.size();
            if (s.isValid() && qint64(s.width()) * s.height() <= 16'000'000) {
                if (std::max(s.width(), s.height()) > 4 * side)
                    reader.setScaledSize(ImageConversion::fittedSize(s, 4 * side));
                m_image = reader.read();
            }
        }
        update();
    }
    bool showsImage() const { return !m_image.isNull(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const QRectF r(0, 0, side, side);
        if (!m_image.isNull()) {
            Paint::drawImageInCircle(p, r, m_image);
        } else {
            Paint::fillEllipse(p, r, AppPalette::cardBackground());
            const qreal icon = 26;
            Symbols::paint(p, QRectF(r.center().x() - icon / 2, r.center().y() - icon / 2, icon, icon),
                           QStringLiteral("person.crop.circle.fill"), AppPalette::secondaryText(), Symbols::semibold);
        }
        Paint::strokeEllipse(p, r, withOpacity(AppPalette::separator(), 0.6), 1);
    }

private:
    std::optional<QByteArray> m_data;
    QImage m_image;
};

AvatarPicker::AvatarPicker(UserPreferencesStore& store, QWidget* parent) : QWidget(parent), m_store(&store) {
    setObjectName(QStringLiteral("avatarPicker"));
    auto* row = Boxes::row(this, 12, QMargins());

    m_avatar = new AvatarView(this);
    row->addWidget(m_avatar, 0, Qt::AlignVCenter);

    auto* column = Boxes::column(nullptr, 6, QMargins());
    column->addWidget(new ColorLabel(QStringLiteral("Photo de profil"), Fonts::rounded(13, QFont::DemiBold),
                                     [] { return AppPalette::primaryText(); }));
    column->addWidget(new ColorLabel(QStringLiteral("Formats supportés : PNG, JPEG, HEIC (converti)."),
                                     Fonts::rounded(12), [] { return AppPalette::secondaryText(); }));
    auto* buttons = Boxes::row(nullptr, 10, QMargins());
    m_choose = new QPushButton(QStringLiteral("Choisir une image"), this);
    m_choose->setObjectName(QStringLiteral("chooseImageButton"));
    m_remove = new QPushButton(QStringLiteral("Supprimer"), this);
    m_remove->setObjectName(QStringLiteral("removeAvatarButton"));
    for (auto* b : {m_choose, m_remove}) {
        b->setAutoDefault(false);
        b->setFont(Fonts::system(13));
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    column->addLayout(buttons);
    m_message = new ColorLabel(QString(), Fonts::rounded(12), [] { return AppPalette::dangerRed(); });
    m_message->setObjectName(QStringLiteral("avatarMessage"));
    m_message->hide();
    column->addWidget(m_message);
    row->addLayout(column);
    row->addStretch(1);

    connect(m_choose, &QPushButton::clicked, this, &AvatarPicker::chooseImage);
    connect(m_remove, &QPushButton::clicked, this, &AvatarPicker::removeAvatar);
    connect(m_store, &UserPreferencesStore::profileChanged, this, &AvatarPicker::refresh);
    refresh();
}

AvatarPicker::~AvatarPicker() = default;

QString AvatarPicker::fileFilter() {
    return QStringLiteral(
        "Images (*.png *.PNG *.jpg *.JPG *.jpeg *.JPEG *.tif *.TIF *.tiff *.TIFF "
        "*.heic *.HEIC *.heif *.HEIF)");
}

std::optional<QByteArray> AvatarPicker::makeAvatarData(const QString& path, int maxSide, double quality) {
    ImageConversion::Result r = ImageConversion::makeAvatarData(path, maxSide, quality);
    if (!r.ok())
        return std::nullopt;
    return r.jpeg;
}

void AvatarPicker::chooseImage() {
    const QString path = DialogSeam::getOpenFileName(window(), QString(), QString(), fileFilter());
    if (path.isEmpty())
        return;
    startConversion(path);
}

void AvatarPicker::removeAvatar() {
    ++*m_generation;
    setMessage({});
    if (m_store)
        m_store->setAvatarData(std::nullopt);
}

void AvatarPicker::startConversion(const QString& path) {
    const int generation = ++*m_generation;
    ++m_pending;
    setMessage({});
    // Decoding a large photo takes a moment: do it off the GUI thread so the window keeps painting.
    QPointer<AvatarPicker> self(this);
    QPointer<UserPreferencesStore> store = m_store;
    std::shared_ptr<int> current = m_generation;
    backgroundJobs().start([self, store, current, generation, path] {
        ImageConversion::Result result = ImageConversion::makeAvatarData(path, maxPixelSize, compressionFactor);
        QMetaObject::invokeMethod(
            qApp,
            [self, store, current, generation, result = std::move(result)] {
                // Only the latest choice counts; an earlier one finishing late is dropped.
                if (*current == generation && result.ok() && store)
                    store->setAvatarData(result.jpeg);
                if (self)
                    self->finishConversion(generation, result);
            },
            Qt::QueuedConnection);
    });
}

void AvatarPicker::finishConversion(int generation, const ImageConversion::Result& result) {
    --m_pending;
    if (*m_generation == generation && result.outcome == ImageConversion::Outcome::tooLarge)
        setMessage(QStringLiteral("Image trop grande."));
    emit conversionFinished(result.outcome);
}

void AvatarPicker::setMessage(const QString& text) {
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}

QString AvatarPicker::message() const { return m_message->text(); }

bool AvatarPicker::showsImage() const { return m_avatar->showsImage(); }

void AvatarPicker::refresh() {
    const std::optional<QByteArray> bytes = m_store ? m_store->profile().avatarData : std::nullopt;
    m_avatar->setData(bytes);
    // Shown whenever bytes are stored, even when they do not decode.
    m_remove->setVisible(bytes.has_value());
}
