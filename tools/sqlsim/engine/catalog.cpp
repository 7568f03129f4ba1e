#include "engine/catalog.h"

#include "engine/tokens.h"

namespace sqlsim {

namespace {

// Column declarations carry SQL Server's type names so that result sets report them.
const char* kCatalogDdl = R"SQL(
CREATE TABLE sysobjects (name nvarchar(128) COLLATE NOCASE, id int, xtype char(2) COLLATE NOCASE,
  uid smallint, info smallint, status int, base_schema_ver int, replinfo int, parent_obj int,
  crdate datetime, ftcatid smallint, schema_ver int, stats_schema_ver int,
  type char(2) COLLATE NOCASE, userstat smallint, sysstat smallint, indexdel smallint,
  refdate datetime, version int, deltrig int, instrig int, updtrig int, seltrig int,
  category int, cache smallint);
CREATE UNIQUE INDEX sysobjects_id ON sysobjects(id);
CREATE INDEX sysobjects_name ON sysobjects(name);
CREATE INDEX sysobjects_parent ON sysobjects(parent_obj);
CREATE INDEX sysobjects_xtype ON sysobjects(xtype);
CREATE TABLE syscolumns (name nvarchar(128) COLLATE NOCASE, id int, xtype tinyint,
  typestat tinyint, xusertype smallint, length smallint, xprec tinyint, xscale tinyint,
  colid smallint, xoffset smallint, bitpos tinyint, reserved tinyint, colstat smallint,
  cdefault int, domain int, number smallint, colorder smallint, autoval varbinary(8000),
  offset smallint, collationid int, language int, status tinyint, type tinyint,
  usertype smallint, printfmt varchar(255) COLLATE NOCASE, prec smallint, scale int,
  iscomputed int, isoutparam int, isnullable int, collation nvarchar(128) COLLATE NOCASE);
CREATE INDEX syscolumns_id ON syscolumns(id, colid);
CREATE TABLE systypes (name nvarchar(128) COLLATE NOCASE, xtype tinyint, status tinyint,
  xusertype smallint, length smallint, xprec tinyint, xscale tinyint, tdefault int,
  domain int, uid smallint, reserved smallint, collationid int, usertype smallint,
  variable bit, allownulls bit, type tinyint, printfmt varchar(255) COLLATE NOCASE,
  prec smallint, scale tinyint, collation nvarchar(128) COLLATE NOCASE);
CREATE TABLE syscomments (id int, number smallint, colid smallint, status smallint,
  ctext varbinary(8000), texttype smallint, language smallint, encrypted bit, compressed bit,
  text nvarchar(4000) COLLATE NOCASE);
CREATE INDEX syscomments_id ON syscomments(id, colid);
-- Each module's text in one piece, for the later servers' sys.sql_modules: a column of its own
-- so that it is reported as nvarchar(max) (-1). The rows of a module arrive in colid order.
CREATE TABLE sqlsim_module_text (id INTEGER PRIMARY KEY, definition nvarchar(-1));
CREATE TRIGGER sqlsim_module_text_add AFTER INSERT ON syscomments
  WHEN NOT EXISTS (SELECT 1 FROM sysobjects WHERE id = NEW.id AND xtype = 'U') BEGIN
  INSERT OR IGNORE INTO sqlsim_module_text (id, definition) VALUES (NEW.id, '');
  UPDATE sqlsim_module_text SET definition = definition || NEW.text WHERE id = NEW.id;
END;
CREATE TRIGGER sqlsim_module_text_drop AFTER DELETE ON syscomments BEGIN
  DELETE FROM sqlsim_module_text WHERE id = OLD.id;
END;
CREATE TABLE sysindexes (id int, status int, first binary(6), indid smallint, root binary(6),
  minlen smallint, keycnt smallint, groupid smallint, dpages int, reserved int, used int,
  rowcnt bigint, rowmodctr int, reserved3 int, reserved4 int, xmaxlen smallint,
  maxirow smallint, OrigFillFactor tinyint, StatVersion tinyint, reserved2 int,
  FirstIAM binary(6), impid smallint, lockflags smallint, pgmodctr int, keys varbinary(1088),
  name nvarchar(128) COLLATE NOCASE, statblob image, maxlen int, rows int);
CREATE INDEX sysindexes_id ON sysindexes(id, indid);
CREATE TABLE sysindexkeys (id int, indid smallint, colid smallint, keyno smallint);
CREATE INDEX sysindexkeys_id ON sysindexkeys(id, indid);
CREATE TABLE sysreferences (constid int, fkeyid int, rkeyid int, rkeyindid smallint,
  keycnt smallint, forkeys binary(32), refkeys binary(32), fkeydbid smallint,
  rkeydbid smallint, fkey1 smallint, fkey2 smallint, fkey3 smallint, fkey4 smallint,
  fkey5 smallint, fkey6 smallint, fkey7 smallint, fkey8 smallint, fkey9 smallint,
  fkey10 smallint, fkey11 smallint, fkey12 smallint, fkey13 smallint, fkey14 smallint,
  fkey15 smallint, fkey16 smallint, rkey1 smallint, rkey2 smallint, rkey3 smallint,
  rkey4 smallint, rkey5 smallint, rkey6 smallint, rkey7 smallint, rkey8 smallint,
  rkey9 smallint, rkey10 smallint, rkey11 smallint, rkey12 smallint, rkey13 smallint,
  rkey14 smallint, rkey15 smallint, rkey16 smallint);
CREATE TABLE sysforeignkeys (constid int, fkeyid int, rkeyid int, fkey smallint,
  rkey smallint, keyno smallint);
CREATE TABLE sysusers (uid smallint, status smallint, name nvarchar(128) COLLATE NOCASE,
  sid varbinary(85), roles varbinary(2048), createdate datetime, updatedate datetime,
  altuid smallint, password varbinary(256), gid smallint, environ varchar(255),
  hasdbaccess int, islogin int, isntname int, isntgroup int, isntuser int, issqluser int,
  isaliased int, issqlrole int, isapprole int);
CREATE TABLE sqlsim_schemas (schema_id int, name nvarchar(128) COLLATE NOCASE,
  principal_id int);
CREATE TABLE sqlsim_objects (id int PRIMARY KEY, sqlite_name TEXT, is_ms_shipped int,
  ident_seed int, ident_incr int, ident_current int, is_system_named int DEFAULT 0);
-- Every result column is traced back to its table by the SQLite name (sessions describe
-- columns that way): a scan per column would cost more than most catalog queries.
CREATE INDEX sqlsim_objects_sqlite_name ON sqlsim_objects(sqlite_name);
CREATE TABLE sqlsim_meta (key TEXT PRIMARY KEY, value TEXT);
-- Constraints switched off (NOCHECK) and triggers disabled; for FOREIGN KEY and CHECK
-- constraints, their referential actions (as sys.foreign_keys numbers them), whether they are
-- trusted and NOT FOR REPLICATION (engine/integrity).
CREATE TABLE sqlsim_disabled (id int PRIMARY KEY);
CREATE TABLE sqlsim_constraint_state (id int PRIMARY KEY, delete_action int NOT NULL DEFAULT 0,
  update_action int NOT NULL DEFAULT 0, not_trusted int NOT NULL DEFAULT 0,
  not_for_replication int NOT NULL DEFAULT 0);
-- Computed columns: the definition SQL Server shows, PERSISTED, and the SQLite expression the
-- generated column was made with (a table copied into a new shape makes it again).
CREATE TABLE sqlsim_computed (object_id int, column_id int, definition nvarchar(-1),
  is_persisted bit, sqlite_expr TEXT, PRIMARY KEY (object_id, column_id));
-- Extended properties: the ids sys.extended_properties reports, and what they hang from (the
-- schema or owner, the level-1 object and the level types as given), from which
-- fn_listextendedproperty names them.
-- Modules made WITH SCHEMABINDING, and the objects each is bound to: those cannot be dropped,
-- nor their columns the module uses changed, while the binding stands.
-- What each module names, recorded when it is made or altered: the schema as written (NULL
-- for a one-part name) and the object it meant then, NULL when none existed (SQL Server 2008's
-- by-name dependencies keep those; 2000's sysdepends does not, and loses a row whose object is
-- dropped, even when one of the same name is made again).
CREATE TABLE sqlsim_depends (id int, ref_schema nvarchar(128) COLLATE NOCASE,
  ref_name nvarchar(128) COLLATE NOCASE, ref_id int);
CREATE INDEX sqlsim_depends_id ON sqlsim_depends(id);
CREATE TABLE sqlsim_schema_bound (id INTEGER PRIMARY KEY);
CREATE TABLE sqlsim_bindings (module_id int, object_id int);
CREATE INDEX sqlsim_bindings_object ON sqlsim_bindings(object_id);
CREATE TABLE sqlsim_xprops (class tinyint, major_id int, minor_id int,
  name nvarchar(128) COLLATE NOCASE, value sql_variant, ns_id int, l1_id int,
  l0type varchar(128), l1type varchar(128), l2type varchar(128));
)SQL";

const char* kInfoSchemaViews = R"SQL(
CREATE VIEW "INFORMATION_SCHEMA.TABLES" AS
  SELECT (SELECT value FROM sqlsim_meta WHERE key = 'dbname') AS TABLE_CATALOG,
    s.name AS TABLE_SCHEMA, o.name AS TABLE_NAME,
    CASE o.xtype WHEN 'U' THEN 'BASE TABLE' ELSE 'VIEW' END AS TABLE_TYPE
  FROM sysobjects o JOIN sqlsim_schemas s ON s.schema_id = o.uid
  JOIN sqlsim_objects x ON x.id = o.id
  WHERE o.xtype IN ('U', 'V') AND x.is_ms_shipped = 0 AND substr(o.name, 1, 1) <> '#';
CREATE VIEW "INFORMATION_SCHEMA.VIEWS" AS
  SELECT (SELECT value FROM sqlsim_meta WHERE key = 'dbname') AS TABLE_CATALOG,
    s.name AS TABLE_SCHEMA, o.name AS TABLE_NAME,
    (SELECT c.text FROM syscomments c WHERE c.id = o.id AND c.colid = 1) AS VIEW_DEFINITION,
    'NONE' AS CHECK_OPTION, 'NO' AS IS_UPDATABLE
  FROM sysobjects o JOIN sqlsim_schemas s ON s.schema_id = o.uid WHERE o.xtype = 'V';
CREATE VIEW "INFORMATION_SCHEMA.ROUTINES" AS
  SELECT (SELECT value FROM sqlsim_meta WHERE key = 'dbname') AS SPECIFIC_CATALOG,
    s.name AS SPECIFIC_SCHEMA, o.name AS SPECIFIC_NAME,
    (SELECT value FROM sqlsim_meta WHERE key = 'dbname') AS ROUTINE_CATALOG,
    s.name AS ROUTINE_SCHEMA, o.name AS ROUTINE_NAME,
    CASE o.xtype WHEN 'P' THEN 'PROCEDURE' ELSE 'FUNCTION' END AS ROUTINE_TYPE,
    (SELECT c.text FROM syscomments c WHERE c.id = o.id AND c.colid = 1) AS ROUTINE_DEFINITION,
    o.crdate AS CREATED, o.refdate AS LAST_ALTERED
  FROM sysobjects o JOIN sqlsim_schemas s ON s.schema_id = o.uid
  WHERE o.xtype IN ('P', 'FN', 'IF', 'TF');
CREATE VIEW "INFORMATION_SCHEMA.COLUMNS" AS
  SELECT (SELECT value FROM sqlsim_meta WHERE key = 'dbname') AS TABLE_CATALOG,
    s.name AS TABLE_SCHEMA, o.name AS TABLE_NAME, c.name AS COLUMN_NAME,
    c.colorder AS ORDINAL_POSITION,
    CASE c.isnullable WHEN 0 THEN 'NO' ELSE 'YES' END AS IS_NULLABLE, t.name AS DATA_TYPE
  FROM sysobjects o JOIN sqlsim_schemas s ON s.schema_id = o.uid
  JOIN syscolumns c ON c.id = o.id
  JOIN systypes t ON t.xusertype = c.xusertype
  WHERE o.xtype IN ('U', 'V');
)SQL";

