-- The event journal on PostgreSQL (talvex-eventd(8)): the same tables, tallies and bounds as the
-- SQLite file, version 2. Run once, as the role that is to own the journal, in the database
-- TALVEX_EVENTS names:   psql -v ON_ERROR_STOP=1 -d talvex -f schema.sql
-- then roles.sql for the writer's and the modules' roles.
BEGIN;

CREATE TABLE talvex_schema(version integer NOT NULL);
INSERT INTO talvex_schema VALUES (2);

CREATE TABLE settings(name text PRIMARY KEY, value bigint NOT NULL);
INSERT INTO settings VALUES ('max_per_device', 100000), ('max_total', 1000000), ('rows', 0);

CREATE TABLE severities(
    oid text PRIMARY KEY,
    severity integer NOT NULL CHECK (severity BETWEEN 1 AND 4));

CREATE TABLE events(
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    received bigint NOT NULL,
    sender text NOT NULL,
    device text NOT NULL,
    uptime bigint,
    oid text NOT NULL,
    severity integer NOT NULL,
    ifindex bigint NOT NULL DEFAULT 0,
    port text NOT NULL DEFAULT '',
    event text NOT NULL,
    summary text NOT NULL,
    bindings text NOT NULL,
    acked bigint,
    acked_by text,
    ack_seq bigint,
    inform boolean NOT NULL DEFAULT false,
    request_id bigint,
    engine text NOT NULL DEFAULT '',
    security text NOT NULL DEFAULT '',
    transport text NOT NULL DEFAULT '');
CREATE INDEX events_device ON events(device, id);
CREATE INDEX events_ack_seq ON events(ack_seq) WHERE ack_seq IS NOT NULL;
-- The rows a device sent for another (snmpTrapAddress.0) are few.
CREATE INDEX events_relayed ON events(sender, id) WHERE sender <> device;
CREATE INDEX events_inform ON events(sender, request_id) WHERE inform;

-- Acknowledgements are numbered, so that each reader takes only those it has not seen.
CREATE SEQUENCE ack_seq;

CREATE TABLE spool(file text NOT NULL, "offset" bigint NOT NULL);
INSERT INTO spool VALUES ('', 0);

CREATE TABLE devices(device text PRIMARY KEY, rows bigint NOT NULL);
-- Keyed by every address a row belongs to: its device, and its sender where that differs.
CREATE TABLE unacked(address text PRIMARY KEY, count bigint NOT NULL, serious bigint NOT NULL);

-- The tallies are kept by the owner's functions, so that neither role needs to write them, and
-- once for each statement: a statement that acknowledges 50 000 rows moves each tally once.
-- Moves the unacknowledged tallies by sign for the rows given (device, sender, severity each):
-- every address a row belongs to, its device and its sender where that differs.
CREATE FUNCTION unacked_move(devices text[], senders text[], severities integer[], sign integer)
RETURNS void
LANGUAGE sql SECURITY DEFINER SET search_path FROM CURRENT AS $$
    INSERT INTO unacked
        SELECT address, sign * count(*), sign * count(*) FILTER (WHERE severity <= 2)
        FROM (SELECT d AS address, s AS severity FROM unnest(devices, severities) AS r(d, s)
              UNION ALL
              SELECT sn, s FROM unnest(devices, senders, severities) AS r(d, sn, s)
                  WHERE sn <> d) AS belongs
        GROUP BY address
        ON CONFLICT (address) DO UPDATE
        SET count = unacked.count + excluded.count, serious = unacked.serious + excluded.serious;
    DELETE FROM unacked WHERE count <= 0 AND address = ANY(devices || senders);
$$;

-- Moves every tally by sign for the rows given (device, sender, severity, unacknowledged each).
CREATE FUNCTION tallies_move(row_devices text[], row_senders text[], row_severities integer[],
                             row_unacked boolean[], sign integer)
RETURNS void
LANGUAGE sql SECURITY DEFINER SET search_path FROM CURRENT AS $$
    INSERT INTO devices SELECT d, sign * count(*) FROM unnest(row_devices) AS r(d) GROUP BY d
        ON CONFLICT (device) DO UPDATE SET rows = devices.rows + excluded.rows;
    DELETE FROM devices WHERE rows <= 0 AND device = ANY(row_devices);
    UPDATE settings SET value = value + sign * coalesce(cardinality(row_devices), 0)
        WHERE name = 'rows';
    SELECT unacked_move(array_agg(d), array_agg(sn), array_agg(s), sign)
        FROM unnest(row_devices, row_senders, row_severities, row_unacked) AS r(d, sn, s, u)
        WHERE u;
$$;

-- The rows a statement added or dropped, under one name either way.
CREATE FUNCTION events_counted() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path FROM CURRENT AS $$
BEGIN
    PERFORM tallies_move(array_agg(device), array_agg(sender), array_agg(severity),
                         array_agg(acked IS NULL), CASE TG_OP WHEN 'INSERT' THEN 1 ELSE -1 END)
        FROM changed;
    RETURN NULL;
END $$;
CREATE TRIGGER events_added AFTER INSERT ON events REFERENCING NEW TABLE AS changed
    FOR EACH STATEMENT EXECUTE FUNCTION events_counted();
CREATE TRIGGER events_dropped AFTER DELETE ON events REFERENCING OLD TABLE AS changed
    FOR EACH STATEMENT EXECUTE FUNCTION events_counted();

CREATE FUNCTION events_acked() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path FROM CURRENT AS $$
BEGIN
    PERFORM unacked_move(array_agg(was.device), array_agg(was.sender), array_agg(was.severity), -1)
        FROM was JOIN now USING (id) WHERE was.acked IS NULL AND now.acked IS NOT NULL;
    RETURN NULL;
END $$;
CREATE TRIGGER events_acked AFTER UPDATE ON events REFERENCING OLD TABLE AS was NEW TABLE AS now
    FOR EACH STATEMENT EXECUTE FUNCTION events_acked();

-- An acknowledgement is made once: what it says stays as it was made.
CREATE FUNCTION events_acknowledged_once() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    IF OLD.acked IS NOT NULL THEN
        RAISE EXCEPTION 'event % is acknowledged already', OLD.id;
    END IF;
    RETURN NEW;
END $$;
CREATE TRIGGER events_acknowledged_once BEFORE UPDATE OF acked, acked_by, ack_seq ON events
    FOR EACH ROW EXECUTE FUNCTION events_acknowledged_once();

-- Every open events page and ALM lamp LISTENs here: one notification a statement that added
-- or acknowledged rows (the server folds those of one transaction into one).
CREATE FUNCTION events_changed() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_notify('talvex_events', '');
    RETURN NULL;
END $$;
CREATE TRIGGER events_changed AFTER INSERT OR UPDATE ON events
    FOR EACH STATEMENT EXECUTE FUNCTION events_changed();

COMMIT;
