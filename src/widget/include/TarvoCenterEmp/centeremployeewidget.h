#pragma once

#include <TarvoCenterEmp/tarvocenteremp_export.h>

#include <QMetaType>
#include <QString>
#include <QWidget>
#include <memory>

/// \class CenterEmployeeWidget
/// \brief The centre-employee control as an ordinary Qt widget.
///
/// An operator decides with it which employees belong to one centre: the left list holds the
/// active employees not assigned to the centre, the right list the assigned ones; the move
/// buttons, double-click, the "Remove" popup, the find panel and column sorting work as in the
/// control a host loads through the component runtime. "Commit to Database" (or commit()) posts
/// the operator's moves to the server page as SQL statements and reloads both lists from the
/// server's feed.
///
/// Nothing the widget does blocks the thread it lives on, except saveToDatabase(), which keeps
/// the meaning it has for hosts of the control: loads and commits run while the event loop
/// runs, and their outcomes arrive as signals. Setting a property starts no transfer at once:
/// the load it asks for begins when the event loop next runs, so a form's setupUi() (or
/// Designer) never waits for a server, and the program can connect to loaded() after it.
///
/// Typical use:
///
///     auto* employees = new CenterEmployeeWidget(parent);
///     employees->setMessageBoxes(false);                  // the program reports, not the widget
///     connect(employees, &CenterEmployeeWidget::loaded, ...);
///     employees->setCenterID(QStringLiteral("1"));
///     employees->setServerName(QStringLiteral("http://127.0.0.1:8080"));  // loads, once the loop runs
///
/// Every call runs on the thread that created the widget (the GUI thread). No exception leaves
/// the library: a refused call returns false and lastError() tells why.
class TARVOCENTEREMP_EXPORT CenterEmployeeWidget : public QWidget {
    Q_OBJECT
    /// The centre whose employees the lists show, as text ("42", " 42 ", "2.5" rounds to 2).
    /// Setting it loads nothing by itself: reload() (or setting serverName) does.
    Q_PROPERTY(QString centerID READ centerID WRITE setCenterID NOTIFY centerIDChanged)
    /// The server's address without the page, e.g. "http://host:8080"; setting it loads.
    Q_PROPERTY(QString serverName READ serverName WRITE setServerName NOTIFY serverNameChanged)
    /// Whether the widget tells the operator outcomes and failures in message boxes (true by
    /// default). Off, it reports them through its signals and the notice under the lists only.
    Q_PROPERTY(bool messageBoxes READ messageBoxes WRITE setMessageBoxes NOTIFY messageBoxesChanged)
    /// Milliseconds without a byte after which a load or commit fails (15000 by default).
    Q_PROPERTY(int stallTimeout READ stallTimeout WRITE setStallTimeout NOTIFY stallTimeoutChanged)
    /// Milliseconds a load or commit may take as a whole (60000 by default).
    Q_PROPERTY(int requestTimeout READ requestTimeout WRITE setRequestTimeout NOTIFY requestTimeoutChanged)
    /// True while a load or a commit runs.
    Q_PROPERTY(bool busy READ isBusy NOTIFY busyChanged)
    /// The rows of the list of employees not assigned to the centre.
    Q_PROPERTY(int nonSelectedCount READ nonSelectedCount NOTIFY countsChanged)
    /// The rows of the list of employees assigned to the centre.
    Q_PROPERTY(int selectedCount READ selectedCount NOTIFY countsChanged)

public:
    /// An error the control raised: its number (the numbering hosts of the control know: 13 type
    /// mismatch, 6 overflow, 35750 transfer failed, ...), the routine that raised it and a
    /// description for people. A number of 0 means no error.
    /// It is a registered meta type: it travels in a QVariant and in queued connections.
    struct Error {
        int number = 0;
        QString source;
        QString description;
    };

    explicit CenterEmployeeWidget(QWidget* parent = nullptr);
    ~CenterEmployeeWidget() override;

    /// The centre set last, as the stored number in text ("0" until one is set). It is the
    /// centre the lists show once isLoaded() is true; until a load of it starts they show the
    /// previous one, and a commit writes the moves to the centre they were made in.
    QString centerID() const;
    /// The server name last assigned ("" until one is set).
    QString serverName() const;
    bool messageBoxes() const;
    int stallTimeout() const;
    int requestTimeout() const;
    bool isBusy() const;
    /// True when both lists hold the feed of centerID() from serverName(): after loaded(), until
    /// the centre or the server changes or a load starts or fails.
    bool isLoaded() const;
    int nonSelectedCount() const;
    int selectedCount() const;