const char* kSysViews = R"SQL(
CREATE VIEW "sys.objects" AS
  SELECT o.name AS name, o.id AS object_id, NULL AS principal_id, o.uid AS schema_id,
    o.parent_obj AS parent_object_id, o.xtype AS type,
    CASE o.xtype WHEN 'U' THEN 'USER_TABLE' WHEN 'S' THEN 'SYSTEM_TABLE'
      WHEN 'V' THEN 'VIEW' WHEN 'P' THEN 'SQL_STORED_PROCEDURE'
      WHEN 'FN' THEN 'SQL_SCALAR_FUNCTION' WHEN 'IF' THEN 'SQL_INLINE_TABLE_VALUED_FUNCTION'
      WHEN 'TF' THEN 'SQL_TABLE_VALUED_FUNCTION' WHEN 'TR' THEN 'SQL_TRIGGER'
      WHEN 'PK' THEN 'PRIMARY_KEY_CONSTRAINT' WHEN 'UQ' THEN 'UNIQUE_CONSTRAINT'
      WHEN 'F' THEN 'FOREIGN_KEY_CONSTRAINT' WHEN 'C' THEN 'CHECK_CONSTRAINT'
      WHEN 'D' THEN 'DEFAULT_CONSTRAINT' ELSE 'OTHER' END AS type_desc,
    o.crdate AS create_date, o.refdate AS modify_date, x.is_ms_shipped AS is_ms_shipped,
    0 AS is_published, 0 AS is_schema_published
  FROM sysobjects o JOIN sqlsim_objects x ON x.id = o.id
  -- A #table (and a table variable) lives in tempdb on SQL Server: the database's own views
  -- show neither it nor its constraints.
  WHERE substr(o.name, 1, 1) <> '#' AND NOT EXISTS (SELECT 1 FROM sysobjects p
    WHERE p.id = o.parent_obj AND o.parent_obj <> 0 AND substr(p.name, 1, 1) = '#');
CREATE VIEW "sys.schemas" AS
  SELECT name AS name, schema_id AS schema_id, principal_id AS principal_id FROM sqlsim_schemas;
CREATE VIEW "sys.tables" AS SELECT * FROM "sys.objects" WHERE type = 'U';
CREATE VIEW "sys.views" AS SELECT * FROM "sys.objects" WHERE type = 'V';
CREATE VIEW "sys.procedures" AS SELECT * FROM "sys.objects" WHERE type = 'P';
CREATE VIEW "sys.sysobjects" AS SELECT * FROM sysobjects;
CREATE VIEW "sys.syscolumns" AS SELECT * FROM syscolumns;
CREATE VIEW "sys.syscomments" AS SELECT * FROM syscomments;
CREATE VIEW "sys.sysindexes" AS SELECT * FROM sysindexes;
CREATE VIEW "sys.sysindexkeys" AS SELECT * FROM sysindexkeys;
CREATE VIEW "sys.sysreferences" AS SELECT * FROM sysreferences;
CREATE VIEW "sys.systypes" AS SELECT * FROM systypes;
CREATE VIEW "sys.types" AS
  SELECT name AS name, xtype AS system_type_id, xusertype AS user_type_id, uid AS schema_id,
    NULL AS principal_id, length AS max_length, xprec AS precision, xscale AS scale,
    collation AS collation_name, allownulls AS is_nullable,
    CASE WHEN xusertype > 256 THEN 1 ELSE 0 END AS is_user_defined, 0 AS is_assembly_type,
    tdefault AS default_object_id, domain AS rule_object_id, 0 AS is_table_type
  FROM systypes;
