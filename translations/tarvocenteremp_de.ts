<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Texts</name>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Nothing was saved: these employee IDs are not valid numbers: %1</source>
        <translation>Nichts wurde gespeichert: Diese Mitarbeiternummern sind keine gültigen Zahlen: %1</translation>
    </message>
    <message>
        <source>employee IDs that are not valid numbers: %1</source>
        <translation>Mitarbeiternummern, die keine gültigen Zahlen sind: %1</translation>
    </message>
    <message>
        <source>Saving…</source>
        <translation>Wird gespeichert…</translation>
    </message>
    <message>
        <source>Error Occoured</source>
        <translation>Ein Fehler ist aufgetreten</translation>
    </message>
    <message>
        <source>The changes were not saved (%1). Your moves are kept: press Commit to Database to try again.</source>
        <translation>Die Änderungen wurden nicht gespeichert (%1). Ihre Verschiebungen bleiben erhalten: Drücken Sie „In Datenbank speichern“, um es erneut zu versuchen.</translation>
    </message>
    <message>
        <source>Error During saving to Database</source>
        <translation>Fehler beim Speichern in der Datenbank</translation>
    </message>
    <message>
        <source>Center Employee Cross Reference</source>
        <translation>Zuordnung von Mitarbeitern zum Zentrum</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>Nr.</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Version Number: %1.%2.%3</source>
        <translation>Versionsnummer: %1.%2.%3</translation>
    </message>
    <message>
        <source>it nests elements more than %1 deep</source>
        <translation>sie verschachtelt Elemente tiefer als %1 Ebenen</translation>
    </message>
    <message>
        <source>it declares more than %1 entities</source>
        <translation>sie deklariert mehr als %1 Entitäten</translation>
    </message>
    <message>
        <source>it has too many nodes</source>
        <translation>sie hat zu viele Knoten</translation>
    </message>
    <message>
        <source>its entities expand to more text than it can hold</source>
        <translation>ihre Entitäten ergeben mehr Text, als sie fassen kann</translation>
    </message>
    <message>
        <source>it uses the entity %1, whose value it does not contain</source>
        <translation>sie verwendet die Entität %1, deren Wert sie nicht enthält</translation>
    </message>
    <message>
        <source>it refers to the outside entity %1</source>
        <translation>sie verweist auf die externe Entität %1</translation>
    </message>
    <message>
        <source>the server&apos;s answer is too large to be a feed (%1 bytes)</source>
        <translation>die Antwort des Servers ist zu groß für eine Mitarbeiterliste (%1 Bytes)</translation>
    </message>
    <message>
        <source>the feed could not be read (out of memory)</source>
        <translation>die Mitarbeiterliste konnte nicht gelesen werden (kein Speicher mehr)</translation>
    </message>
    <message>
        <source>the feed could not be read (the XML reader has no entity limits)</source>
        <translation>die Mitarbeiterliste konnte nicht gelesen werden (der XML-Leser kennt keine Entitätsgrenzen)</translation>
    </message>
    <message>
        <source>line %1</source>
        <translation>Zeile %1</translation>
    </message>
    <message>
        <source>the server&apos;s answer is refused as a feed: %1 (%2)</source>
        <translation>die Antwort des Servers wird als Mitarbeiterliste abgelehnt: %1 (%2)</translation>
    </message>
    <message>
        <source>the server&apos;s answer is not a well-formed feed (%1, %2)</source>
        <translation>die Antwort des Servers ist keine wohlgeformte Mitarbeiterliste (%1, %2)</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>Nicht gefunden</translation>
    </message>
    <message>
        <source>Non Selected Active Empolyees:</source>
        <translation>Nicht zugeordnete aktive Mitarbeiter:</translation>
    </message>
    <message>
        <source>Selected Active Employees:</source>
        <translation>Zugeordnete aktive Mitarbeiter:</translation>
    </message>
    <message>
        <source> Find Employee</source>
        <translation> Mitarbeiter suchen</translation>
    </message>
    <message>
        <source>Commit to Database</source>
        <translation>In Datenbank speichern</translation>
    </message>
    <message>
        <source> List to search  </source>
        <translation> Zu durchsuchende Liste  </translation>
    </message>
    <message>
        <source>Non Selected Employees</source>
        <translation>Nicht zugeordnete Mitarbeiter</translation>
    </message>
    <message>
        <source>Selected Employees</source>
        <translation>Zugeordnete Mitarbeiter</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Version Number:</source>
        <translation>Versionsnummer:</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>%1 to add</source>
        <translation>%1 hinzuzufügen</translation>
    </message>
    <message>
        <source>%1 to remove</source>
        <translation>%1 zu entfernen</translation>
    </message>
    <message>
        <source>Non Selected Active Employees (%1):</source>
        <translation>Nicht zugeordnete aktive Mitarbeiter (%1):</translation>
    </message>
    <message>
        <source>Selected Active Employees (%1):</source>
        <translation>Zugeordnete aktive Mitarbeiter (%1):</translation>
    </message>
    <message>
        <source>The employees could not be loaded: %1.</source>
        <translation>Die Mitarbeiter konnten nicht geladen werden: %1.</translation>
    </message>
    <message>
        <source>%1 MiB</source>
        <translation>%1 MiB</translation>
    </message>
    <message>
        <source>status %1</source>
        <translation>Status %1</translation>
    </message>
    <message>
        <source>; try again in %1 seconds</source>
        <translation>; erneut versuchen in %1 Sekunden</translation>
    </message>
    <message>
        <source>; try again after %1</source>
        <translation>; erneut versuchen nach %1</translation>
    </message>
    <message>
        <source>the server stopped answering</source>
        <translation>der Server antwortet nicht mehr</translation>
    </message>
    <message>
        <source>the server&apos;s answer was cut short</source>
        <translation>die Antwort des Servers brach vorzeitig ab</translation>
    </message>
    <message>
        <source>the server closed the connection without answering</source>
        <translation>der Server schloss die Verbindung ohne Antwort</translation>
    </message>
    <message>
        <source>the connection broke while the answer arrived</source>
        <translation>die Verbindung brach ab, während die Antwort eintraf</translation>
    </message>
    <message>
        <source>the connection broke while the request was sent</source>
        <translation>die Verbindung brach ab, während die Anfrage gesendet wurde</translation>
    </message>
    <message>
        <source>the server could not be reached (nothing answers at that address)</source>
        <translation>der Server ist nicht erreichbar (unter dieser Adresse antwortet nichts)</translation>
    </message>
    <message>
        <source>the server&apos;s name could not be found</source>
        <translation>der Name des Servers wurde nicht gefunden</translation>
    </message>
    <message>
        <source>the server sent the request round in circles</source>
        <translation>der Server leitete die Anfrage im Kreis weiter</translation>
    </message>
    <message>
        <source>the server did not finish its answer within %1 seconds</source>
        <translation>der Server hat seine Antwort nicht innerhalb von %1 Sekunden beendet</translation>
    </message>
    <message>
        <source>the server&apos;s answer is larger than %1</source>
        <translation>die Antwort des Servers ist größer als %1</translation>
    </message>
    <message>
        <source>the server&apos;s certificate could not be verified</source>
        <translation>das Zertifikat des Servers konnte nicht geprüft werden</translation>
    </message>
    <message>
        <source>the trusted certificates could not be read</source>
        <translation>die vertrauenswürdigen Zertifikate konnten nicht gelesen werden</translation>
    </message>
    <message>
        <source>a secure connection to the server could not be set up</source>
        <translation>eine sichere Verbindung zum Server konnte nicht aufgebaut werden</translation>
    </message>
    <message>
        <source>the transfer failed (%1)</source>
        <translation>die Übertragung ist fehlgeschlagen (%1)</translation>
    </message>
    <message>
        <source>the server answered with %1</source>
        <translation>der Server antwortete mit %1</translation>
    </message>
    <message>
        <source>libcurl could not start</source>
        <translation>libcurl konnte nicht starten</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a web address</source>
        <translation>„%1“ ist keine Webadresse</translation>
    </message>
    <message>
        <source>the request was cancelled</source>
        <translation>die Anfrage wurde abgebrochen</translation>
    </message>
    <message>
        <source>The request could not be started</source>
        <translation>Die Anfrage konnte nicht gestartet werden</translation>
    </message>
    <message>
        <source>the server refused the changes (%1)</source>
        <translation>der Server hat die Änderungen abgelehnt (%1)</translation>
    </message>
    <message>
        <source>the request could not be started again</source>
        <translation>die Anfrage konnte nicht erneut gestartet werden</translation>
    </message>
    <message>
        <source>a user name cannot hold a colon</source>
        <translation>ein Benutzername darf keinen Doppelpunkt enthalten</translation>
    </message>
    <message>
        <source>a user name cannot hold a control character</source>
        <translation>ein Benutzername darf kein Steuerzeichen enthalten</translation>
    </message>
    <message>
        <source>a password goes over plain http only to this computer, and this server is elsewhere: use an https:// address</source>
        <translation>ein Passwort geht über einfaches http nur an diesen Computer, und dieser Server steht woanders: verwenden Sie eine https://-Adresse</translation>
    </message>
    <message>
        <source>the server refused the sign-in %1 times in a row</source>
        <translation>der Server hat die Anmeldung %1-mal hintereinander abgelehnt</translation>
    </message>
    <message>
        <source>the server asks for a kind of sign-in the control does not know</source>
        <translation>der Server verlangt eine Anmeldeart, die das Steuerelement nicht kennt</translation>
    </message>
    <message>
        <source>the server asks for a password: </source>
        <translation>der Server verlangt ein Passwort: </translation>
    </message>
    <message>
        <source>the sign-in was cancelled</source>
        <translation>die Anmeldung wurde abgebrochen</translation>
    </message>
    <message>
        <source>the sign-in could not be sent: %1</source>
        <translation>die Anmeldung konnte nicht gesendet werden: %1</translation>
    </message>
    <message>
        <source>to be removed</source>
        <translation>wird entfernt</translation>
    </message>
    <message>
        <source>to be added</source>
        <translation>wird hinzugefügt</translation>
    </message>
    <message>
        <source>Employees of the centre</source>
        <translation>Mitarbeiter des Zentrums</translation>
    </message>
    <message>
        <source>Find Employee</source>
        <translation>Mitarbeiter suchen</translation>
    </message>
    <message>
        <source>List to search</source>
        <translation>Zu durchsuchende Liste</translation>
    </message>
    <message>
        <source>Add employee</source>
        <translation>Mitarbeiter hinzufügen</translation>
    </message>
    <message>
        <source>Move the chosen employee into the selected list</source>
        <translation>Den gewählten Mitarbeiter in die Liste der zugeordneten verschieben</translation>
    </message>
    <message>
        <source>Add selected employees</source>
        <translation>Markierte Mitarbeiter hinzufügen</translation>
    </message>
    <message>
        <source>Move every selected employee into the selected list</source>
        <translation>Alle markierten Mitarbeiter in die Liste der zugeordneten verschieben</translation>
    </message>
    <message>
        <source>Remove selected employees</source>
        <translation>Markierte Mitarbeiter entfernen</translation>
    </message>
    <message>
        <source>Move every selected employee back out of the selected list</source>
        <translation>Alle markierten Mitarbeiter aus der Liste der zugeordneten zurückverschieben</translation>
    </message>
    <message>
        <source>Remove employee</source>
        <translation>Mitarbeiter entfernen</translation>
    </message>
    <message>
        <source>Move the chosen employee back out of the selected list</source>
        <translation>Den gewählten Mitarbeiter aus der Liste der zugeordneten zurückverschieben</translation>
    </message>
    <message>
        <source>Save the moves to the database, then reload both lists from it</source>
        <translation>Die Verschiebungen in der Datenbank speichern und dann beide Listen neu laden</translation>
    </message>
    <message>
        <source>Find the employee in the list to search</source>
        <translation>Den Mitarbeiter in der zu durchsuchenden Liste suchen</translation>
    </message>
    <message>
        <source>Employee ID</source>
        <translation>Mitarbeiternummer</translation>
    </message>
    <message>
        <source>Employee name</source>
        <translation>Mitarbeitername</translation>
    </message>
    <message>
        <source>Loading progress</source>
        <translation>Ladefortschritt</translation>
    </message>
    <message>
        <source>Sign in</source>
        <translation>Anmelden</translation>
    </message>
    <message>
        <source>The server
%1
asks you to sign in.</source>
        <translation>Der Server
%1
bittet Sie, sich anzumelden.</translation>
    </message>
    <message>
        <source>The server
%1
asks you to sign in to “%2”.</source>
        <translation>Der Server
%1
bittet Sie, sich bei „%2“ anzumelden.</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>&amp;Name:</translation>
    </message>
    <message>
        <source>&amp;Password:</source>
        <translation>&amp;Passwort:</translation>
    </message>
    <message>
        <source>the feed of another centre or server came</source>
        <translation>es kam die Mitarbeiterliste eines anderen Zentrums oder Servers</translation>
    </message>
    <message>
        <source>Loading…</source>
        <translation>Wird geladen…</translation>
    </message>
    <message>
        <source>a load or another commit is still running</source>
        <translation>ein Laden oder ein anderes Speichern läuft noch</translation>
    </message>
</context>
</TS>
