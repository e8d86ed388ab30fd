#pragma once

// What the load generator measures: each run prints one line of what the clients saw.

#include "server/loadtest/fixtures.h"

#include <QByteArray>

#include <vector>

namespace centeremp::loadtest {

// Form fields as the control posts them, each ending in '&'.
QByteArray insertField(qint32 centre, qint32 employee);
QByteArray deleteField(qint32 centre, qint32 first, qint32 count);  // the IDs first .. first + count - 1

// Operators 0 .. operators - 1 sign in on every server, however long their password checks take
// (each is made to cost tens of milliseconds of a processor).
void signInAll(const std::vector<quint16>& ports, int operators);
// That many operators for that many seconds, spread round robin over the servers' ports; over
// TLS, trusting that authority's certificate, when one is given (a balancer in front).
void runLevel(const std::vector<quint16>& ports, int operators, int seconds, bool report = true,
              const QByteArray& tlsAuthority = {});
// Idle keep-alive hosts and slow senders, and how a new operator fares among them.
void runCrowd(quint16 port, int idleHosts, int slowSenders);
// The largest batch, alone or (probing) with small requests from other operators while it runs.
void runLargeBatch(quint16 port, const char* label, const QByteArray& body, bool probing);
// Attacks on loopback, each for that many seconds with an honest operator meanwhile: what the
// operator saw and the server's memory.
void runAttacks(const ServerInstance& server, int seconds);
// On a database with the largest feed, as centre 1: how fast it is served to that many readers,
// and readers of it that read nothing.
void runFeedReaders(quint16 port, int readers, int seconds);
void runSlowReaders(const ServerInstance& server, int seconds);
// Bodies just under the body limit built to cost the most to decode, and the server's memory.
void runHostileBodies(const ServerInstance& server);

}  // namespace centeremp::loadtest