CREATE VIEW "sys.sysusers" AS SELECT * FROM sysusers;
CREATE VIEW "sys.sysforeignkeys" AS SELECT * FROM sysforeignkeys;
CREATE VIEW "sys.columns" AS
  SELECT id AS object_id, name AS name, colid AS column_id, xtype AS system_type_id,
    xusertype AS user_type_id, length AS max_length, prec AS precision, scale AS scale,
    collation AS collation_name, isnullable AS is_nullable,
    CASE WHEN collation IS NULL THEN 0 ELSE 1 END AS is_ansi_padded, 0 AS is_rowguidcol,
    CASE WHEN status & 128 = 0 THEN 0 ELSE 1 END AS is_identity,
    CASE WHEN iscomputed = 0 THEN 0 ELSE 1 END AS is_computed, 0 AS is_filestream,
    0 AS is_replicated, 0 AS is_non_sql_subscribed, 0 AS is_merge_published,
    0 AS is_dts_replicated, 0 AS is_xml_document, 0 AS xml_collection_id,
    cdefault AS default_object_id, domain AS rule_object_id, 0 AS is_sparse, 0 AS is_column_set
  FROM syscolumns;
CREATE VIEW "sys.computed_columns" AS
  SELECT c.*, x.definition AS definition, 1 AS uses_database_collation,
    x.is_persisted AS is_persisted
  FROM "sys.columns" c JOIN sqlsim_computed x
    ON x.object_id = c.object_id AND x.column_id = c.column_id;
-- The rows fn_listextendedproperty reads: each property with the names of what it hangs
-- from, at the time of reading; a property of an object that is gone has no row.
CREATE VIEW sqlsim_xprop_list AS
  SELECT p.name AS name, p.value AS value, p.l0type AS l0type, p.l1type AS l1type,
    p.l2type AS l2type, n.l0name AS l0name, n.l1name AS l1name, n.l2name AS l2name,
    COALESCE(p.l2type, p.l1type, p.l0type) AS objtype,
    COALESCE(n.l2name, n.l1name, n.l0name) AS objname
  FROM sqlsim_xprops p JOIN (SELECT rowid AS id,
      CASE WHEN l0type IS NULL THEN NULL
        ELSE COALESCE((SELECT s.name FROM sqlsim_schemas s WHERE s.schema_id = ns_id),
                      (SELECT u.name FROM sysusers u WHERE u.uid = ns_id)) END AS l0name,
      (SELECT o.name FROM sysobjects o WHERE o.id = l1_id) AS l1name,
      CASE l2type WHEN 'COLUMN' THEN
          (SELECT c.name FROM syscolumns c WHERE c.id = l1_id AND c.colid = minor_id)
        WHEN 'INDEX' THEN
          (SELECT i.name FROM sysindexes i WHERE i.id = l1_id AND i.indid = minor_id)
        WHEN 'CONSTRAINT' THEN (SELECT o.name FROM sysobjects o WHERE o.id = major_id)
        WHEN 'TRIGGER' THEN (SELECT o.name FROM sysobjects o WHERE o.id = major_id) END AS l2name
    FROM sqlsim_xprops) n ON n.id = p.rowid
  WHERE (p.l0type IS NULL OR n.l0name IS NOT NULL) AND (p.l1type IS NULL OR n.l1name IS NOT NULL)
    AND (p.l2type IS NULL OR n.l2name IS NOT NULL);
CREATE VIEW "sys.sql_modules" AS
  SELECT o.id AS object_id, m.definition AS definition, 1 AS uses_ansi_nulls, 1 AS uses_quoted_identifier,
    CASE WHEN o.id IN (SELECT id FROM sqlsim_schema_bound) THEN 1 ELSE 0 END AS is_schema_bound,
    0 AS uses_database_collation, 0 AS is_recompiled, 0 AS null_on_null_input,
    NULL AS execute_as_principal_id
  FROM sysobjects o JOIN sqlsim_module_text m ON m.id = o.id
  WHERE o.xtype IN ('P', 'V', 'FN', 'IF', 'TF', 'TR', 'R') OR (o.xtype = 'D' AND o.parent_obj = 0);
-- The constraint views carry sys.objects' columns first, then their own.
CREATE VIEW "sys.default_constraints" AS
  SELECT o.name AS name, o.id AS object_id, NULL AS principal_id, o.uid AS schema_id,
    o.parent_obj AS parent_object_id, 'D' AS type, 'DEFAULT_CONSTRAINT' AS type_desc,
    o.crdate AS create_date, o.refdate AS modify_date, 0 AS is_ms_shipped, 0 AS is_published,
    0 AS is_schema_published,
    (SELECT c.colid FROM syscolumns c WHERE c.id = o.parent_obj AND c.cdefault = o.id)
      AS parent_column_id,
    (SELECT group_concat(t.text, '') FROM
      (SELECT text FROM syscomments WHERE id = o.id ORDER BY colid) t) AS definition,
    COALESCE(x.is_system_named, 0) AS is_system_named
  FROM sysobjects o LEFT JOIN sqlsim_objects x ON x.id = o.id WHERE o.xtype = 'D';
-- A column-level CHECK names its column (sysobjects.info, as sysconstraints.colid reads it);
-- one under NOCHECK is disabled and no longer trusted.
CREATE VIEW "sys.check_constraints" AS
  SELECT o.name AS name, o.id AS object_id, NULL AS principal_id, o.uid AS schema_id,
    o.parent_obj AS parent_object_id, 'C' AS type, 'CHECK_CONSTRAINT' AS type_desc,
    o.crdate AS create_date, o.refdate AS modify_date, 0 AS is_ms_shipped, 0 AS is_published,
    0 AS is_schema_published,
    CASE WHEN EXISTS (SELECT 1 FROM sqlsim_disabled d WHERE d.id = o.id) THEN 1 ELSE 0 END
      AS is_disabled,
    COALESCE((SELECT st.not_for_replication FROM sqlsim_constraint_state st
      WHERE st.id = o.id), 0) AS is_not_for_replication,
    COALESCE((SELECT st.not_trusted FROM sqlsim_constraint_state st WHERE st.id = o.id), 0)
      AS is_not_trusted,
    COALESCE(o.info, 0) AS parent_column_id,
    (SELECT group_concat(t.text, '') FROM
      (SELECT text FROM syscomments WHERE id = o.id ORDER BY colid) t) AS definition,
    0 AS uses_database_collation, COALESCE(x.is_system_named, 0) AS is_system_named
  FROM sysobjects o LEFT JOIN sqlsim_objects x ON x.id = o.id WHERE o.xtype = 'C';
CREATE VIEW "sys.key_constraints" AS
  SELECT o.name AS name, o.id AS object_id, NULL AS principal_id, o.uid AS schema_id,
    o.parent_obj AS parent_object_id, o.xtype AS type,
    CASE o.xtype WHEN 'PK' THEN 'PRIMARY_KEY_CONSTRAINT' ELSE 'UNIQUE_CONSTRAINT' END
      AS type_desc,
    o.crdate AS create_date, o.refdate AS modify_date, 0 AS is_ms_shipped, 0 AS is_published,
    0 AS is_schema_published,
    (SELECT i.indid FROM sysindexes i WHERE i.id = o.parent_obj AND i.name = o.name)
      AS unique_index_id,
    COALESCE(x.is_system_named, 0) AS is_system_named
  FROM sysobjects o LEFT JOIN sqlsim_objects x ON x.id = o.id WHERE o.xtype IN ('PK', 'UQ');
