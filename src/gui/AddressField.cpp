#include "gui/AddressField.h"

#include <QFocusEvent>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>
#include <string_view>

namespace lexicorn::gui {
namespace {

constexpr int kDigits = 8;
constexpr std::string_view kHexDigits = "0123456789ABCDEF";

}  // namespace

AddressField::AddressField(QWidget* parent) : QLineEdit(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize AddressField::sizeHint() const {
    // As QLineEdit measures itself, for eight of the font's widest digits instead of 17 x's: the
    // text's margins, the field's own two-pixel margin on each side and the cursor.
    int digit = 0;
    for (const char hex : kHexDigits)
        digit = std::max(digit, fontMetrics().horizontalAdvance(QLatin1Char(hex)));
    const QMargins text = textMargins();
    constexpr int kInnerMargin = 2;
    constexpr int kCursor = 1;
    const QSize contents(kDigits * digit + 2 * kInnerMargin + kCursor + text.left() + text.right(),
                         QLineEdit::sizeHint().height());
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QSize framed = style()->sizeFromContents(QStyle::CT_LineEdit, &option, contents, this);
    return {framed.width(), QLineEdit::sizeHint().height()};
}

QSize AddressField::minimumSizeHint() const { return sizeHint(); }

void AddressField::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    selectOnPress_ = event->reason() == Qt::MouseFocusReason;
}

void AddressField::mousePressEvent(QMouseEvent* event) {
    QLineEdit::mousePressEvent(event);  // places the cursor where the click was
    if (selectOnPress_) selectAll();
    selectOnPress_ = false;
}

}  // namespace lexicorn::gui
