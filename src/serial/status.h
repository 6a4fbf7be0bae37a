#pragma once

#include <QString>

// A stored or typed value quoted in a message: at most 80 characters of it,
// so a huge value cannot make a huge box.
inline QString elided(const QString& value)
{
    constexpr int Shown = 80;
    return value.size() <= Shown ? value : value.left(Shown) + QStringLiteral("...");
}

// Outcome of one operation on the port or the store: success, or a failure
// with a description meant for the operator.
class [[nodiscard]] Status
{
public:
    static Status ok() { return Status(); }
    static Status failure(const QString& description)
    {
        Status s;
        s.m_failed = true;
        s.m_description = description;
        return s;
    }

    bool isOk() const { return !m_failed; }
    bool failed() const { return m_failed; }
    const QString& description() const { return m_description; }

private:
    bool m_failed = false;
    QString m_description;
};

// A sequence of steps that goes on after a step fails keeps only the most
// recent failure; explicit checks between the steps report it.
class PendingError
{
public:
    void note(const Status& status)
    {
        if (status.failed()) {
            m_pending = true;
            m_description = status.description();
        }
    }
    bool isPending() const { return m_pending; }
    const QString& description() const { return m_description; }
    void clear()
    {
        m_pending = false;
        m_description.clear();
    }

private:
    bool m_pending = false;
    QString m_description;
};
