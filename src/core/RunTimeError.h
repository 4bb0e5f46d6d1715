#pragma once

#include <QString>
#include <stdexcept>

// A failure raised by one of our layers (a control refusing a value, a conversion, a file
// operation). It carries the description shown to the user, used as it comes: untrimmed and
// possibly empty.
class RunTimeError : public std::runtime_error {
public:
    explicit RunTimeError(const QString& description)
        : std::runtime_error(description.toStdString()), m_description(description)
    {}
    const QString& description() const { return m_description; }

private:
    QString m_description;
};