CREATE VIEW "sys.extended_properties" AS
  SELECT class AS class,
    CASE class WHEN 0 THEN 'DATABASE' WHEN 1 THEN 'OBJECT_OR_COLUMN' WHEN 2 THEN 'PARAMETER'
      WHEN 3 THEN 'SCHEMA' WHEN 4 THEN 'DATABASE_PRINCIPAL' WHEN 6 THEN 'TYPE'
      WHEN 7 THEN 'INDEX' END AS class_desc,
    major_id AS major_id, minor_id AS minor_id, name AS name, value AS value
  FROM sqlsim_xprops;
CREATE VIEW "sys.foreign_keys" AS
  SELECT o.name AS name, o.id AS object_id, NULL AS principal_id, o.uid AS schema_id,
    o.parent_obj AS parent_object_id, 'F' AS type, 'FOREIGN_KEY_CONSTRAINT' AS type_desc,
    o.crdate AS create_date, o.refdate AS modify_date, 0 AS is_ms_shipped, 0 AS is_published,
    0 AS is_schema_published, r.rkeyid AS referenced_object_id, r.rkeyindid AS key_index_id,
    CASE WHEN d.id IS NULL THEN 0 ELSE 1 END AS is_disabled,
    COALESCE(st.not_for_replication, 0) AS is_not_for_replication,
    COALESCE(st.not_trusted, 0) AS is_not_trusted,
    COALESCE(st.delete_action, 0) AS delete_referential_action,
    CASE COALESCE(st.delete_action, 0) WHEN 1 THEN 'CASCADE' WHEN 2 THEN 'SET_NULL'
      WHEN 3 THEN 'SET_DEFAULT' ELSE 'NO_ACTION' END AS delete_referential_action_desc,
    COALESCE(st.update_action, 0) AS update_referential_action,
    CASE COALESCE(st.update_action, 0) WHEN 1 THEN 'CASCADE' WHEN 2 THEN 'SET_NULL'
      WHEN 3 THEN 'SET_DEFAULT' ELSE 'NO_ACTION' END AS update_referential_action_desc,
    COALESCE(x.is_system_named, 0) AS is_system_named
  FROM sysobjects o LEFT JOIN sqlsim_objects x ON x.id = o.id
  LEFT JOIN sysreferences r ON r.constid = o.id
  LEFT JOIN sqlsim_disabled d ON d.id = o.id
  LEFT JOIN sqlsim_constraint_state st ON st.id = o.id
  WHERE o.xtype = 'F';
CREATE VIEW sysdepends AS
  SELECT d.id AS id, d.ref_id AS depid, 0 AS number, 0 AS depnumber, 1 AS status,
    0 AS deptype, 0 AS depdbid, 0 AS depsiteid, 0 AS selall, 0 AS resultobj, 1 AS readobj
  FROM sqlsim_depends d JOIN sysobjects o ON o.id = d.ref_id;
CREATE VIEW "sys.sysdepends" AS SELECT * FROM sysdepends;
CREATE VIEW "sys.sql_expression_dependencies" AS
  SELECT d.id AS referencing_id, 0 AS referencing_minor_id, 1 AS referencing_class,
    'OBJECT_OR_COLUMN' AS referencing_class_desc,
    CASE WHEN d.id IN (SELECT id FROM sqlsim_schema_bound) THEN 1 ELSE 0 END
      AS is_schema_bound_reference,
    1 AS referenced_class, 'OBJECT_OR_COLUMN' AS referenced_class_desc,
    NULL AS referenced_server_name, NULL AS referenced_database_name,
    d.ref_schema AS referenced_schema_name, d.ref_name AS referenced_entity_name,
    CASE WHEN d.ref_schema IS NULL THEN NULL ELSE (SELECT o.id FROM sysobjects o
      JOIN sqlsim_schemas s ON s.schema_id = o.uid
      WHERE o.name = d.ref_name AND s.name = d.ref_schema AND o.parent_obj = 0) END
      AS referenced_id,
    0 AS referenced_minor_id, CASE WHEN d.ref_schema IS NULL THEN 1 ELSE 0 END
      AS is_caller_dependent, 0 AS is_ambiguous
  FROM sqlsim_depends d;
CREATE VIEW "sys.index_columns" AS
  SELECT id AS object_id, indid AS index_id, keyno AS index_column_id, colid AS column_id,
    keyno AS key_ordinal, 0 AS partition_ordinal, 0 AS is_descending_key,
    0 AS is_included_column
  FROM sysindexkeys;
CREATE VIEW "sys.foreign_key_columns" AS
  SELECT constid AS constraint_object_id, keyno AS constraint_column_id,
    fkeyid AS parent_object_id, fkey AS parent_column_id, rkeyid AS referenced_object_id,
    rkey AS referenced_column_id
  FROM sysforeignkeys;
)SQL";

struct SysTable {
    const char* name;
    int id;
};

const SysTable kSysTables8[] = {
    {"sysobjects", 1},     {"sysindexes", 2},         {"syscolumns", 3},
    {"systypes", 4},       {"syscomments", 6},        {"sysfiles1", 8},
    {"syspermissions", 9}, {"sysusers", 10},          {"sysproperties", 11},
    {"sysdepends", 12},    {"sysreferences", 14},     {"sysfulltextcatalogs", 19},
    {"sysindexkeys", 24},  {"sysforeignkeys", 25},    {"sysmembers", 26},
    {"sysprotects", 27},   {"sysfulltextnotify", 28}, {"sysfiles", 96},
    {"sysfilegroups", 97}};

const SysTable kSysTables9[] = {
    {"sysrowsetcolumns", 4}, {"sysrowsets", 5},    {"sysallocunits", 7},   {"sysfiles1", 8},
    {"syshobtcolumns", 13},  {"syshobts", 15},     {"sysftinds", 25},      {"sysserefs", 27},
    {"sysowners", 29},       {"sysprivs", 34},     {"sysschobjs", 41},     {"syscolpars", 44},
    {"sysnsobjs", 45},       {"sysxprops", 46},    {"sysscalartypes", 50}, {"sysidxstats", 54},
    {"sysiscols", 55},       {"sysobjvalues", 60}, {"sysclsobjs", 64},     {"sysrowsetrefs", 65}};

struct Principal {
    int uid;
    const char* name;
    bool role;
};

const Principal kPrincipals[] = {{0, "public", true},
                                 {1, "dbo", false},
                                 {2, "guest", false},
                                 {3, "INFORMATION_SCHEMA", false},
                                 {4, "sys", false},
                                 {16384, "db_owner", true},
                                 {16385, "db_accessadmin", true},
                                 {16386, "db_securityadmin", true},
                                 {16387, "db_ddladmin", true},
                                 {16389, "db_backupoperator", true},
                                 {16390, "db_datareader", true},
                                 {16391, "db_datawriter", true},
                                 {16392, "db_denydatareader", true},
                                 {16393, "db_denydatawriter", true}};

} // namespace

