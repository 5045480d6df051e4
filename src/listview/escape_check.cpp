#include "escape_check.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>

namespace tressel {

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

CEscapeCheck::CEscapeCheck(QObject* parent) : QObject(parent) {}

CEscapeCheck::~CEscapeCheck() {
    if (m_depth > 0 && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void CEscapeCheck::begin() {
    if (m_depth++ == 0) {
        m_escape = false;
        if (QCoreApplication::instance())
            QCoreApplication::instance()->installEventFilter(this);
    }
}

void CEscapeCheck::end() {
    if (m_depth == 0 || --m_depth > 0)
        return;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    emit ended();
}

bool CEscapeCheck::cancelRequested() {
    if (m_depth > 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return m_escape;
}

bool CEscapeCheck::eventFilter(QObject* watched, QEvent* event) {
    if (!IsUserInput(event->type()))
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        m_escape = true;
    return true;
}

} // namespace tressel
