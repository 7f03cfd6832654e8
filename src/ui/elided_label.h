#pragma once

#include <QLabel>
#include <QString>

namespace quorvel::ui {

// A one-line label whose text is cut in the middle ("/data/…/shop.dbc")
// when the label is too narrow for it; the whole text stays its tooltip
// and its accessible name.
class ElidedLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void elide();

    QString full_;
};

}  // namespace quorvel::ui
