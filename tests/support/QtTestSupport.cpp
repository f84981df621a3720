#include <gtest/gtest.h>

#include <QString>

#include "tests/support/QtWarnings.h"

namespace {

void failOnWarning(QtMsgType type, const QMessageLogContext&, const QString& text) {
    // The offscreen platform says this whenever a dialog opens; it tells nothing of the program.
    if (type == QtDebugMsg || type == QtInfoMsg ||
        text == QLatin1String("This plugin does not support propagateSizeHints()"))
        return;
    ADD_FAILURE() << "Qt: " << text.toStdString();
}

}  // namespace

void failTestsOnQtWarnings() {
    qInstallMessageHandler(failOnWarning);
}