void upgradeCatalog(sqlite3* db) {
    // What later versions of this catalog added, for a database file made before them.
    static const char* kAdded = R"SQL(
CREATE INDEX IF NOT EXISTS sysobjects_xtype ON sysobjects(xtype);
CREATE INDEX IF NOT EXISTS sqlsim_objects_sqlite_name ON sqlsim_objects(sqlite_name);
CREATE TABLE IF NOT EXISTS sqlsim_schema_bound (id INTEGER PRIMARY KEY);
CREATE TABLE IF NOT EXISTS sqlsim_bindings (module_id int, object_id int);
CREATE TABLE IF NOT EXISTS sqlsim_depends (id int, ref_schema nvarchar(128) COLLATE NOCASE,
  ref_name nvarchar(128) COLLATE NOCASE, ref_id int);
)SQL";
    char* err = nullptr;
    if (sqlite3_exec(db, kAdded, nullptr, nullptr, &err) != SQLITE_OK) {
        std::string m = err ? err : "error";
        sqlite3_free(err);
        throw SqliteError(1, m);
    }
}

void createCatalog(sqlite3* db, int major, const std::string& dbName) {
    auto exec = [&](const std::string& sql) {
        char* err = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            std::string m = err ? err : "error";
            sqlite3_free(err);
            throw SqliteError(1, m);
        }
    };
    exec("BEGIN");
    exec(kCatalogDdl);
    exec(kInfoSchemaViews);
    exec(kSysViews);
    exec("INSERT INTO sqlsim_meta VALUES ('dbname', " + sqlStr(dbName) + ")");
    // Each database starts its ids elsewhere, so an id read in one database does not name an
    // unrelated object in another (SQL Server's ids look random across databases too).
    unsigned long long h = 1469598103934665603ULL;
    for (char ch : lower(dbName))
        h = (h ^ static_cast<unsigned char>(ch)) * 1099511628211ULL;
    exec("INSERT INTO sqlsim_meta VALUES ('next_id', '" +
         std::to_string(1000000 + h % 2000000000ULL) + "')");
    exec("INSERT INTO sqlsim_meta VALUES ('major', '" + std::to_string(major) + "')");
    const std::string sysDate = major <= 8 ? "2000-08-06 01:29:12.250" : "2005-10-14 01:36:15.923";
    // Principals, and the namespaces objects are filed under.
    for (const auto& p : kPrincipals) {
        if (major <= 8 && p.uid == 4) {
            exec("INSERT INTO sysusers (uid, status, name, createdate, updatedate, altuid, gid, "
                 "hasdbaccess, islogin, isntname, isntgroup, isntuser, issqluser, isaliased, "
                 "issqlrole, isapprole) VALUES (4, 0, 'system_function_schema', " +
                 sqlStr(sysDate) + ", " + sqlStr(sysDate) +
                 ", NULL, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)");
            exec("INSERT INTO sqlsim_schemas VALUES (4, 'system_function_schema', 4)");
            continue;
        }
        exec("INSERT INTO sysusers (uid, status, name, createdate, updatedate, altuid, gid, "
             "hasdbaccess, islogin, isntname, isntgroup, isntuser, issqluser, isaliased, "
             "issqlrole, isapprole) VALUES (" +
             std::to_string(p.uid) + ", " + (p.role ? "0" : "2") + ", " + sqlStr(p.name) + ", " +
             sqlStr(sysDate) + ", " + sqlStr(sysDate) + ", NULL, " +
             std::to_string(p.role ? p.uid : 0) + ", " + (p.uid == 1 ? "1" : "0") + ", " +
             (p.uid == 1 ? "1" : "0") + ", 0, 0, 0, " + (p.role ? "0" : "1") + ", 0, " +
             (p.role ? "1" : "0") + ", 0)");
        if (!p.role || major > 8)
            exec("INSERT INTO sqlsim_schemas VALUES (" + std::to_string(p.uid) + ", " +
                 sqlStr(p.name) + ", " + std::to_string(p.uid) + ")");
    }
    // System tables appear in sysobjects as xtype S.
    auto addSys = [&](const char* name, int id) {
        int uid = major <= 8 ? 1 : 4;
        exec("INSERT INTO sysobjects (name, id, xtype, uid, info, status, base_schema_ver, "
             "replinfo, parent_obj, crdate, ftcatid, schema_ver, stats_schema_ver, type, "
             "userstat, sysstat, indexdel, refdate, version, deltrig, instrig, updtrig, seltrig, "
             "category, cache) VALUES (" +
             sqlStr(name) + ", " + std::to_string(id) + ", 'S', " + std::to_string(uid) +
             ", 0, 0, 0, 0, 0, " + sqlStr(sysDate) + ", 0, 0, 0, 'S', 1, 1, 0, " + sqlStr(sysDate) +
             ", 0, 0, 0, 0, 0, 2, 0)");
        exec("INSERT INTO sqlsim_objects (id, sqlite_name, is_ms_shipped) VALUES (" +
             std::to_string(id) + ", " + sqlStr(name) + ", 1)");
    };
    if (major <= 8)
        for (const auto& s : kSysTables8)
            addSys(s.name, s.id);
    else
        for (const auto& s : kSysTables9)
            addSys(s.name, s.id);
    // Built-in types.
    for (const auto& b : builtinTypes()) {
        if (b.minMajor > major)
            continue;
        exec("INSERT INTO systypes (name, xtype, status, xusertype, length, xprec, xscale, "
             "tdefault, domain, uid, reserved, collationid, usertype, variable, allownulls, "
             "type, printfmt, prec, scale, collation) VALUES (" +
             sqlStr(b.name) + ", " + std::to_string(b.xtype) + ", 0, " +
             std::to_string(b.xusertype) + ", " + std::to_string(b.length) + ", " +
             std::to_string(b.sized ? 0 : b.prec) + ", " +
             std::to_string(b.scale < 0 ? 0 : b.scale) + ", 0, 0, " + (major <= 8 ? "1" : "4") +
             ", 0, NULL, NULL, " + (b.sized ? "1" : "0") + ", 1, NULL, NULL, " +
             std::to_string(b.prec) + ", " +
             (b.scale < 0 ? std::string("NULL") : std::to_string(b.scale)) + ", NULL)");
    }
    exec("COMMIT");
}

void createMasterTables(sqlite3* db, int major) {
    std::string sql = R"SQL(
CREATE TABLE sysdatabases (name nvarchar(128) COLLATE NOCASE, dbid smallint,
  sid varbinary(85), mode smallint, status int, status2 int, crdate datetime,
  reserved datetime, category int, cmptlevel tinyint, filename nvarchar(260), version smallint);
CREATE TABLE sqlsim_db_options (name nvarchar(128) COLLATE NOCASE, option varchar(64),
  value varchar(64), PRIMARY KEY (name, option));
CREATE VIEW "sys.databases" AS
  SELECT name AS name, dbid AS database_id, NULL AS source_database_id, sid AS owner_sid,
    crdate AS create_date, cmptlevel AS compatibility_level,
    'SQL_Latin1_General_CP1_CI_AS' AS collation_name,
    CASE opt.access WHEN 'SINGLE_USER' THEN 1 WHEN 'RESTRICTED_USER' THEN 2 ELSE 0 END
      AS user_access,
    COALESCE(opt.access, 'MULTI_USER') AS user_access_desc,
    CASE opt.updateability WHEN 'READ_ONLY' THEN 1 ELSE 0 END AS is_read_only,
    CASE opt.state WHEN 'OFFLINE' THEN 6 ELSE 0 END AS state,
    COALESCE(opt.state, 'ONLINE') AS state_desc,
    CASE opt.recovery WHEN 'BULK_LOGGED' THEN 2 WHEN 'SIMPLE' THEN 3 ELSE 1 END
      AS recovery_model,
    COALESCE(opt.recovery, 'FULL') AS recovery_model_desc,
    CASE opt.rcsi WHEN 'ON' THEN 1 ELSE 0 END AS is_read_committed_snapshot_on,
    CASE opt.ansi_nulls WHEN 'ON' THEN 1 ELSE 0 END AS is_ansi_nulls_on,
    CASE opt.quoted_identifier WHEN 'ON' THEN 1 ELSE 0 END AS is_quoted_identifier_on,
    CASE opt.auto_close WHEN 'ON' THEN 1 ELSE 0 END AS is_auto_close_on,
    CASE opt.auto_shrink WHEN 'ON' THEN 1 ELSE 0 END AS is_auto_shrink_on
  FROM sysdatabases LEFT JOIN (
    SELECT name AS dbname,
      max(CASE option WHEN 'ACCESS' THEN value END) AS access,
      max(CASE option WHEN 'UPDATEABILITY' THEN value END) AS updateability,
      max(CASE option WHEN 'STATE' THEN value END) AS state,
      max(CASE option WHEN 'RECOVERY' THEN value END) AS recovery,
      max(CASE option WHEN 'READ_COMMITTED_SNAPSHOT' THEN value END) AS rcsi,
      max(CASE option WHEN 'ANSI_NULLS' THEN value END) AS ansi_nulls,
      max(CASE option WHEN 'QUOTED_IDENTIFIER' THEN value END) AS quoted_identifier,
      max(CASE option WHEN 'AUTO_CLOSE' THEN value END) AS auto_close,
      max(CASE option WHEN 'AUTO_SHRINK' THEN value END) AS auto_shrink
    FROM sqlsim_db_options GROUP BY name) opt ON opt.dbname = sysdatabases.name;
)SQL";
    (void)major;
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string m = err ? err : "error";
        sqlite3_free(err);
        throw SqliteError(1, m);
    }
}

