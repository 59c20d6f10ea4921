#pragma once

#include <QLineEdit>

namespace lexicorn::gui {

/// A field for an address of eight hexadecimal digits: as wide as the widest eight digits need in
/// its font, at every scale, and a click into it selects the whole address, so that typing replaces
/// the address rather than inserting digits into it.
class AddressField : public QLineEdit {
    Q_OBJECT
  public:
    explicit AddressField(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    bool selectOnPress_ = false;  ///< the field took the focus from this click
};

}  // namespace lexicorn::gui
