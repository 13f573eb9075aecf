"""Writes one JSON line `[text, expected]` per case for the C++ number reader.

`expected` is the value as a hex float (Python's float.hex) or null when the
text is not a number. The text is trimmed, lower-cased and stripped of
underscores; the infinity and nan spellings are recognised by name, and every
other text must be a plain decimal literal whose value Python's float() gives
(correctly rounded, overflow to inf, underflow to zero).
"""
import json
import random
import re
import sys

count = int(sys.argv[1]) if len(sys.argv) > 1 else 20_000
seed = int(sys.argv[2]) if len(sys.argv) > 2 else random.randrange(1 << 30)
rng = random.Random(seed)
out = sys.stdout
out.write(f"# seed {seed}\n")

# White_Space characters around the text; U+200B is not one of them.
SPACES = [" ", "\t", "\n", "\r", "\v", "\f", "\u0085", "\u00a0", "\u1680", "\u2000", "\u2003",
          "\u200a", "\u2028", "\u2029", "\u202f", "\u205f", "\u3000"]
LITERAL = re.compile(r"[+-]?([0-9]+(\.[0-9]*)?|\.[0-9]+)(e[+-]?[0-9]+)?")
NAMED = {
    "inf": float("inf"), "+inf": float("inf"), "infinity": float("inf"),
    "+infinity": float("inf"), "-inf": float("-inf"), "-infinity": float("-inf"),
    "nan": float("nan"), "+nan": float("nan"), "-nan": float("nan"),
}


def expected(text):
    t = text.strip("".join(SPACES))
    t = "".join(c.lower() if "A" <= c <= "Z" else c for c in t).replace("_", "")
    if t in NAMED:
        return NAMED[t].hex()
    if not LITERAL.fullmatch(t):
        return None
    return float(t).hex()


def digits(n):
    return "".join(rng.choice("0123456789") for _ in range(n))


def literal():
    sign = rng.choice(["", "", "+", "-"])
    shape = rng.randrange(4)
    if shape == 0:
        mantissa = digits(rng.randrange(1, 25))
    elif shape == 1:
        mantissa = digits(rng.randrange(0, 12)) + "." + digits(rng.randrange(1, 25))
    elif shape == 2:
        mantissa = digits(rng.randrange(1, 12)) + "."
    else:
        # Long mantissas close to halfway between two doubles.
        # Shortest reprs with extra digits appended: values just beside a
        # double or halfway between two.
        text = repr(rng.uniform(0, 1e3) * 10.0 ** rng.randrange(-300, 300))
        mantissa, _, exponent = text.partition("e")
        mantissa += rng.choice(["", "5", "49999999999", "50000000001", digits(rng.randrange(1, 20))])
        return sign + mantissa + ("e" + exponent if exponent else "")
    exponent = ""
    if rng.random() < 0.6:
        exponent = rng.choice("eE") + rng.choice(["", "+", "-"]) + str(rng.choice(
            [rng.randrange(0, 30), rng.randrange(280, 340), rng.randrange(300, 5000), 10**rng.randrange(1, 25)]))
    return sign + mantissa + exponent


def noise():
    alphabet = "0123456789.eE+-_ infatyINFATYx,"
    return "".join(rng.choice(alphabet) for _ in range(rng.randrange(0, 9)))


def mangle(text):
    # Underscores anywhere, random case and surrounding white space.
    if rng.random() < 0.3 and text:
        k = rng.randrange(len(text) + 1)
        text = text[:k] + "_" * rng.randrange(1, 3) + text[k:]
    if rng.random() < 0.3:
        text = "".join(c.upper() if rng.random() < 0.5 else c for c in text)
    if rng.random() < 0.3:
        text = "".join(rng.choice(SPACES) for _ in range(rng.randrange(1, 3))) + text
    if rng.random() < 0.3:
        text = text + "".join(rng.choice(SPACES) for _ in range(rng.randrange(1, 3)))
    if rng.random() < 0.03:
        text = text + "\u200b"
    return text


FIXED = [
    "", " ", "_", ".", "e5", "1e", "1e+", "+", "-", "+-1", "--1", "1..2", "1.2.3", "0x10",
    "1,5", "1 5", "in f", "infinit", "nan(1)", "+-inf", "١٢", "5e-324", "2.4703282292062327e-324",
    "2.4703282292062328e-324", "1.7976931348623157e308", "1.7976931348623158e308",
    "1.7976931348623159e308", "1e400", "-1e400", "1e-400", "-1e-400", "-0", "-0.0e-5",
    "0e99999999999999999999", "1e99999999999999999999", "1e-99999999999999999999",
    "00000000000000000000000000001e-330", "0.000000000000000000000000000001e330",
]

cases = FIXED + [
    (mangle(rng.choice([literal, literal, noise, lambda: rng.choice(list(NAMED))])()))
    for _ in range(count)
]
for text in cases:
    out.write(json.dumps([text, expected(text)]) + "\n")