void setCatalogDatabaseName(sqlite3* db, const std::string& schema, const std::string& dbName) {
    Stmt st(db, "UPDATE " + sqlId(schema) + ".sqlsim_meta SET value = ? WHERE key = 'dbname'");
    st.bind(1, dbName);
    st.step();
}

std::optional<int> Catalog::namespaceId(const std::string& name) const {
    Stmt st = Stmt::Cached(db_, "SELECT schema_id FROM " + t("sqlsim_schemas") + " WHERE name = ?");
    st.bind(1, name);
    if (st.step())
        return static_cast<int>(st.integer(0));
    return std::nullopt;
}

std::string Catalog::namespaceName(int id) const {
    Stmt st = Stmt::Cached(db_, "SELECT name FROM " + t("sqlsim_schemas") + " WHERE schema_id = ?");
    st.bind(1, id);
    return st.step() ? st.text(0) : std::string();
}

int Catalog::addNamespace(const std::string& name, int principal) {
    Stmt mx(db_, "SELECT max(schema_id) FROM " + t("sqlsim_schemas") + " WHERE schema_id < 16384");
    mx.step();
    int id = std::max(5, static_cast<int>(mx.integer(0)) + 1);
    Stmt st(db_, "INSERT INTO " + t("sqlsim_schemas") + " VALUES (?, ?, ?)");
    st.bind(1, id).bind(2, name).bind(3, principal);
    st.step();
    return id;
}

std::optional<int> Catalog::userId(const std::string& name) const {
    Stmt st = Stmt::Cached(db_, "SELECT uid FROM " + t("sysusers") + " WHERE name = ?");
    st.bind(1, name);
    if (st.step())
        return static_cast<int>(st.integer(0));
    return std::nullopt;
}

int Catalog::addUser(const std::string& name, bool isLogin) {
    Stmt mx(db_, "SELECT max(uid) FROM " + t("sysusers") + " WHERE uid < 16384");
    mx.step();
    int uid = std::max(5, static_cast<int>(mx.integer(0)) + 1);
    std::string now = nowDateTime();
    Stmt st(db_, "INSERT INTO " + t("sysusers") +
                     " (uid, status, name, createdate, updatedate, altuid, gid, hasdbaccess, "
                     "islogin, isntname, isntgroup, isntuser, issqluser, isaliased, issqlrole, "
                     "isapprole) VALUES (?, 2, ?, ?, ?, NULL, 0, 1, ?, 0, 0, 0, 1, 0, 0, 0)");
    st.bind(1, uid).bind(2, name).bind(3, now).bind(4, now).bind(5, isLogin ? 1 : 0);
    st.step();
    if (major_ <= 8) {
        Stmt ns(db_, "INSERT INTO " + t("sqlsim_schemas") + " VALUES (?, ?, ?)");
        ns.bind(1, uid).bind(2, name).bind(3, uid);
        ns.step();
    }
    return uid;
}

std::optional<ObjectRow> Catalog::findObject(const std::string& name, std::optional<int> ns) const {
    std::string sql = "SELECT o.id, o.name, o.xtype, o.uid, o.parent_obj, x.sqlite_name FROM " +
                      t("sysobjects") + " o LEFT JOIN " + t("sqlsim_objects") +
                      " x ON x.id = o.id WHERE o.name = ?";
    if (ns)
        sql += " AND o.uid = " + std::to_string(*ns);
    sql += " ORDER BY CASE WHEN o.xtype IN ('U','V','S','P','FN','IF','TF','TR') THEN 0 ELSE 1 END";
    Stmt st = Stmt::Cached(db_, sql);
    st.bind(1, name);
    if (!st.step())
        return std::nullopt;
    ObjectRow r;
    r.id = static_cast<int>(st.integer(0));
    r.name = st.text(1);
    r.xtype = st.text(2);
    r.uid = static_cast<int>(st.integer(3));
    r.parent = static_cast<int>(st.integer(4));
    r.sqliteName = st.text(5);
    return r;
}

std::optional<ObjectRow> Catalog::objectById(int id) const {
    Stmt st =
        Stmt::Cached(db_, "SELECT o.id, o.name, o.xtype, o.uid, o.parent_obj, x.sqlite_name FROM " +
                              t("sysobjects") + " o LEFT JOIN " + t("sqlsim_objects") +
                              " x ON x.id = o.id WHERE o.id = ?");
    st.bind(1, id);
    if (!st.step())
        return std::nullopt;
    ObjectRow r;
    r.id = static_cast<int>(st.integer(0));
    r.name = st.text(1);
    r.xtype = st.text(2);
    r.uid = static_cast<int>(st.integer(3));
    r.parent = static_cast<int>(st.integer(4));
    r.sqliteName = st.text(5);
    return r;
}

int Catalog::newObjectId() {
    // SQL Server hands out ids that look scattered; a fixed stride keeps them deterministic.
    Stmt st(db_, "SELECT value FROM " + t("sqlsim_meta") + " WHERE key = 'next_id'");
    st.step();
    long long id = std::stoll(st.text(0));
    long long next = (id + 16000057) % 2147483647;
    if (next < 1000)
        next += 1000000;
    Stmt up(db_, "UPDATE " + t("sqlsim_meta") + " SET value = ? WHERE key = 'next_id'");
    up.bind(1, std::to_string(next));
    up.step();
    return static_cast<int>(id);
}

int Catalog::addObject(const std::string& name, const std::string& xtype, int uid, int parent,
                       const std::string& sqliteName) {
    int id = newObjectId();
    std::string now = nowDateTime();
    Stmt st(db_, "INSERT INTO " + t("sysobjects") +
                     " (name, id, xtype, uid, info, status, base_schema_ver, replinfo, "
                     "parent_obj, crdate, ftcatid, schema_ver, stats_schema_ver, type, userstat, "
                     "sysstat, indexdel, refdate, version, deltrig, instrig, updtrig, seltrig, "
                     "category, cache) VALUES (?, ?, ?, ?, 0, ?, 0, 0, ?, ?, 0, 0, 0, ?, ?, 0, 0, "
                     "?, 0, 0, 0, 0, 0, 0, 0)");
    st.bind(1, name).bind(2, id).bind(3, xtype).bind(4, uid);
    st.bind(5, xtype == "U" ? 1610612736LL : 1610612736LL);
    st.bind(6, parent).bind(7, now).bind(8, xtype).bind(9, xtype == "U" ? 1 : 0).bind(10, now);
    st.step();
    Stmt x(db_, "INSERT INTO " + t("sqlsim_objects") +
                    " (id, sqlite_name, is_ms_shipped) VALUES (?, ?, 0)");
    x.bind(1, id);
    if (sqliteName.empty())
        x.bindNull(2);
    else
        x.bind(2, sqliteName);
    x.step();
    return id;
}

