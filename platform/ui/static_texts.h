// Texts drawn again and again (a results table's cells and row numbers at
// every frame of a run) laid out once: laying out and shaping a text costs
// more than drawing its glyphs.
#pragma once

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QString>

class QPainter;
class QRect;

namespace ui::detail {

class StaticTexts {
public:
    // Draws the text in the area as QPainter::drawText would with these
    // alignment flags (already made visual); false, drawing nothing, if it
    // does not fit there or needs more than one plain line.
    bool draw(QPainter *painter, const QRect &area, Qt::Alignment alignment, const QString &text);

private:
    const QStaticText &laidOut(const QString &text, const QFont &font);
    QHash<QString, QStaticText> texts_;
    QFont font_;
};

} // namespace ui::detail