    /// The name and password to sign in with, for a program that asks its user itself. When the
    /// server asks for a sign-in (HTTP Basic), every later load and commit carries them; only
    /// when the server refuses them does the control ask the operator in a dialog. They stay in
    /// memory for the widget's life and are never written anywhere. A password goes over https,
    /// or over plain http only to this computer (127.0.0.0/8, ::1, localhost). False, with
    /// lastError() number 13, for a name that Basic sign-in cannot carry (one with a colon or a
    /// control character).
    bool setCredentials(const QString& user, const QString& password);

    /// The text encoded for a URL the way the control encodes the values it sends.
    QString urlEncode(const QString& text) const;

    /// True while the lists hold moves that a commit would write.
    bool hasPendingChanges() const;

    /// The error of the last call that failed, or number 0 when the last call succeeded.
    Error lastError() const;

    /// The control's design size, 8745 x 5220 twips, in pixels on this screen.
    QSize sizeHint() const override;
    /// The smallest size that shows both lists' captions, the move buttons and a few rows;
    /// below the design size the control scrolls.
    QSize minimumSizeHint() const override;

public slots:
    /// Takes text that reads as a 32-bit number (rounded half to even); anything else is
    /// refused: false, the previous centre kept, lastError() number 13 (type mismatch, e.g.
    /// "abc" or "") or 6 (overflow, e.g. "2147483648"). Nothing is loaded, but a load under way
    /// starts again for the new centre.
    bool setCenterID(const QString& centerID);
    /// Stores the server name and loads the centre's employees from
    /// SERVER/CenterEmployee.asp?centerID=N, replacing both lists, once the event loop runs.
    /// The outcome arrives as loaded() or loadFailed(); a failed load keeps the name for the
    /// next one. False only when the control raised an error (see lastError()).
    bool setServerName(const QString& serverName);
    void setMessageBoxes(bool on);
    /// Refuse a value below 1 (false, lastError() number 6); the next transfer uses them.
    bool setStallTimeout(int milliseconds);
    bool setRequestTimeout(int milliseconds);

    /// Loads the centre's employees again, dropping the moves not yet committed. A load under
    /// way starts again; while a commit runs, the load waits for its end.
    void reload();
    /// What "Commit to Database" does, without waiting: posts the moves, then reloads. Once the
    /// reload has ended come pendingChanged(0, 0) (when moves were pending), then committed();
    /// or commitFailed() with the moves kept. While a load or another commit runs, nothing is
    /// posted: commitFailed() says so.
    void commit();
    /// Drops the moves not yet committed by loading the centre again; the same as reload().
    void revert();

    /// Posts the operator's moves to SERVER/CenterEmployee.asp as one batch of SQL statements
    /// and waits for the answer in a loop of its own (the window stays alive). The outcome
    /// arrives as committed() (an empty reply when there was nothing to write) or commitFailed()
    /// before this returns. Unlike commit(), it does not reload the lists: what it saved stays
    /// marked as pending, hasPendingChanges() stays true, and a second call posts the same
    /// statements again, until reload(). False only when the control raised an error.
    bool saveToDatabase();

signals:
    /// Both lists hold the centre's feed: the number of employees in each.
    void loaded(int nonSelected, int selected);
    /// The lists do not hold the centre's employees; reason says why.
    void loadFailed(const QString& reason);
    /// What a commit would now write changed: rows to assign and rows to remove. It comes when
    /// these numbers change, after a move or a load (not after a load that leaves them at 0, 0).
    void pendingChanged(int toAdd, int toRemove);
    /// The server took the batch; reply is the server's text ("Saved: N assigned, M removed.").
    void committed(const QString& reply);
    /// Nothing was saved; the operator's moves stay for another try.
    void commitFailed(const QString& reason);
    /// A load or commit started (true) or everything ended (false).
    void busyChanged(bool busy);
    /// The number of rows in each list changed (a load or a move).
    void countsChanged(int nonSelected, int selected);
    void centerIDChanged(const QString& centerID);
    void serverNameChanged(const QString& serverName);
    void messageBoxesChanged(bool on);
    void stallTimeoutChanged(int milliseconds);
    void requestTimeoutChanged(int milliseconds);

private:
    struct Private;
    std::unique_ptr<Private> d_;
};

Q_DECLARE_METATYPE(CenterEmployeeWidget::Error)
