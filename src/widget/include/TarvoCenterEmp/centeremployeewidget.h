#pragma once

#include <TarvoCenterEmp/tarvocenteremp_export.h>

#include <QString>
#include <QWidget>
#include <memory>

// CenterEmployeeWidget: the centre-employee control as an ordinary Qt widget.
//
// An operator decides with it which employees belong to one centre: the left list holds the
// active employees not assigned to the centre, the right list the assigned ones; the move
// buttons, double-click, the "Remove" popup, the find panel and column sorting work as in the
// control a host loads through the component runtime. "Commit to Database" (or
// saveToDatabase()) posts the operator's moves to the server page as SQL statements and reloads
// both lists from the server's feed.
//
// Typical use:
//
//     auto* employees = new CenterEmployeeWidget(parent);
//     connect(employees, &CenterEmployeeWidget::loaded, ...);
//     if (!employees->setCenterID(QStringLiteral("1")))       // the centre first,
//         qWarning() << employees->lastError().description;
//     employees->setServerName(QStringLiteral("http://127.0.0.1:8080"));  // then the server: loads
//
// Every call runs on the thread that created the widget (the GUI thread). No exception leaves
// the library: a refused call returns false and lastError() tells why.
class TARVOCENTEREMP_EXPORT CenterEmployeeWidget : public QWidget {
    Q_OBJECT
    // The centre whose employees the lists show, as text ("42", " 42 ", "2.5" rounds to 2).
    // Set it before serverName: a form saved by Designer assigns the properties in this order.
    Q_PROPERTY(QString centerID READ centerID WRITE setCenterID)
    // The server's address without the page, e.g. "http://host:8080"; assigning it loads.
    Q_PROPERTY(QString serverName READ serverName WRITE setServerName)

public:
    // An error the control raised: its number (the numbering hosts of the control know: 13 type
    // mismatch, 6 overflow, 35750 transfer failed, ...), the routine that raised it and a
    // description for people. A number of 0 means no error.
    struct Error {
        int number = 0;
        QString source;
        QString description;
    };

    explicit CenterEmployeeWidget(QWidget* parent = nullptr);
    ~CenterEmployeeWidget() override;

    // The centre, as the stored number in text ("0" until one is set).
    QString centerID() const;
    // Takes text that reads as a 32-bit number (rounded half to even); anything else is refused:
    // false, the previous centre kept, lastError() number 13 (type mismatch, e.g. "abc" or "")
    // or 6 (overflow, e.g. "2147483648"). Nothing is loaded.
    bool setCenterID(const QString& centerID);

    // The server name last assigned ("" until one is set).
    QString serverName() const;
    // Stores the server name and loads the centre's employees from
    // SERVER/CenterEmployee.asp?centerID=N, replacing both lists. A load that fails is told by
    // loadFailed() (and to the operator on screen) and still returns true: the name is kept for
    // the next load. False only when the control raised an error (see lastError()).
    bool setServerName(const QString& serverName);

    // The name and password to sign in with, for a program that asks its user itself. When the
    // server asks for a sign-in (HTTP Basic), every later load and commit carries them; only
    // when the server refuses them does the control ask the operator in a dialog. They stay in
    // memory for the widget's life and are never written anywhere. A password goes over https,
    // or over plain http only to this computer (127.0.0.0/8, ::1, localhost). False, with
    // lastError() number 13, for a name that Basic sign-in cannot carry (one with a colon or a
    // control character).
    bool setCredentials(const QString& user, const QString& password);

    // Commits the operator's moves: posts them to SERVER/CenterEmployee.asp as one batch of SQL
    // statements. The outcome arrives as committed() (with the server's reply; an empty reply
    // when there was nothing to write) or commitFailed() before this returns. Unlike the
    // "Commit to Database" button, it does not reload the lists: call
    // setServerName(serverName()) for that. False only when the control raised an error (see
    // lastError()).
    bool saveToDatabase();

    // The text encoded for a URL the way the control encodes the values it sends.
    QString urlEncode(const QString& text);

    // True while the lists hold moves that a commit would write.
    bool hasPendingChanges() const;

    // The error of the last call that failed, or number 0 when the last call succeeded.
    Error lastError() const;

    // The control's design size, 8745 x 5220 twips, in pixels on this screen.
    QSize sizeHint() const override;

signals:
    // Both lists hold the centre's feed: the number of employees in each.
    void loaded(int nonSelected, int selected);
    // The lists do not hold the centre's employees; reason says why.
    void loadFailed(const QString& reason);
    // What a commit would now write changed: rows to assign and rows to remove.
    void pendingChanged(int toAdd, int toRemove);
    // The server took the batch; reply is the server's text ("Saved: N assigned, M removed.").
    void committed(const QString& reply);
    // Nothing was saved; the operator's moves stay for another try.
    void commitFailed(const QString& reason);

private:
    struct Private;
    std::unique_ptr<Private> d_;
};
