-- A database made by the server before its schema had versions (centres, employees, assignments
-- saved through the server, an operator), as sqlite3's .dump wrote it.
PRAGMA foreign_keys=OFF;
BEGIN TRANSACTION;
CREATE TABLE employees ( ID INTEGER PRIMARY KEY CHECK (ID BETWEEN -2147483648 AND 2147483647), name TEXT NOT NULL CHECK (length(trim(name)) > 0), active INTEGER NOT NULL DEFAULT 1 CHECK (active IN (0, 1)));
INSERT INTO employees VALUES(-7,'Old Timer',0);
INSERT INTO employees VALUES(1,'Ann Smith',1);
INSERT INTO employees VALUES(2,'Bob Jones',1);
INSERT INTO employees VALUES(3,'Chloé Brontë',1);
CREATE TABLE CenterEmployeeCrossReference ( CenterID INTEGER NOT NULL CHECK (CenterID BETWEEN -2147483648 AND 2147483647), EmployeeID INTEGER NOT NULL REFERENCES employees(ID), RecordLastUpdated TEXT NOT NULL, PRIMARY KEY (CenterID, EmployeeID));
INSERT INTO CenterEmployeeCrossReference VALUES(12,1,'2026-12-08T19:14:06.370Z');
INSERT INTO CenterEmployeeCrossReference VALUES(14,2,'2026-12-08T19:14:06.370Z');
CREATE TABLE centers ( ID INTEGER PRIMARY KEY CHECK (ID BETWEEN -2147483648 AND 2147483647), name TEXT NOT NULL CHECK (length(trim(name)) > 0));
INSERT INTO centers VALUES(12,'North Depot');
INSERT INTO centers VALUES(14,'South Yard');
CREATE TABLE operators ( name TEXT PRIMARY KEY, passwordHash TEXT NOT NULL, allCentres INTEGER NOT NULL CHECK (allCentres IN (0, 1)));
INSERT INTO operators VALUES('ann','$argon2id$v=19$m=65536,t=2,p=1$/aWX3iYujPJwKNssXX18zw$X2IfapT9cO+JRJq7TDH+euR3SkezyQhAarciAfCmcls',0);
CREATE TABLE operatorCentres ( operatorName TEXT NOT NULL REFERENCES operators(name) ON DELETE CASCADE, centerID INTEGER NOT NULL REFERENCES centers(ID), PRIMARY KEY (operatorName, centerID));
INSERT INTO operatorCentres VALUES('ann',12);
CREATE TABLE assignment_log ( seq INTEGER PRIMARY KEY, loggedAt TEXT NOT NULL, operatorName TEXT NOT NULL, remoteAddress TEXT NOT NULL, centerID INTEGER NOT NULL, employeeID INTEGER NOT NULL, change TEXT NOT NULL CHECK (change IN ('add', 'remove')), outcome TEXT NOT NULL CHECK (outcome IN ('applied', 'no-op')));
INSERT INTO assignment_log VALUES(1,'2026-12-08T19:14:06.370Z','','127.0.0.1',12,1,'add','applied');
INSERT INTO assignment_log VALUES(2,'2026-12-08T19:14:06.370Z','','127.0.0.1',12,3,'add','applied');
INSERT INTO assignment_log VALUES(3,'2026-12-08T19:14:06.370Z','','127.0.0.1',14,2,'add','applied');
INSERT INTO assignment_log VALUES(4,'2026-12-08T19:14:06.397Z','','127.0.0.1',12,3,'remove','applied');
CREATE INDEX CenterEmployeeCrossReference_EmployeeID ON CenterEmployeeCrossReference (EmployeeID);
CREATE TRIGGER assignment_log_no_update BEFORE UPDATE ON assignment_log BEGIN SELECT RAISE(ABORT, 'assignment_log is append-only'); END;
CREATE TRIGGER assignment_log_no_delete BEFORE DELETE ON assignment_log BEGIN SELECT RAISE(ABORT, 'assignment_log is append-only'); END;
COMMIT;
