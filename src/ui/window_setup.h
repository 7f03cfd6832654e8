#pragma once

#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>
#include <functional>
#include <initializer_list>
#include <string>

#include "frame/dialogs.h"

class QComboBox;
class QAbstractButton;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace quorvel::ui {

// Layout units of the windows: 1440 twips per inch, 96 dpi, so 15 twips
// make one device-independent pixel (Qt scales by the device pixel ratio).
inline constexpr int kTwipsPerPixel = 15;
int twips(int value);
QRect twipsRect(int left, int top, int width, int height);
QSize twipsSize(int width, int height);

// Point sizes used throughout the windows.
inline constexpr double kButtonPointSize = 11.25;
inline constexpr double kTextPointSize = 9.0;
QFont arialFont(double pointSize, bool bold);

// std::string <-> QString, always UTF-8 on our side.
inline QString qs(const std::string& text) {
    return QString::fromStdString(text);
}
inline std::string ss(const QString& text) {
    return text.toStdString();
}

// Background of the window and of its option buttons, check boxes, frames
// and labels = the system colour of button faces; other controls keep theirs.
void ApplySystemColors(QWidget* window);

// The icon every window of the program shows.
QIcon applicationIcon();

// The hand pointer: the cursor file next to the program when the
// application installed one, else the toolkit's pointing hand.
void setHandCursor(const QCursor& cursor);
QCursor handCursor();

// The pointer is a property of the window, not of the control: it is put on
// the window and on every control in it, so that the hourglass shows over
// text boxes and lists too.  Pointer::Default gives every control back its
// own shape (the text cursor in text boxes).
void setWindowPointer(QWidget* window, frame::Pointer pointer);
frame::Pointer windowPointer(const QWidget* window);

// The hover rule: moving the mouse over one of handControls gives the
// window the hand pointer, over one of defaultControls (window background,
// frames, lists, text boxes) the default pointer; neither replaces the
// hourglass.  Controls in neither group (labels) leave the pointer alone.
void installHoverRule(QWidget* window, std::initializer_list<QWidget*> handControls,
                      std::initializer_list<QWidget*> defaultControls);
void installHoverRule(QWidget* window, const QList<QWidget*>& handControls,
                      const QList<QWidget*>& defaultControls);

// What every window does while it loads: icon, system colours, caption.
void setUpWindow(QWidget* window, bool systemColors = true);

// Controls at their place in twips, named after the control (objectName),
// in the fonts of the windows: push buttons Arial 11.25 pt bold, the others
// Arial 9 pt bold.
QPushButton* addButton(QWidget* parent, const char* name, const QString& caption,
                       const QRect& rect);
QGroupBox* addFrame(QWidget* parent, const char* name, const QString& caption, const QRect& rect);
QLabel* addLabel(QWidget* parent, const char* name, const QString& caption, const QRect& rect);
QLineEdit* addTextBox(QWidget* parent, const char* name, const QRect& rect);
// A drop-down list that takes no typing, named after its label for
// assistive technology (the label is its buddy).
QComboBox* addComboBox(QWidget* parent, const char* name, QLabel* label, const QRect& rect);

// Keyboard mnemonics: an "&" put before the first `letter` of the caption,
// so that Alt+letter presses the button (or, for a label, focuses its buddy;
// for a frame, its first control).  The caption people see and the
// accessible name stay the caption itself, the letter underlined.
void setMnemonic(QAbstractButton* button, QChar letter);
void setMnemonic(QLabel* label, QChar letter, QWidget* buddy);
void setMnemonic(QGroupBox* frame, QChar letter);
// A caption as shown: mnemonic markers taken out ("&&" stays one "&").
QString withoutMnemonic(const QString& caption);

// The keys of a dialog on a window of its own: Enter presses the focused
// push button, or else the first visible and enabled button of `forward`;
// Escape presses the first visible and enabled button of `back` (none: the
// key does nothing).
void installWindowKeys(QWidget* window, std::initializer_list<QPushButton*> forward,
                       std::initializer_list<QPushButton*> back);

// Focusing the box by keyboard or mouse selects its whole text, so that
// typing replaces it.
void selectAllOnFocus(QLineEdit* box);

// Resizing: every control keeps its place at the design size; a larger
// window moves and stretches the registered controls by the given shares of
// the extra width and height.  The design size is the minimum size.
class StretchLayout {
  public:
    StretchLayout() = default;
    explicit StretchLayout(QSize designSize) : design_(designSize) {}
    void add(QWidget* control, double moveX, double moveY, double growWidth, double growHeight);
    void apply(QSize size) const;

  private:
    struct Entry {
        QWidget* control;
        QRect rect;
        double moveX, moveY, growWidth, growHeight;
    };
    QSize design_;
    QList<Entry> entries_;
};

// Forwards everything to the application's dialogs, but puts the pointer on
// the window it serves, so that the hover rule of that window sees the
// hourglass that the logic sets.  Once silenced() is true (the program is
// ending while work still runs in a handler) it shows and opens nothing:
// boxes answer OK / No and dialogs "cancelled".
class WindowDialogs : public frame::Dialogs {
  public:
    WindowDialogs(Dialogs& inner, QWidget* window, std::function<bool()> silenced = {})
        : inner_(inner), window_(window), silenced_(std::move(silenced)) {}

    frame::Answer message(const std::string& text, frame::MessageButtons buttons,
                          frame::MessageIcon icon, const std::string& caption) override {
        if (silent())
            return buttons == frame::MessageButtons::Ok ? frame::Answer::Ok : frame::Answer::No;
        return inner_.message(text, buttons, icon, caption);
    }
    std::string openFileName(const frame::FileDialogRequest& request) override {
        return silent() ? std::string() : inner_.openFileName(request);
    }
    std::string saveFileName(const frame::FileDialogRequest& request) override {
        return silent() ? std::string() : inner_.saveFileName(request);
    }
    std::string chooseFolder(const std::string& title, const std::string& startFolder) override {
        return silent() ? std::string() : inner_.chooseFolder(title, startFolder);
    }
    bool openInShell(const std::string& target) override {
        return !silent() && inner_.openInShell(target);
    }
    void setPointer(frame::Pointer pointer) override;
    frame::Pointer pointer() const override;

  private:
    bool silent() const { return silenced_ && silenced_(); }

    frame::Dialogs& inner_;
    QWidget* window_;
    std::function<bool()> silenced_;
};

}  // namespace quorvel::ui
