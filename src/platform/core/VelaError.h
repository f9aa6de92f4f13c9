#pragma once

#include <QString>

#include <exception>

// The raised error of our code: carries a message for the default error display.
class VelaError : public std::exception {
public:
    explicit VelaError(QString message);
    const QString& Message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A text that does not convert to the number asked for.
class EConvertError : public VelaError {
public:
    using VelaError::VelaError;
};

// A file or folder that cannot be read or written.
class EFileError : public VelaError {
public:
    using VelaError::VelaError;
};
