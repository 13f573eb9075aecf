"""Reference Chinese lunar years 1900 to 2099 from the PyPI package lunardate.

    lunar_years.py
        one line per year: "YEAR FIRST_DAY LEAP LENGTH ...": the Julian day
        number of the first day of month 1, the number of the month the leap
        month follows (0: none) and the length of each month in order.

Prints nothing and exits 1 when lunardate is not installed.
"""
import sys

try:
    from lunardate import LunarDate
except ImportError:
    sys.exit(1)

JDN_OF_ORDINAL = 1721425  # Julian day number minus date.toordinal()


def month_length(year, month, leap):
    try:
        LunarDate(year, month, 30, leap).to_solar_date()
        return 30
    except ValueError:
        return 29


def main():
    for year in range(1900, 2100):
        leap = LunarDate.leap_month_for_year(year) or 0
        order = []
        for month in range(1, 13):
            order.append((month, False))
            if month == leap:
                order.append((month, True))
        first = LunarDate(year, 1, 1).to_solar_date().toordinal() + JDN_OF_ORDINAL
        lengths = [month_length(year, m, is_leap) for m, is_leap in order]
        print(year, first, leap, *lengths)
    return 0


if __name__ == "__main__":
    sys.exit(main())
