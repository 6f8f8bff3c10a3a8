// Sessions of the reader portal and the throttling of its login.
//
// A session is named by a random token of 128 bits from the operating system's generator;
// it carries the reader's number and a CSRF token of its own, and ends at logout or after
// an idle time. Login failures are counted per key (a reader number, a client address):
// kMaxFailures within kLockSeconds lock that key for kLockSeconds. Both tables are bounded
// and forget what has expired. Times come from Clock::now(), so tests can move them.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <optional>

struct WebSession
{
    QString readerNumber;
    QByteArray csrfToken;
    QDateTime lastSeen;
};

class SessionStore
{
public:
    static constexpr int kDefaultIdleSeconds = 30 * 60;
    static constexpr int kMaxSessions = 100000;

    void setIdleSeconds(int seconds) { idleSeconds_ = seconds; }
    int idleSeconds() const { return idleSeconds_; }

    // A new session for the reader; returns its token.
    QByteArray create(const QString& readerNumber);
    // The live session of the token (its idle time starts again), or nullopt when there is
    // none or it has been idle too long (it is then ended).
    std::optional<WebSession> touch(const QByteArray& token);
    void end(const QByteArray& token);
    // Ends every session of the reader but the one named keep (after a password change).
    void endOthers(const QString& readerNumber, const QByteArray& keep);
    int size() const { return static_cast<int>(sessions_.size()); }

    // 16 random bytes from the system's generator, as 32 hexadecimal digits.
    static QByteArray randomToken();

private:
    void dropExpired();
    bool expired(const WebSession& s, const QDateTime& now) const;

    QHash<QByteArray, WebSession> sessions_;
    int idleSeconds_ = kDefaultIdleSeconds;
};

class LoginThrottle
{
public:
    static constexpr int kMaxFailures = 5;
    static constexpr int kLockSeconds = 15 * 60;
    static constexpr int kMaxKeys = 100000;

    // Whether the key is locked now.
    bool locked(const QString& key) const;
    // Counts a failure; the kMaxFailures-th within kLockSeconds locks the key.
    void failed(const QString& key);
    // A success clears the key's failures.
    void succeeded(const QString& key) { entries_.remove(key); }

private:
    struct Entry
    {
        int failures = 0;
        QDateTime firstFailure;
        QDateTime lockedUntil;
    };
    void dropExpired(const QDateTime& now);

    QHash<QString, Entry> entries_;
};
