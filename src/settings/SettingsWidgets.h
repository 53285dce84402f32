#pragma once

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <functional>

class QVBoxLayout;

// Small views of the settings screen. The screen has them take the new colours when the appearance
// changes (restyleTree).
namespace settingsui {

// Text in one palette colour, resolved again at every restyle.
class ColorLabel : public QLabel {
    Q_OBJECT
public:
    ColorLabel(const QString& text, const QFont& font, std::function<QColor()> color, QWidget* parent = nullptr);
    void restyle();

private:
    std::function<QColor()> m_color;
};

// A palette-coloured symbol in a square of `px`, read by a screen reader as a picture named
// `description`.
class SymbolView : public QWidget {
    Q_OBJECT
public:
    SymbolView(const QString& name, qreal px, std::function<QColor()> color, const QString& description,
               QWidget* parent = nullptr);
    QString name() const { return m_name; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_name;
    qreal m_px;
    std::function<QColor()> m_color;
};

// A titled card: symbol and title (14 semibold) above the content, 12 apart; padding 14;
// radius 16, card background, hairline border, no shadow.
class SettingsCard : public QWidget {
    Q_OBJECT
public:
    SettingsCard(const QString& title, const QString& systemImage, QWidget* content, QWidget* parent = nullptr);
    QString title() const { return m_title; }
    QWidget* content() const { return m_content; }

    static constexpr int padding = 14;
    static constexpr qreal radius = 16;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_title;
    QWidget* m_content;
};

// A label (13 semibold) on the left, a control on the right.
class SettingRow : public QWidget {
    Q_OBJECT
public:
    SettingRow(const QString& label, QWidget* right, QWidget* parent = nullptr);
};

// A caption (12 semibold, secondary) above a line edit; takes all the width offered.
class SettingTextField : public QWidget {
    Q_OBJECT
public:
    SettingTextField(const QString& label, const QString& placeholder, QWidget* parent = nullptr);
    QLineEdit* lineEdit() const { return m_edit; }

private:
    QLineEdit* m_edit;
};

// One segment of a segmented picker.
class SegmentButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit SegmentButton(const QString& text, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
};

// A segmented control: one checked segment at a time, on a rounded track. Screen readers see the
// segments as radio buttons; choosing one through them counts as a click.
class SegmentedPicker : public QWidget {
    Q_OBJECT
public:
    SegmentedPicker(const QStringList& labels, QWidget* parent = nullptr);
    int currentIndex() const;
    // Checks a segment without emitting `activated`.
    void setCurrentIndex(int index);
    QAbstractButton* segment(int index) const;

signals:
    // A person chose the segment at `index` (also when it was already checked), by a click, the
    // keyboard or assistive technology.
    void activated(int index);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QButtonGroup* m_group;
    bool m_syncing = false;
    int m_toggledByClick = -1;
};

// A hairline in the separator colour at half opacity.
class Divider : public QWidget {
    Q_OBJECT
public:
    explicit Divider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

// Takes the current appearance's colours in `root` and everything under it.
void restyleTree(QWidget* root);

} // namespace settingsui