std::vector<ColumnRow> Catalog::columns(int objectId) const {
    Stmt st =
        Stmt::Cached(db_, "SELECT c.name, c.colid, t.name, c.xusertype, c.length, c.prec, c.scale, "
                          "c.isnullable, c.status, c.iscomputed FROM " +
                              t("syscolumns") + " c LEFT JOIN " + t("systypes") +
                              " t ON t.xusertype = c.xusertype WHERE c.id = ? ORDER BY c.colorder");
    st.bind(1, objectId);
    std::vector<ColumnRow> out;
    while (st.step()) {
        ColumnRow c;
        c.name = st.text(0);
        c.colid = static_cast<int>(st.integer(1));
        int xusertype = static_cast<int>(st.integer(3));
        const BuiltinType* b = findBuiltinByUserType(xusertype);
        std::optional<ColType> ct;
        if (b) {
            std::vector<std::string> args;
            int len = static_cast<int>(st.integer(4));
            if (b->sized)
                args.push_back(len == -1 ? "max" : std::to_string(st.integer(5)));
            else if (b->scaled)
                args = {std::to_string(st.integer(5)), std::to_string(st.integer(6))};
            else if (hasFractionScale(b->name))
                args = {std::to_string(st.integer(6))};
            ct = makeBuiltinType(b->name, args);
        } else {
            ct = userType(st.text(2));
        }
        if (ct)
            c.type = *ct;
        c.nullable = st.integer(7) != 0;
        c.identity = (st.integer(8) & 128) != 0;
        c.computed = st.integer(9) != 0;
        out.push_back(std::move(c));
    }
    return out;
}

void Catalog::addColumn(int objectId, const ColumnRow& col, int cdefault,
                        std::optional<long long> seed, std::optional<long long> incr) {
    const ColType& ty = col.type;
    Stmt st(db_, "INSERT INTO " + t("syscolumns") +
                     " (name, id, xtype, typestat, xusertype, length, xprec, xscale, colid, "
                     "xoffset, bitpos, reserved, colstat, cdefault, domain, number, colorder, "
                     "autoval, offset, collationid, language, status, type, usertype, printfmt, "
                     "prec, scale, iscomputed, isoutparam, isnullable, collation) VALUES (?, ?, "
                     "?, 0, ?, ?, ?, ?, ?, 0, 0, 0, 0, ?, 0, 0, ?, ?, 0, ?, 0, ?, ?, ?, NULL, ?, "
                     "?, ?, 0, ?, ?)");
    bool isChar = ty.sql == SqlType::Char || ty.sql == SqlType::VarChar ||
                  ty.sql == SqlType::NChar || ty.sql == SqlType::NVarChar ||
                  ty.sql == SqlType::Text || ty.sql == SqlType::NText;
    st.bind(1, col.name).bind(2, objectId).bind(3, ty.xtype).bind(4, ty.xusertype);
    st.bind(5, ty.length);
    st.bind(6, (ty.sql == SqlType::Decimal || ty.sql == SqlType::Numeric || !isChar) &&
                       ty.prec > 0 && ty.length != -1
                   ? ty.prec
                   : 0);
    st.bind(7, ty.scale < 0 ? 0 : ty.scale);
    st.bind(8, col.colid).bind(9, cdefault).bind(10, col.colid);
    if (col.identity && major_ <= 8 && seed && incr) {
        std::string blob(8, '\0');
        for (int k = 0; k < 4; ++k) {
            blob[k] = static_cast<char>((*seed >> (8 * k)) & 0xFF);
            blob[4 + k] = static_cast<char>((*incr >> (8 * k)) & 0xFF);
        }
        st.bindBlob(11, blob);
    } else {
        st.bindNull(11);
    }
    if (isChar)
        st.bind(12, 872468488LL);
    else
        st.bindNull(12);
    int status = (col.nullable ? 8 : 0) | (col.identity ? 128 : 0);
    st.bind(13, status).bind(14, ty.xtype).bind(15, ty.xusertype < 256 ? ty.xusertype : 0);
    st.bind(16, ty.prec);
    if (ty.scale < 0)
        st.bindNull(17);
    else
        st.bind(17, ty.scale);
    st.bind(18, col.computed ? 1 : 0);
    st.bind(19, col.nullable ? 1 : 0);
    if (isChar)
        st.bind(20, std::string("SQL_Latin1_General_CP1_CI_AS"));
    else
        st.bindNull(20);
    st.step();
}

void Catalog::setColumnDefault(int objectId, int colid, int defaultId) {
    Stmt st(db_, "UPDATE " + t("syscolumns") + " SET cdefault = ? WHERE id = ? AND colid = ?");
    st.bind(1, defaultId).bind(2, objectId).bind(3, colid);
    st.step();
}

std::optional<ColType> Catalog::userType(const std::string& name) const {
    Stmt st = Stmt::Cached(db_, "SELECT xtype, length, prec, scale, allownulls, name FROM " +
                                    t("systypes") + " WHERE name = ? AND xusertype > 256");
    st.bind(1, name);
    if (!st.step())
        return std::nullopt;
    int xtype = static_cast<int>(st.integer(0));
    const BuiltinType* b = findBuiltinByUserType(xtype);
    if (!b)
        return std::nullopt;
    std::vector<std::string> args;
    if (b->sized)
        args.push_back(st.integer(1) == -1 ? "max" : std::to_string(st.integer(2)));
    else if (b->scaled)
        args = {std::to_string(st.integer(2)), std::to_string(st.integer(3))};
    else if (hasFractionScale(b->name))
        args = {std::to_string(st.integer(3))};
    auto ct = makeBuiltinType(b->name, args);
    if (!ct)
        return std::nullopt;
    Stmt ut(db_, "SELECT xusertype FROM " + t("systypes") + " WHERE name = ?");
    ut.bind(1, name);
    ut.step();
    ct->name = st.text(5);
    ct->xusertype = static_cast<int>(ut.integer(0));
    ct->nullableDefault = st.integer(4) != 0;
    return ct;
}

void Catalog::addUserType(const std::string& name, const ColType& base, bool allowNulls, int uid) {
    Stmt mx(db_, "SELECT max(xusertype) FROM " + t("systypes"));
    mx.step();
    int xusertype = std::max(257, static_cast<int>(mx.integer(0)) + 1);
    Stmt st(db_, "INSERT INTO " + t("systypes") +
                     " (name, xtype, status, xusertype, length, xprec, xscale, tdefault, domain, "
                     "uid, reserved, collationid, usertype, variable, allownulls, type, printfmt, "
                     "prec, scale, collation) VALUES (?, ?, 0, ?, ?, ?, ?, 0, 0, ?, 0, NULL, ?, "
                     "?, ?, NULL, NULL, ?, ?, NULL)");
    const BuiltinType* b = findBuiltin(base.baseName);
    st.bind(1, name).bind(2, base.xtype).bind(3, xusertype).bind(4, base.length);
    st.bind(5, b && b->sized ? 0 : base.prec).bind(6, base.scale < 0 ? 0 : base.scale);
    st.bind(7, uid).bind(8, xusertype).bind(9, b && b->sized ? 1 : 0).bind(10, allowNulls ? 1 : 0);
    st.bind(11, base.prec);
    if (base.scale < 0)
        st.bindNull(12);
    else
        st.bind(12, base.scale);
    st.step();
}

