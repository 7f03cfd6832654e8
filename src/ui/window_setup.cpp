#include "ui/window_setup.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <cmath>

#include "frame/app_info.h"

namespace quorvel::ui {
namespace {

const char* const kPointerProperty = "quorvelPointer";

QCursor& handCursorSlot() {
    static QCursor cursor(Qt::PointingHandCursor);
    return cursor;
}

// Controls of this window only: a modal child window (the option windows)
// has its own pointer.
QList<QWidget*> controlsOf(QWidget* window) {
    QList<QWidget*> result;
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (child->window() == window) result.append(child);
    }
    return result;
}

class HoverRule : public QObject {
  public:
    HoverRule(QWidget* window, QSet<QObject*> hand, QSet<QObject*> plain)
        : QObject(window), window_(window), hand_(std::move(hand)), plain_(std::move(plain)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto type = event->type();
        if (type == QEvent::MouseMove || type == QEvent::Enter || type == QEvent::HoverMove) {
            if (windowPointer(window_) != frame::Pointer::Hourglass) {
                if (hand_.contains(watched)) {
                    setWindowPointer(window_, frame::Pointer::Hand);
                } else if (plain_.contains(watched)) {
                    setWindowPointer(window_, frame::Pointer::Default);
                }
            }
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QWidget* window_;
    QSet<QObject*> hand_;
    QSet<QObject*> plain_;
};

// The widgets that receive the mouse for a control: lists receive it on
// their viewport.
QList<QWidget*> mouseTargets(QWidget* control) {
    QList<QWidget*> targets{control};
    if (auto* area = qobject_cast<QAbstractScrollArea*>(control)) targets.append(area->viewport());
    return targets;
}

}  // namespace

int twips(int value) {
    return static_cast<int>(std::lround(value / double(kTwipsPerPixel)));
}

QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

QSize twipsSize(int width, int height) {
    return QSize(twips(width), twips(height));
}

QFont arialFont(double pointSize, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    // Without Arial, fontconfig maps it to a metric-compatible sans face.
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void ApplySystemColors(QWidget* window) {
    const QColor face = window->palette().color(QPalette::Button);
    auto paint = [&](QWidget* widget) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, face);
        widget->setPalette(palette);
        widget->setAutoFillBackground(true);
    };
    paint(window);
    for (QWidget* child : controlsOf(window)) {
        if (qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child) ||
            qobject_cast<QCheckBox*>(child) || qobject_cast<QRadioButton*>(child)) {
            paint(child);
        }
    }
}

QIcon applicationIcon() {
    // Two overlapping tables with a mark between them; drawn rather than
    // loaded so that every build has it.
    static const QIcon icon = [] {
        QIcon result;
        for (int size : {16, 24, 32, 48, 64, 128}) {
            QPixmap pixmap(size, size);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            const double s = size / 32.0;
            auto table = [&](double x, double y, QColor head) {
                QRectF body(x * s, y * s, 18 * s, 16 * s);
                painter.setPen(QPen(QColor(40, 40, 60), std::max(1.0, s)));
                painter.setBrush(Qt::white);
                painter.drawRect(body);
                painter.setBrush(head);
                painter.drawRect(QRectF(x * s, y * s, 18 * s, 4 * s));
                for (int row = 1; row < 3; ++row) {
                    const double ly = (y + 4 + row * 4) * s;
                    painter.drawLine(QPointF(x * s, ly), QPointF((x + 18) * s, ly));
                }
            };
            table(2, 3, QColor(48, 96, 176));
            table(12, 13, QColor(208, 96, 32));
            result.addPixmap(pixmap);
        }
        return result;
    }();
    return icon;
}

void setHandCursor(const QCursor& cursor) {
    handCursorSlot() = cursor;
}

QCursor handCursor() {
    return handCursorSlot();
}

void setWindowPointer(QWidget* window, frame::Pointer pointer) {
    if (window == nullptr) return;
    window->setProperty(kPointerProperty, static_cast<int>(pointer));
    const QList<QWidget*> controls = controlsOf(window);
    switch (pointer) {
        case frame::Pointer::Hourglass:
        case frame::Pointer::Hand: {
            const QCursor cursor =
                pointer == frame::Pointer::Hourglass ? QCursor(Qt::WaitCursor) : handCursor();
            window->setCursor(cursor);
            for (QWidget* control : controls) control->setCursor(cursor);
            break;
        }
        case frame::Pointer::Default:
            window->unsetCursor();
            for (QWidget* control : controls) {
                if (qobject_cast<QLineEdit*>(control)) {
                    control->setCursor(Qt::IBeamCursor);
                } else {
                    control->unsetCursor();
                }
            }
            break;
    }
}

frame::Pointer windowPointer(const QWidget* window) {
    if (window == nullptr) return frame::Pointer::Default;
    const QVariant value = window->property(kPointerProperty);
    return value.isValid() ? static_cast<frame::Pointer>(value.toInt()) : frame::Pointer::Default;
}

void installHoverRule(QWidget* window, std::initializer_list<QWidget*> handControls,
                      std::initializer_list<QWidget*> defaultControls) {
    installHoverRule(window, QList<QWidget*>(handControls), QList<QWidget*>(defaultControls));
}

void installHoverRule(QWidget* window, const QList<QWidget*>& handControls,
                      const QList<QWidget*>& defaultControls) {
    QSet<QObject*> hand;
    QSet<QObject*> plain;
    for (QWidget* control : handControls) {
        for (QWidget* target : mouseTargets(control)) hand.insert(target);
    }
    for (QWidget* control : defaultControls) {
        for (QWidget* target : mouseTargets(control)) plain.insert(target);
    }
    auto* rule = new HoverRule(window, hand, plain);
    for (const QSet<QObject*>& group : {hand, plain}) {
        for (QObject* object : group) {
            static_cast<QWidget*>(object)->setMouseTracking(true);
            object->installEventFilter(rule);
        }
    }
}

