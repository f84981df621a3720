#include "app/ErrorReporter.h"

#include <QMessageBox>
#include <QString>

void showErrorBox(const std::string& message) {
    QMessageBox::critical(nullptr, QStringLiteral("Error"),
                          QString::fromLatin1(message.data(), qsizetype(message.size())),
                          QMessageBox::Ok, QMessageBox::NoButton);
}
