-- The two roles of the event journal on PostgreSQL, after schema.sql, as the journal's owner:
--   psql -v ON_ERROR_STOP=1 -d talvex -f roles.sql
-- talvex_writer: talvex-eventd; adds rows, drops the oldest beyond the bounds, keeps its place
--   in the spool.
-- talvex_reader: the operators' modules; read, and acknowledge (the acknowledgement's columns
--   only), nothing else.
-- Neither logs in itself: a login role is made a member (CREATE ROLE alice LOGIN IN ROLE
-- talvex_reader), its password, if any, kept in that user's ~/.pgpass.
BEGIN;

CREATE ROLE talvex_writer NOLOGIN;
CREATE ROLE talvex_reader NOLOGIN;

REVOKE ALL ON talvex_schema, settings, severities, events, spool, devices, unacked FROM PUBLIC;
REVOKE ALL ON SEQUENCE ack_seq FROM PUBLIC;
REVOKE ALL ON FUNCTION unacked_move(text[], text[], integer[], integer),
    tallies_move(text[], text[], integer[], boolean[], integer) FROM PUBLIC;

GRANT SELECT ON talvex_schema, settings, severities, devices, unacked
    TO talvex_writer, talvex_reader;

GRANT SELECT, INSERT, DELETE ON events TO talvex_writer;
GRANT SELECT, UPDATE ON spool TO talvex_writer;

GRANT SELECT ON events TO talvex_reader;
GRANT UPDATE (acked, acked_by, ack_seq) ON events TO talvex_reader;
GRANT USAGE ON SEQUENCE ack_seq TO talvex_reader;

COMMIT;
