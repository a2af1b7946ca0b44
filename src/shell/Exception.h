#pragma once

#include <QString>
#include <exception>

// Every failure of the program is an Exception carrying the message the user
// will read. Handlers never catch them; the application error report does.
class Exception : public std::exception {
public:
    explicit Exception(QString message) : message_(std::move(message)) {}
    const QString& message() const noexcept { return message_; }
    const char* what() const noexcept override;

private:
    QString message_;
    mutable QByteArray utf8_;
};

// The silent kind: dropped by the error report without a word.
class EAbort : public Exception {
public:
    EAbort() : Exception(QStringLiteral("Operation aborted")) {}
};
