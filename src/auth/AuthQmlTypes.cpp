#include "auth/AuthQmlTypes.h"

#include "auth/AuthManager.h"

#include <QQmlEngine>

void registerAuthQmlTypes()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    qmlRegisterSingletonInstance("Vocarta.Models", 1, 0, "AuthManager", &AuthManager::shared());
}
