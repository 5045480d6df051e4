#pragma once

#include <QProxyStyle>

namespace tressel {

// The platform's style, with check boxes outlined in the text colour on dark palettes,
// where some styles draw the box's frame barely darker than the dark field it sits on
// and an unchecked box disappears (the list's check column, the dialog bar's options).
class CContrastStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;

    // Wraps the application's style once.
    static void Install();
};

} // namespace tressel
