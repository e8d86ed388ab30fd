#pragma once

#include <QByteArray>
#include <QString>

// Fetches the employee feed: a GET that returns only when the whole body has arrived. It blocks
// the thread for its whole length and runs no event meanwhile. Raises a runtime error that says,
// for the operator, why nothing came back.
class FeedSource {
public:
    virtual ~FeedSource() = default;
    virtual QByteArray get(const QString& address) = 0;
};
