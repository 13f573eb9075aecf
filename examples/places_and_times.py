"""Places by name and local times to UTC, without any chart.

Several places share a name: `search` lists them, most populous first, and
a region or country after a comma picks one. A time that happened twice
(when the clocks went back) needs `fold` to say which is meant.
"""
import quorvane
from quorvane import places

for place in places.search("Springfield", 5):
    print(f"{place.label:<45} {place.timezone:<20} {place.population:>9}")
print(places.find("Springfield, IL").label)
print(places.timezone_at(-33.87, 151.21))

print(quorvane.to_utc("1990-07-14 08:30", "America/New_York"))
print(quorvane.to_utc("1850-01-01 12:00", "America/New_York"))  # local mean time
print(quorvane.to_utc("1990-07-14 08:30", offset="+05:30"))
try:
    quorvane.to_utc("2024-10-27 02:30", "Europe/Berlin")
except quorvane.AmbiguousTimeError as error:
    print(error)
print(quorvane.to_utc("2024-10-27 02:30", "Europe/Berlin", fold="second"))
