"""A first look at quorvane_engine: the Julian day of a moment."""
import quorvane_engine

moment = "2024-03-20T03:06:00Z"
print(f"quorvane_engine {quorvane_engine.__version__}")
print(f"Julian day of {moment}: {quorvane_engine.julian_day(moment)}")
