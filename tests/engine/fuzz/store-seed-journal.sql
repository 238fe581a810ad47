-- Statements left in the journal of the seed database (after store-seed.sql was folded).
UPDATE C SET saldo = saldo * 2 WHERE id > 1
ALTER TABLE C ADD extra int NOT NULL DEFAULT 7
GO
ALTER TABLE C ALTER COLUMN nombre varchar(60)
DELETE FROM C WHERE id = 2
ALTER TABLE C DROP COLUMN f
GO
DROP VIEW V
GO
CREATE INDEX IX_C ON C (nombre)
