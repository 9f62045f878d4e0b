-- The counter database: one row per sent or received text message ever seen.
-- Two seeds are built from this file. A line ending in "-- old" belongs only
-- to ledgerwick.db (phones before 6.0), one ending in "-- new" only to
-- ledgerwick6.db; every other line belongs to both.
--
-- The indexes serve the counting queries: by direction and date (period
-- totals), by date (badge over both directions) and by address (person
-- filter, distinct address lists). From 6.0 every query also filters on
-- type = 'SMS', so there it leads each index.

CREATE TABLE message (
    address TEXT NOT NULL,
    date INTEGER NOT NULL,
    text TEXT,
    flags INTEGER NOT NULL,
    smscount INTEGER NOT NULL DEFAULT 0
    , type TEXT -- new
);

CREATE INDEX message_flags_date ON message (flags, date); -- old
CREATE INDEX message_date ON message (date); -- old
CREATE INDEX message_address ON message (address, flags, date); -- old
CREATE INDEX message_flags_date ON message (type, flags, date); -- new
CREATE INDEX message_date ON message (type, date); -- new
CREATE INDEX message_address ON message (type, address, flags, date); -- new

-- The sync markers as of the last sync, committed in the same transaction as
-- the rows that sync copied (flags 2 = received, 3 = sent; next_date is the
-- lowest date the next sync copies). The settings file keeps the markers too;
-- a sync starts from the later of the two, so a process killed between its
-- COMMIT and its settings write copies nothing twice.
CREATE TABLE sync_marker (flags INTEGER PRIMARY KEY, next_date INTEGER NOT NULL);

-- How far the sync got in the phone's sms.db: the last message it read,
-- named by its ROWID there (which only grows) and by what tells it apart
-- from another phone's message under the same ROWID (guid from 6.0, else
-- date, address, direction and text). Committed with the rows it covers;
-- the next sync reads the messages after it.
CREATE TABLE sync_source (id INTEGER PRIMARY KEY CHECK (id = 1), phone_rowid INTEGER NOT NULL, phone_guid TEXT,
    phone_date INTEGER, phone_address TEXT, phone_flags INTEGER, phone_text TEXT);
