#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace centeremp::server {

// Passwords are kept only as Argon2id hashes in libsodium's string form, which carries its own
// salt and cost: a stolen table gives no password back, and a hash made with today's cost still
// verifies after the cost is raised.
QByteArray hashPassword(QByteArrayView password);

// True when password is the one the hash was made from. Takes as long whatever it is given, and
// as long for a malformed hash as for a real one, so timing tells nothing.
bool verifyPassword(QByteArrayView hash, QByteArrayView password);

}  // namespace centeremp::server
