#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

#include "ui/ImageConversion.h"

class QPushButton;
class UserPreferencesStore;

namespace settingsui {
class ColorLabel;
}

// The profile picture: shows the current avatar (or a placeholder), lets the user choose an image file,
// which is converted to a small JPEG off the GUI thread, or remove the picture. Bound to the store's
// `avatarData`: every change is written there at once.
class AvatarPicker : public QWidget {
    Q_OBJECT
public:
    static constexpr int maxPixelSize = 512;
    static constexpr double compressionFactor = 0.82;

    explicit AvatarPicker(UserPreferencesStore& store, QWidget* parent = nullptr);
    ~AvatarPicker() override;

    // Runs the file dialog (PNG, JPEG, TIFF, HEIC), then converts the chosen file in the background and
    // stores the result. Cancelling changes nothing; a file that cannot be converted keeps the current avatar.
    void chooseImage();
    // Removes the avatar.
    void removeAvatar();

    // Reads the file and returns the JPEG bytes (at most `maxSide` pixels a side, at JPEG `quality` 0..1), or
    // nothing when any step fails.
    static std::optional<QByteArray> makeAvatarData(const QString& path, int maxSide, double quality);

    // The file dialog's filter: PNG, JPEG, TIFF and HEIC, in that order.
    static QString fileFilter();

    bool isConverting() const { return m_pending > 0; }
    // The inline message after a refused file (empty when none is shown).
    QString message() const;
    // The avatar currently shown decodes as an image (otherwise the placeholder is drawn).
    bool showsImage() const;

signals:
    // A background conversion ended (whether or not it gave bytes).
    void conversionFinished(ImageConversion::Outcome outcome);

private:
    void refresh();
    void startConversion(const QString& path);
    void finishConversion(int generation, const ImageConversion::Result& result);
    void setMessage(const QString& text);

    class AvatarView;
    QPointer<UserPreferencesStore> m_store;
    AvatarView* m_avatar = nullptr;
    settingsui::ColorLabel* m_message = nullptr;
    QPushButton* m_choose = nullptr;
    QPushButton* m_remove = nullptr;
    // Bumped by every choice and removal, so that a late conversion never overrides a newer action.
    std::shared_ptr<int> m_generation = std::make_shared<int>(0);
    int m_pending = 0;
};