bool Catalog::hasClustered(int tableId) const {
    Stmt st = Stmt::Cached(db_, "SELECT 1 FROM " + t("sysindexes") + " WHERE id = ? AND indid = 1");
    st.bind(1, tableId);
    return st.step();
}

int Catalog::nextIndexId(int tableId) const {
    Stmt st = Stmt::Cached(db_, "SELECT max(indid) FROM " + t("sysindexes") +
                                    " WHERE id = ? AND indid BETWEEN 2 AND 250");
    st.bind(1, tableId);
    st.step();
    return st.isNull(0) ? 2 : static_cast<int>(st.integer(0)) + 1;
}

void Catalog::addIndex(int tableId, int indid, const std::string& name, int status,
                       const std::vector<int>& colids) {
    Stmt st(db_, "INSERT INTO " + t("sysindexes") +
                     " (id, status, indid, minlen, keycnt, groupid, dpages, reserved, used, "
                     "rowcnt, rowmodctr, reserved3, reserved4, xmaxlen, maxirow, OrigFillFactor, "
                     "StatVersion, reserved2, impid, lockflags, pgmodctr, name, maxlen, rows) "
                     "VALUES (?, ?, ?, 0, ?, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, ?, "
                     "8000, 0)");
    st.bind(1, tableId)
        .bind(2, status)
        .bind(3, indid)
        .bind(4, static_cast<long long>(colids.size()));
    st.bind(5, name);
    st.step();
    Stmt k(db_, "INSERT INTO " + t("sysindexkeys") + " VALUES (?, ?, ?, ?)");
    for (size_t i = 0; i < colids.size(); ++i) {
        k.reset();
        k.bind(1, tableId).bind(2, indid).bind(3, colids[i]).bind(4, static_cast<long long>(i + 1));
        k.step();
    }
    // A SQLite index over the same columns, so that reads of a key range and ordered reads by
    // the key do not scan and sort the whole table. It only makes queries faster; when it
    // cannot be made, queries still answer the same.
    try {
        Stmt n(db_, "SELECT sqlite_name FROM " + t("sqlsim_objects") + " WHERE id = ?");
        n.bind(1, tableId);
        if (!n.step() || n.isNull(0) || colids.empty())
            return;
        const std::string table = n.text(0);
        std::string columns;
        Stmt c(db_, "SELECT name FROM " + t("syscolumns") + " WHERE id = ? AND colid = ?");
        for (int colid : colids) {
            c.reset();
            c.bind(1, tableId).bind(2, colid);
            if (!c.step())
                return;
            columns += (columns.empty() ? "" : ", ") + sqlId(c.text(0));
        }
        Db::exec_on(db_,
                    "CREATE INDEX IF NOT EXISTS " +
                        t("sqlsim_ix_" + std::to_string(tableId) + "_" + std::to_string(indid)) +
                        " ON " + sqlId(table) + " (" + columns + ")");
    } catch (const std::exception&) {
    }
}

void Catalog::addHeapRow(int tableId, const std::string& tableName) {
    Stmt st(db_, "INSERT INTO " + t("sysindexes") +
                     " (id, status, indid, minlen, keycnt, groupid, dpages, reserved, used, "
                     "rowcnt, rowmodctr, reserved3, reserved4, xmaxlen, maxirow, OrigFillFactor, "
                     "StatVersion, reserved2, impid, lockflags, pgmodctr, name, maxlen, rows) "
                     "VALUES (?, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, ?, "
                     "8000, 0)");
    st.bind(1, tableId);
    // SQL Server 2000 names the heap row after its table; the later compatibility view has no name.
    if (major_ <= 8)
        st.bind(2, tableName);
    else
        st.bindNull(2);
    st.step();
}

void Catalog::dropHeapRow(int tableId) {
    Stmt st(db_, "DELETE FROM " + t("sysindexes") + " WHERE id = ? AND indid = 0");
    st.bind(1, tableId);
    st.step();
}

void Catalog::addComments(int id, const std::string& text, bool encrypted) {
    // syscomments keeps at most 4000 characters per row; count UTF-16 units, not bytes.
    std::vector<std::string> chunks;
    std::string cur;
    size_t units = 0;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        size_t u = len == 4 ? 2 : 1;
        if (units + u > 4000) {
            chunks.push_back(cur);
            cur.clear();
            units = 0;
        }
        cur.append(text, i, len);
        units += u;
        i += len;
    }
    if (!cur.empty() || chunks.empty())
        chunks.push_back(cur);
    Stmt st(db_, "INSERT INTO " + t("syscomments") +
                     " (id, number, colid, status, ctext, texttype, language, encrypted, "
                     "compressed, text) VALUES (?, ?, ?, ?, ?, 2, 0, ?, 0, ?)");
    for (size_t i = 0; i < chunks.size(); ++i) {
        st.reset();
        st.bind(1, id).bind(2, major_ <= 8 ? 1 : 0).bind(3, static_cast<long long>(i + 1));
        st.bind(4, encrypted ? 1 : 0);
        if (encrypted) {
            st.bindNull(5);
            st.bind(6, 1);
            st.bindNull(7);
        } else {
            st.bindBlob(5, chunks[i]);
            st.bind(6, 0);
            st.bind(7, chunks[i]);
        }
        st.step();
    }
}

void Catalog::addReference(int constId, int fkeyId, int rkeyId, int rkeyIndid,
                           const std::vector<int>& fkeys, const std::vector<int>& rkeys) {
    std::string cols = "constid, fkeyid, rkeyid, rkeyindid, keycnt, fkeydbid, rkeydbid";
    std::string vals = "?, ?, ?, ?, ?, 0, 0";
    for (int i = 1; i <= 16; ++i) {
        cols += ", fkey" + std::to_string(i) + ", rkey" + std::to_string(i);
        size_t k = static_cast<size_t>(i - 1);
        vals += ", " + std::to_string(k < fkeys.size() ? fkeys[k] : 0) + ", " +
                std::to_string(k < rkeys.size() ? rkeys[k] : 0);
    }
    Stmt st(db_, "INSERT INTO " + t("sysreferences") + " (" + cols + ") VALUES (" + vals + ")");
    st.bind(1, constId).bind(2, fkeyId).bind(3, rkeyId).bind(4, rkeyIndid);
    st.bind(5, static_cast<long long>(fkeys.size()));
    st.step();
    Stmt fk(db_, "INSERT INTO " + t("sysforeignkeys") + " VALUES (?, ?, ?, ?, ?, ?)");
    for (size_t i = 0; i < fkeys.size() && i < rkeys.size(); ++i) {
        fk.reset();
        fk.bind(1, constId).bind(2, fkeyId).bind(3, rkeyId).bind(4, fkeys[i]).bind(5, rkeys[i]);
        fk.bind(6, static_cast<long long>(i + 1));
        fk.step();
    }
}

std::optional<std::pair<long long, long long>> Catalog::identity(int tableId) const {
    Stmt st = Stmt::Cached(db_, "SELECT ident_seed, ident_incr FROM " + t("sqlsim_objects") +
                                    " WHERE id = ? AND ident_seed IS NOT NULL");
    st.bind(1, tableId);
    if (!st.step())
        return std::nullopt;
    return std::make_pair(st.integer(0), st.integer(1));
}

} // namespace sqlsim
