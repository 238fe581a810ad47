-- The database the store fuzzer's seeds are made from (run-store-fuzzer): every kind of
-- change, first folded into the snapshot, then more of them left in the journal.
CREATE DATABASE S
GO
USE S
CREATE TABLE C (id int IDENTITY PRIMARY KEY, nombre varchar(30) DEFAULT 'x',
  saldo decimal(12,2), alta datetime, activo bit, nota ntext, f float)
INSERT C (nombre, saldo, alta, activo, f) VALUES ('uno', 1.5, '20130102', 1, 1e10),
  ('dos', NULL, NULL, 0, -2.5), (NULL, 99.99, '19000101', NULL, NULL)
CREATE TABLE D (n int NOT NULL)
INSERT D VALUES (0),(1),(2),(3),(4),(5),(6),(7),(8),(9)
-- Rows enough that the journal left by store-seed-journal.sql is not folded at exit.
CREATE TABLE Big (id int NOT NULL, s varchar(40))
INSERT Big SELECT a.n * 100 + b.n * 10 + c.n, 'fila ' + CAST(a.n AS varchar(2))
  FROM D a CROSS JOIN D b CROSS JOIN D c
GO
USE S
GO
CREATE SCHEMA otro
GO
USE S
CREATE TABLE otro.P (k char(4) NOT NULL, v money, CONSTRAINT PK_P PRIMARY KEY (k), CHECK (v >= 0))
INSERT otro.P VALUES ('a', 1), ('b', 2)
GO
USE S
GO
CREATE VIEW V AS SELECT id, nombre FROM C
GO
USE S
EXEC sp_addextendedproperty 'VERSION', '2013.1'
GRANT SELECT ON C TO public
