<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>Texts</name>
    <message>
        <source>Information</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing was saved: these employee IDs are not valid numbers: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>employee IDs that are not valid numbers: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saving…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error Occoured</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The changes were not saved (%1). Your moves are kept: press Commit to Database to try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error During saving to Database</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Center Employee Cross Reference</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ID</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version Number: %1.%2.%3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it nests elements more than %1 deep</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it declares more than %1 entities</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it has too many nodes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its entities expand to more text than it can hold</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it uses the entity %1, whose value it does not contain</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it refers to the outside entity %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server&apos;s answer is too large to be a feed (%1 bytes)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the feed could not be read (out of memory)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the feed could not be read (the XML reader has no entity limits)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>line %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server&apos;s answer is refused as a feed: %1 (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server&apos;s answer is not a well-formed feed (%1, %2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Non Selected Active Empolyees:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Selected Active Employees:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Find Employee</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Commit to Database</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> List to search  </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Non Selected Employees</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Selected Employees</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version Number:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 to add</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 to remove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Non Selected Active Employees (%1):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Selected Active Employees (%1):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The employees could not be loaded: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 MiB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>status %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; try again in %1 seconds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; try again after %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server stopped answering</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server&apos;s answer was cut short</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server closed the connection without answering</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the connection broke while the answer arrived</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the connection broke while the request was sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server could not be reached (nothing answers at that address)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server&apos;s name could not be found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server sent the request round in circles</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server did not finish its answer within %1 seconds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server&apos;s answer is larger than %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server&apos;s certificate could not be verified</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the trusted certificates could not be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a secure connection to the server could not be set up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the transfer failed (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server answered with %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>libcurl could not start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a web address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the request was cancelled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The request could not be started</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server refused the changes (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the request could not be started again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a user name cannot hold a colon</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a user name cannot hold a control character</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a password goes over plain http only to this computer, and this server is elsewhere: use an https:// address</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server refused the sign-in %1 times in a row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server asks for a kind of sign-in the control does not know</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the server asks for a password: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the sign-in was cancelled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the sign-in could not be sent: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>to be removed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>to be added</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Employees of the centre</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find Employee</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>List to search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add employee</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move the chosen employee into the selected list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add selected employees</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move every selected employee into the selected list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove selected employees</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move every selected employee back out of the selected list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove employee</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move the chosen employee back out of the selected list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save the moves to the database, then reload both lists from it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find the employee in the list to search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Employee ID</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Employee name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Loading progress</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sign in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The server
%1
asks you to sign in.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The server
%1
asks you to sign in to “%2”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Password:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the feed of another centre or server came</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Loading…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a load or another commit is still running</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
