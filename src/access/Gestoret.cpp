#include "access/Gestoret.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>

TgestoreAlternativoTastiera::TgestoreAlternativoTastiera(QCoreApplication* app,
                                                         KeyFunction function, QObject* keyTarget)
    : application(app), keyFunction(std::move(function)), target(keyTarget)
{
    if (application)
        application->installEventFilter(this);
}

TgestoreAlternativoTastiera::~TgestoreAlternativoTastiera()
{
    if (application)
        application->removeEventFilter(this);
}

bool TgestoreAlternativoTastiera::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!enabled || key->modifiers().testFlag(Qt::AltModifier))
            return false;
        if (!delivery.firstSight(watched, key))
            return false; // the same press handed on: the key function has answered already
        if (blockKeys)
            return true;
        if (!keyFunction || !target)
            return false;
        const KeyFunction function = keyFunction; // the key function may replace or end this handler
        return function(target, key->key());
    }
    case QEvent::KeyRelease:
        delivery.forget();
        return false;
    case QEvent::ShortcutOverride:
        delivery.forget();
        // While keys are swallowed, no shortcut may act on them either.
        if (enabled && blockKeys
            && !static_cast<QKeyEvent*>(event)->modifiers().testFlag(Qt::AltModifier)) {
            event->accept();
            return true;
        }
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return blockMouse && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    default:
        return false;
    }
}
