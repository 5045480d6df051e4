#include "contrast_style.h"

#include <QApplication>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

namespace tressel {

namespace {

bool IsDark(const QPalette& palette) {
    return palette.color(QPalette::Base).lightness() < 128;
}

} // namespace

void CContrastStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                   QPainter* painter, const QWidget* widget) const {
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    if (element != PE_IndicatorCheckBox || !option || !IsDark(option->palette))
        return;
    QColor outline = option->palette.color(QPalette::Text);
    outline.setAlphaF(option->state & State_Enabled ? 0.7f : 0.35f);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(outline);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option->rect.adjusted(1, 1, -2, -2));
    painter->restore();
}

void CContrastStyle::Install() {
    if (dynamic_cast<CContrastStyle*>(QApplication::style()))
        return;
    QApplication::setStyle(
        new CContrastStyle(QStyleFactory::create(QApplication::style()->name())));
}

} // namespace tressel
