#include "static_texts.h"

#include <QPainter>
#include <QRect>

namespace ui::detail {

const QStaticText &StaticTexts::laidOut(const QString &text, const QFont &font) {
    if (font != font_) {
        texts_.clear();
        font_ = font;
    }
    auto it = texts_.find(text);
    if (it == texts_.end()) {
        if (texts_.size() > 4096)
            texts_.clear();
        QStaticText st(text);
        st.setTextFormat(Qt::PlainText);
        st.prepare(QTransform(), font);
        it = texts_.insert(text, st);
    }
    return it.value();
}

bool StaticTexts::draw(QPainter *painter, const QRect &area, Qt::Alignment a, const QString &text) {
    for (QChar c : text)
        if (c == '\n' || c == '\t' || c == '&' || c == QChar::LineSeparator)
            return false; // lines, tabs and mnemonics are drawText's
    const QStaticText &st = laidOut(text, painter->font());
    const QSizeF size = st.size();
    if (size.width() > area.width())
        return false;
    qreal x = area.left();
    if (a & Qt::AlignRight)
        x = area.right() + 1 - size.width();
    else if (a & Qt::AlignHCenter)
        x = area.left() + (area.width() - size.width()) / 2;
    qreal y = area.top() + (area.height() - size.height()) / 2;
    if (a & Qt::AlignTop)
        y = area.top();
    else if (a & Qt::AlignBottom)
        y = area.bottom() + 1 - size.height();
    painter->drawStaticText(QPointF(x, y), st);
    return true;
}

} // namespace ui::detail
