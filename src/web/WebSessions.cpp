#include "WebSessions.h"

#include "data/Clock.h"

#include <QRandomGenerator>

QByteArray SessionStore::randomToken()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex();
}

bool SessionStore::expired(const WebSession& s, const QDateTime& now) const
{
    return s.lastSeen.secsTo(now) >= idleSeconds_;
}

void SessionStore::dropExpired()
{
    const QDateTime now = Clock::now();
    sessions_.removeIf([&](const auto& it) { return expired(it.value(), now); });
}

QByteArray SessionStore::create(const QString& readerNumber)
{
    if (sessions_.size() >= kMaxSessions)
        dropExpired();
    // Still full of live sessions: the one idle longest makes room.
    if (sessions_.size() >= kMaxSessions) {
        auto oldest = sessions_.begin();
        for (auto it = sessions_.begin(); it != sessions_.end(); ++it)
            if (it->lastSeen < oldest->lastSeen)
                oldest = it;
        sessions_.erase(oldest);
    }
    QByteArray token = randomToken();
    sessions_.insert(token, WebSession{readerNumber, randomToken(), Clock::now()});
    return token;
}

std::optional<WebSession> SessionStore::touch(const QByteArray& token)
{
    auto it = sessions_.find(token);
    if (it == sessions_.end())
        return std::nullopt;
    const QDateTime now = Clock::now();
    if (expired(*it, now)) {
        sessions_.erase(it);
        return std::nullopt;
    }
    it->lastSeen = now;
    return *it;
}

void SessionStore::end(const QByteArray& token)
{
    sessions_.remove(token);
}

void SessionStore::endOthers(const QString& readerNumber, const QByteArray& keep)
{
    sessions_.removeIf([&](const auto& it) {
        return it.key() != keep && it.value().readerNumber == readerNumber;
    });
}

bool LoginThrottle::locked(const QString& key) const
{
    const auto it = entries_.constFind(key);
    return it != entries_.cend() && it->lockedUntil.isValid() && Clock::now() < it->lockedUntil;
}

void LoginThrottle::dropExpired(const QDateTime& now)
{
    entries_.removeIf([&](const auto& it) {
        const Entry& e = it.value();
        const bool lockOver = !e.lockedUntil.isValid() || e.lockedUntil <= now;
        return lockOver && e.firstFailure.secsTo(now) >= kLockSeconds;
    });
}

void LoginThrottle::failed(const QString& key)
{
    const QDateTime now = Clock::now();
    if (entries_.size() >= kMaxKeys)
        dropExpired(now);
    if (entries_.size() >= kMaxKeys && !entries_.contains(key))
        return; // a flood of keys: the per-address key of the flood still counts
    Entry& e = entries_[key];
    if (e.lockedUntil.isValid() && now < e.lockedUntil)
        return;
    if (e.failures == 0 || e.firstFailure.secsTo(now) >= kLockSeconds) {
        e.failures = 0;
        e.firstFailure = now;
        e.lockedUntil = QDateTime();
    }
    if (++e.failures >= kMaxFailures) {
        e.lockedUntil = now.addSecs(kLockSeconds);
        e.failures = 0;
    }
}
