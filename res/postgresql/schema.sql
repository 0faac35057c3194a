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

-- The tallies are kept by the owner's functions, so that neither role needs to write them.
CREATE FUNCTION unacked_add(address text, serious bigint) RETURNS void
LANGUAGE sql SECURITY DEFINER SET search_path FROM CURRENT AS $$
    INSERT INTO unacked VALUES (address, 1, serious)
        ON CONFLICT (address) DO UPDATE
        SET count = unacked.count + 1, serious = unacked.serious + excluded.serious;
$$;

CREATE FUNCTION unacked_drop(addresses text[], serious bigint) RETURNS void
LANGUAGE sql SECURITY DEFINER SET search_path FROM CURRENT AS $$
    UPDATE unacked SET count = count - 1, serious = unacked.serious - unacked_drop.serious
        WHERE address = ANY(addresses);
    DELETE FROM unacked WHERE address = ANY(addresses) AND count <= 0;
$$;

CREATE FUNCTION events_added() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path FROM CURRENT AS $$
BEGIN
    INSERT INTO devices VALUES (NEW.device, 1)
        ON CONFLICT (device) DO UPDATE SET rows = devices.rows + 1;
    UPDATE settings SET value = value + 1 WHERE name = 'rows';
    IF NEW.acked IS NULL THEN
        PERFORM unacked_add(NEW.device, (NEW.severity <= 2)::int);
        IF NEW.sender <> NEW.device THEN
            PERFORM unacked_add(NEW.sender, (NEW.severity <= 2)::int);
        END IF;
    END IF;
    RETURN NULL;
END $$;
CREATE TRIGGER events_added AFTER INSERT ON events FOR EACH ROW EXECUTE FUNCTION events_added();

CREATE FUNCTION events_dropped() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path FROM CURRENT AS $$
BEGIN
    UPDATE devices SET rows = rows - 1 WHERE device = OLD.device;
    DELETE FROM devices WHERE device = OLD.device AND rows <= 0;
    UPDATE settings SET value = value - 1 WHERE name = 'rows';
    IF OLD.acked IS NULL THEN
        PERFORM unacked_drop(ARRAY[OLD.device, OLD.sender], (OLD.severity <= 2)::int);
    END IF;
    RETURN NULL;
END $$;
CREATE TRIGGER events_dropped AFTER DELETE ON events FOR EACH ROW EXECUTE FUNCTION events_dropped();

-- An acknowledgement is made once: what it says stays as it was made.
CREATE FUNCTION events_acknowledged() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path FROM CURRENT AS $$
BEGIN
    IF OLD.acked IS NOT NULL THEN
        RAISE EXCEPTION 'event % is acknowledged already', OLD.id;
    END IF;
    IF NEW.acked IS NOT NULL THEN
        PERFORM unacked_drop(ARRAY[OLD.device, OLD.sender], (OLD.severity <= 2)::int);
    END IF;
    RETURN NEW;
END $$;
CREATE TRIGGER events_acknowledged BEFORE UPDATE OF acked, acked_by, ack_seq ON events
    FOR EACH ROW EXECUTE FUNCTION events_acknowledged();

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
