#include "resources/OrdavexResources.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerImages() {
    Q_INIT_RESOURCE(image);
}

static void registerTranslations() {
    Q_INIT_RESOURCE(language);
}

void initOrdavexResources() {
    static const bool registered = (registerImages(), true);
    Q_UNUSED(registered);
    static const bool translations = (registerTranslations(), true);
    Q_UNUSED(translations);
}
