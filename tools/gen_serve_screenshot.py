"""Writes docs/serve_page.png, the README's picture of the chart service's
page: a real `quorvane serve` over JPL DE440, its page in headless Chromium
(Debian's), a birth typed in as a person would.

Usage: python tools/gen_serve_screenshot.py
"""
import os
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, ROOT)

from tests.support import page  # noqa: E402
from tests.support.kernels import de440_path  # noqa: E402
from tests.support.service import Server  # noqa: E402

OUTPUT = os.path.join(ROOT, "docs", "serve_page.png")
BIRTH = {"date_keys": "07141990", "time_keys": "0830AM", "place": "New York"}


def main():
    server = Server(de440_path())
    server.wait_for_places()
    driver = page.browser()
    try:
        page.cast_birth(driver, server.url, BIRTH)
        page.wait_for(driver, "#wheel svg")
        driver.set_window_size(1280, 1500)
        driver.save_screenshot(OUTPUT)
    finally:
        driver.quit()
        server.stop()


if __name__ == "__main__":
    main()
