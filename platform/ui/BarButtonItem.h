#pragma once

#include <QIcon>
#include <QObject>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

class QPainter;

// One button of the navigation bar: a titled button, a system button (Done,
// Cancel, Edit, Save, Add, the light info button) or a custom button whose
// face an icon or a painter callback draws. The bar shows it; a tap emits
// clicked().
class BarButtonItem : public QObject {
    Q_OBJECT
public:
    enum class Style {
        Plain,     // a bordered button of the bar's own tint
        Bordered,  // the same; kept apart for callers that name it
        Done       // the blue button that confirms
    };
    enum class SystemItem { Done, Cancel, Edit, Save, Add, InfoLight };
    // Draws a custom face into rect; highlighted while pressed.
    using Painter = std::function<void(QPainter& painter, const QRectF& rect, bool highlighted)>;

    BarButtonItem(const QString& title, Style style, QObject* parent = nullptr);
    explicit BarButtonItem(SystemItem item, QObject* parent = nullptr);
    // A custom button of the given size showing the icon, with a glow while
    // pressed.
    BarButtonItem(const QIcon& icon, QSize size, QObject* parent = nullptr);
    BarButtonItem(Painter painter, QSize size, QObject* parent = nullptr);

    QString title() const { return title_; }
    void setTitle(const QString& title);
    Style style() const { return style_; }
    bool isSystemItem() const { return systemItem_.has_value(); }
    SystemItem systemItem() const { return systemItem_.value_or(SystemItem::Done); }
    bool isCustom() const { return bool(painter_); }
    QSize customSize() const { return customSize_; }
    const Painter& customPainter() const { return painter_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    // What a screen reader calls the button: the title unless set, which a
    // button showing only a picture needs ("Preferences" for a gear).
    QString accessibleName() const;
    void setAccessibleName(const QString& name);

    // What a tap does: emits clicked(). Tests and keyboard shortcuts use it.
    void trigger();

signals:
    void clicked();
    // The title or the enabled state changed: the bar redraws the button.
    void changed();

private:
    static QString systemTitle(SystemItem item);
    static Painter infoPainter();

    QString title_;
    Style style_ = Style::Plain;
    std::optional<SystemItem> systemItem_;
    Painter painter_;
    QSize customSize_;
    bool enabled_ = true;
    QString accessibleName_;
};