void setUpWindow(QWidget* window, bool systemColors) {
    window->setWindowIcon(applicationIcon());
    window->setWindowTitle(QString::fromUtf8(frame::kProductTitle));
    if (systemColors) ApplySystemColors(window);
}

QPushButton* addButton(QWidget* parent, const char* name, const QString& caption,
                       const QRect& rect) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(arialFont(kButtonPointSize, true));
    button->setGeometry(rect);
    button->setAutoDefault(false);
    button->setAccessibleName(caption);
    return button;
}

QGroupBox* addFrame(QWidget* parent, const char* name, const QString& caption, const QRect& rect) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFont(arialFont(kTextPointSize, true));
    frame->setGeometry(rect);
    return frame;
}

QLabel* addLabel(QWidget* parent, const char* name, const QString& caption, const QRect& rect) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(arialFont(kTextPointSize, true));
    label->setGeometry(rect);
    label->setAccessibleName(caption);
    return label;
}

QLineEdit* addTextBox(QWidget* parent, const char* name, const QRect& rect) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setFont(arialFont(kTextPointSize, true));
    box->setGeometry(rect);
    return box;
}

QComboBox* addComboBox(QWidget* parent, const char* name, QLabel* label, const QRect& rect) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setFont(arialFont(kTextPointSize, true));
    box->setGeometry(rect);
    box->setEditable(false);
    box->setAccessibleName(label->text());
    label->setBuddy(box);
    return box;
}

QString withoutMnemonic(const QString& caption) {
    QString plain;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) ++i;
        plain += caption[i];
    }
    return plain;
}

namespace {

// The caption with "&" before the first `letter`; the caption unchanged
// when it has no such letter.
QString marked(const QString& caption, QChar letter) {
    const qsizetype at = caption.indexOf(letter);
    if (at < 0) return caption;
    return caption.left(at) + QLatin1Char('&') + caption.mid(at);
}

}  // namespace

void setMnemonic(QAbstractButton* button, QChar letter) {
    button->setAccessibleName(withoutMnemonic(button->text()));
    button->setText(marked(button->text(), letter));
}

void setMnemonic(QLabel* label, QChar letter, QWidget* buddy) {
    label->setAccessibleName(withoutMnemonic(label->text()));
    label->setText(marked(label->text(), letter));
    label->setBuddy(buddy);
}

void setMnemonic(QGroupBox* frame, QChar letter) {
    frame->setAccessibleName(withoutMnemonic(frame->title()));
    frame->setTitle(marked(frame->title(), letter));
}

namespace {

class WindowKeys : public QObject {
  public:
    WindowKeys(QWidget* window, QList<QPointer<QPushButton>> forward,
               QList<QPointer<QPushButton>> back)
        : QObject(window), window_(window), forward_(std::move(forward)), back_(std::move(back)) {}

  protected:
    // Sees the keys that no control of the window took for itself.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window_ || event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
        QPushButton* target = nullptr;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
            target = focused != nullptr && focused->window() == window_ ? focused
                                                                        : firstUsable(forward_);
        } else if (key->key() == Qt::Key_Escape) {
            target = firstUsable(back_);
        } else {
            return false;
        }
        if (target != nullptr) target->click();
        return true;
    }

  private:
    static QPushButton* firstUsable(const QList<QPointer<QPushButton>>& buttons) {
        for (const auto& button : buttons)
            if (button && button->isVisible() && button->isEnabled()) return button;
        return nullptr;
    }

    QWidget* window_;
    QList<QPointer<QPushButton>> forward_;
    QList<QPointer<QPushButton>> back_;
};

}  // namespace

void installWindowKeys(QWidget* window, std::initializer_list<QPushButton*> forward,
                       std::initializer_list<QPushButton*> back) {
    QList<QPointer<QPushButton>> forwardList, backList;
    for (QPushButton* button : forward) forwardList.append(button);
    for (QPushButton* button : back) backList.append(button);
    window->installEventFilter(new WindowKeys(window, forwardList, backList));
}

namespace {

class SelectAllOnFocus : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            auto* box = static_cast<QLineEdit*>(watched);
            // After the event: a mouse press would otherwise place the caret
            // and drop the selection.
            QTimer::singleShot(
                0, box, [box] { box->setSelection(0, static_cast<int>(box->text().size())); });
            box->setSelection(0, static_cast<int>(box->text().size()));
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void selectAllOnFocus(QLineEdit* box) {
    box->installEventFilter(new SelectAllOnFocus(box));
}

void StretchLayout::add(QWidget* control, double moveX, double moveY, double growWidth,
                        double growHeight) {
    entries_.append({control, control->geometry(), moveX, moveY, growWidth, growHeight});
}

void StretchLayout::apply(QSize size) const {
    const int dx = std::max(0, size.width() - design_.width());
    const int dy = std::max(0, size.height() - design_.height());
    for (const Entry& entry : entries_) {
        QRect rect = entry.rect;
        rect.translate(static_cast<int>(dx * entry.moveX), static_cast<int>(dy * entry.moveY));
        rect.setWidth(entry.rect.width() + static_cast<int>(dx * entry.growWidth));
        rect.setHeight(entry.rect.height() + static_cast<int>(dy * entry.growHeight));
        entry.control->setGeometry(rect);
    }
}

void WindowDialogs::setPointer(frame::Pointer pointer) {
    setWindowPointer(window_, pointer);
    inner_.setPointer(pointer);
}

frame::Pointer WindowDialogs::pointer() const {
    return windowPointer(window_);
}

}  // namespace quorvel::ui
